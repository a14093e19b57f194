#include "base/UserFolders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Sets (or with nullopt unsets) variables for one test and puts the old values back after it.
class TEnv {
 public:
  ~TEnv() {
    for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) Apply(it->first, it->second);
  }
  void Set(const std::string& name, std::optional<std::string> value) {
    const char* old = std::getenv(name.c_str());
    FSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    Apply(name, value);
  }

 private:
  static void Apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

std::string AccountHome() {
  passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

struct TFolderCase {
  const char* env;
  const char* belowHome;
  std::string (*get)();
};

const TFolderCase kFolders[] = {
    {"XDG_DATA_HOME", "/.local/share", base::DataHome},
    {"XDG_CONFIG_HOME", "/.config", base::ConfigHome},
    {"XDG_CACHE_HOME", "/.cache", base::CacheHome},
};

}  // namespace

TEST(UserFolders, HomeFallsBackToTheAccountWhenUnsetEmptyOrRelative) {
  const std::string account = AccountHome();
  ASSERT_FALSE(account.empty());
  for (std::optional<std::string> home :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative/home"), std::optional<std::string>("~")}) {
    TEnv env;
    env.Set("HOME", home);
    EXPECT_EQ(base::HomeFolder(), account) << (home ? "HOME=" + *home : "HOME unset");
  }
  TEnv env;
  env.Set("HOME", "/some/home");
  EXPECT_EQ(base::HomeFolder(), "/some/home");
}

TEST(UserFolders, XdgFoldersUseAbsoluteValuesOnlyAndOtherwiseTheHome) {
  for (const TFolderCase& folder : kFolders) {
    SCOPED_TRACE(folder.env);
    TEnv env;
    env.Set("HOME", "/h");
    env.Set(folder.env, "/x/y");
    EXPECT_EQ(folder.get(), "/x/y");
    for (std::optional<std::string> ignored :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative"), std::optional<std::string>("./x")}) {
      env.Set(folder.env, ignored);
      EXPECT_EQ(folder.get(), std::string("/h") + folder.belowHome);
    }
    // Both relative: the account's home, never a folder below the working directory.
    env.Set("HOME", "rel");
    env.Set(folder.env, "rel2");
    EXPECT_EQ(folder.get(), AccountHome() + folder.belowHome);
  }
}

TEST(UserFolders, RuntimeDirIsTheGivenFolderOrAPrivateOneInTemp) {
  const fs::path tmp = fs::temp_directory_path() / ("melvo-base-test-" + std::to_string(getpid()));
  fs::create_directories(tmp);
  TEnv env;
  env.Set("TMPDIR", tmp.string());
  const std::string own = (tmp / ("melvo-" + std::to_string(getuid()))).string();

  env.Set("XDG_RUNTIME_DIR", tmp.string());
  EXPECT_EQ(base::RuntimeDir(), tmp.string());
  EXPECT_EQ(base::SessionRuntimeDir(), tmp.string());

  // Relative, unset, or not a folder: a private folder of our own in the temp folder.
  for (std::optional<std::string> ignored :
       {std::optional<std::string>("run/user"), std::optional<std::string>(),
        std::optional<std::string>((tmp / "missing").string())}) {
    env.Set("XDG_RUNTIME_DIR", ignored);
    // The session's folder is never stood in for: its bus is not in ours.
    EXPECT_EQ(base::SessionRuntimeDir(), "");
    EXPECT_EQ(base::RuntimeDir(), own);
    struct stat st {};
    ASSERT_EQ(stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }

  // A folder of that name that others may enter is refused.
  chmod(own.c_str(), 0755);
  EXPECT_EQ(base::RuntimeDir(), "");
  fs::remove_all(tmp);
}

TEST(UserFolders, ProgramFileIsTheRunningExecutableWithLinksResolved) {
  const std::string exe = base::ProgramFile();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(fs::path(exe), fs::canonical(exe));
  EXPECT_EQ(fs::path(exe).filename(), "melvo_base_tests");
  EXPECT_EQ(base::ProgramDir(), fs::path(exe).parent_path().string());
}
