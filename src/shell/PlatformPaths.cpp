#include "shell/PlatformPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace shell {
namespace {

std::string EnvPath(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || v[0] != '/') return {};
  return v;
}

bool IsOwnPrivateFolder(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

std::string HomeSub(const char* env, const char* fallback) {
  std::string v = EnvPath(env);
  if (!v.empty()) return v;
  std::string home = EnvPath("HOME");
  return home + fallback;
}

}  // namespace

std::string RuntimeDir() {
  std::string dir = EnvPath("XDG_RUNTIME_DIR");
  struct stat st {};
  if (!dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return dir;

  // A shared temp folder is open to everybody: use a folder of our own there, and refuse one
  // that someone else made or opened up.
  std::string tmp = EnvPath("TMPDIR");
  if (tmp.empty()) tmp = "/tmp";
  std::string own = tmp + "/melvo-" + std::to_string(getuid());
  mkdir(own.c_str(), 0700);
  return IsOwnPrivateFolder(own) ? own : std::string();
}

std::string ConfigHome() {
  return HomeSub("XDG_CONFIG_HOME", "/.config");
}

std::string DataHome() {
  return HomeSub("XDG_DATA_HOME", "/.local/share");
}

std::string ProgramDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace shell
