// The reference services acknowledge what a client sends only once it is stored.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "ServicesFixture.h"
#include "online/Hosts.h"
#include "online/common.h"

namespace {

// A second connection to the services' database that holds a write transaction.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    sqlite3_open(path.c_str(), &db_);
    locked_ =
        sqlite3_exec(db_, "BEGIN IMMEDIATE; INSERT INTO received (kind) VALUES ('other writer')",
                     nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~WriteLock() {
    Release();
    sqlite3_close(db_);
  }
  bool locked() const { return locked_; }
  void Release() {
    if (locked_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    locked_ = false;
  }

 private:
  sqlite3* db_ = nullptr;
  bool locked_ = false;
};

class ServicesStore : public ServicesFixture {
 protected:
  long PostReport(const std::string& btnName) {
    online::FormFields form;
    form.Set("oper", "click");
    form.Set("btnName", btnName);
    return online::HttpPostForm(online::StatHost(), "/interface.php?m=Index&a=tjOper", form).status;
  }
  long Post(const std::string& host, const std::string& target) {
    online::FormFields form;
    form.Set("a", "b");
    return online::HttpPostForm(host, target, form).status;
  }
};

TEST_F(ServicesStore, LockedDatabaseAnswersAnErrorAndStoresNothing) {
  config.lockWaitMs = 200;
  Start();
  {
    WriteLock lock(config.databasePath);
    ASSERT_TRUE(lock.locked());
    EXPECT_EQ(PostReport("locked"), 503);
    EXPECT_EQ(Post(online::WebHost(), "/player"), 503);
    EXPECT_EQ(Post(online::WebHost(), "/index.php?m=question&a=suggest"), 503);
    EXPECT_EQ(Post(online::StatHost(), "/interface.php?s=/Count/sign.html"), 503);
  }
  EXPECT_TRUE(Received().empty());
  EXPECT_EQ(PostReport("free"), 200);
  const auto rows = Received();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Field(rows[0], "btnName"), "free");
}

TEST_F(ServicesStore, AWriteWaitsForALockThatIsSoonReleased) {
  config.lockWaitMs = 5000;
  Start();
  WriteLock lock(config.databasePath);
  ASSERT_TRUE(lock.locked());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.Release();
  });
  EXPECT_EQ(PostReport("waited"), 200);
  release.join();
  const auto rows = Received();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Field(rows[0], "btnName"), "waited");
}

TEST_F(ServicesStore, DumpReadsWhileAWriterHoldsItsTransaction) {
  Start();
  ASSERT_EQ(PostReport("before"), 200);
  WriteLock lock(config.databasePath);
  ASSERT_TRUE(lock.locked());
  std::ostringstream dump;
  services::DumpReceived(config.databasePath, dump);
  EXPECT_NE(dump.str().find("btnName=before"), std::string::npos) << dump.str();
  lock.Release();
  running->Stop();
  std::ostringstream after;  // and once the services have ended
  services::DumpReceived(config.databasePath, after);
  EXPECT_NE(after.str().find("btnName=before"), std::string::npos) << after.str();
}

}  // namespace
