#include "base/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace base {
namespace {

std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || v[0] != '/') return {};
  return v;
}

std::string AccountHome() {
  // The re-entrant form: folders are asked for on worker threads too.
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] != '/')
    return {};
  return found->pw_dir;
}

std::string EnvOrHome(const char* env, const char* belowHome) {
  std::string dir = AbsoluteEnv(env);
  if (!dir.empty()) return dir;
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + belowHome;
}

bool IsOwnPrivateFolder(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

}  // namespace

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  return home.empty() ? AccountHome() : home;
}

std::string DataHome() {
  return EnvOrHome("XDG_DATA_HOME", "/.local/share");
}

std::string ConfigHome() {
  return EnvOrHome("XDG_CONFIG_HOME", "/.config");
}

std::string CacheHome() {
  return EnvOrHome("XDG_CACHE_HOME", "/.cache");
}

std::string SessionRuntimeDir() {
  std::string dir = AbsoluteEnv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (!dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return {};
}

std::string RuntimeDir() {
  if (std::string dir = SessionRuntimeDir(); !dir.empty()) return dir;

  // A shared temp folder is open to everybody: use a folder of our own there, and refuse one
  // that someone else made or opened up.
  std::string tmp = AbsoluteEnv("TMPDIR");
  if (tmp.empty()) tmp = "/tmp";
  std::string own = tmp + "/melvo-" + std::to_string(getuid());
  mkdir(own.c_str(), 0700);
  return IsOwnPrivateFolder(own) ? own : std::string();
}

std::string ProgramFile() {
  std::error_code ec;
  auto exe = std::filesystem::canonical("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

std::string ProgramDir() {
  std::string exe = ProgramFile();
  return exe.empty() ? std::string(".") : std::filesystem::path(exe).parent_path().string();
}

}  // namespace base
