// A private data folder per test and plain SQLite access that bypasses the code under test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/dataCtr.h"

// Each test gets its own XDG_DATA_HOME under /tmp; the melvo folder inside it does not exist yet.
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs InitDatabase and fails the test when it does not succeed.
  void InitOrFail();

  std::string FRoot;      // temporary folder, removed after the test
  std::string FDataHome;  // FRoot + "/data", the XDG_DATA_HOME of the test

 private:
  std::string FSavedDataHome;
  bool FHadDataHome = false;
  std::vector<std::string> FReadOnlyFiles;

 protected:
  // Makes the file unwritable even for root; false when this system cannot.
  bool MakeReadOnly(const std::string& path);
};

using TRows = std::vector<std::vector<std::string>>;

// Raw access with a connection of its own; NULL reads as "<NULL>".
TRows RawQuery(const std::string& path, const std::string& sql);
void RawExec(const std::string& path, const std::string& sql);
// True when nobody holds a lock on the file: takes and drops an exclusive lock without waiting.
bool NobodyHoldsALock(const std::string& path);

std::string FileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

TTSL MakeSong(const std::string& title, const std::string& artist, const std::string& singer,
              int64_t addtime = 2512091405);
