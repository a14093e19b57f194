#include "shell/DesktopFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/UserFolders.h"
#include "shell/DesktopEntry.h"
#include "shell/MimeApps.h"

extern char** environ;

namespace shell {
namespace fs = std::filesystem;
namespace {

// The desktop's caches are rebuilt by these; either may be missing, and a hung one is ended.
constexpr int kToolTimeoutMs = 10000;

bool WriteAll(int fd, const std::string& content) {
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Folders the desktop reads per user are made private, as the base directory rules ask.
bool MakeFolders(const fs::path& folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  if (!folder.has_parent_path() || folder.parent_path() == folder) return false;
  if (!MakeFolders(folder.parent_path())) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || (errno == EEXIST && fs::is_directory(folder, ec));
}

// Runs a program found on PATH with its output discarded; waits at most kToolTimeoutMs.
void RunTool(const char* program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return;

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kToolTimeoutMs);
  while (true) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Writes the file unless it already holds exactly this; true when it holds it afterwards.
bool Refresh(const std::string& path, const std::string& content, bool& changed) {
  changed = false;
  std::optional<std::string> old = ReadWholeFile(path);
  if (old && *old == content) return true;
  changed = ReplaceFile(path, content);
  return changed;
}

void RegisterMimePackage(const std::vector<std::string>& extensions) {
  const std::string path = MimePackagePath();
  const std::string package = MimePackage(extensions);
  bool changed = false;
  std::error_code ec;
  if (package.empty()) {
    changed = fs::remove(path, ec);
  } else if (!Refresh(path, package, changed)) {
    return;
  }
  const fs::path mimeFolder = fs::path(path).parent_path().parent_path();
  // A database that was never built (or was deleted) is built as well as a changed one.
  if (changed || (!package.empty() && !fs::exists(mimeFolder / "mime.cache", ec)))
    RunTool("update-mime-database", {mimeFolder.string()});
}

void RegisterDefaults(const std::vector<std::string>& extensions) {
  const std::string path = MimeAppsPath();
  std::error_code ec;
  std::optional<std::string> old = ReadWholeFile(path);
  // A list that exists but cannot be read is left alone rather than replaced.
  if (!old && fs::symlink_status(path, ec).type() != fs::file_type::not_found) return;
  const std::string merged = MergeMimeApps(old.value_or(std::string()),
                                           MimeTypesForExtensions(extensions), kDesktopEntryName);
  if (!old || merged != *old) ReplaceFile(path, merged);
}

}  // namespace

std::string DesktopEntryPath() {
  std::string data = base::DataHome();
  return data.empty() ? std::string() : data + "/applications/" + kDesktopEntryName;
}

std::string MimePackagePath() {
  std::string data = base::DataHome();
  return data.empty() ? std::string() : data + "/mime/packages/" + kMimePackageName;
}

std::string MimeAppsPath() {
  std::string config = base::ConfigHome();
  return config.empty() ? std::string() : config + "/mimeapps.list";
}

std::string AutoStartPath() {
  std::string config = base::ConfigHome();
  return config.empty() ? std::string() : config + "/autostart/" + kAutoStartEntryName;
}

void RegisterFileTypes(const std::vector<std::string>& extensions, const std::string& programFile) {
  const std::string entryPath = DesktopEntryPath();
  if (entryPath.empty() || MimeAppsPath().empty() || programFile.empty()) return;
  std::optional<std::string> entry = PlayerDesktopEntry(extensions, programFile);
  if (!entry) return;
  bool changed = false;
  // Without the entry the defaults would name nothing: stop here.
  if (!Refresh(entryPath, *entry, changed)) return;
  if (changed) RunTool("update-desktop-database", {fs::path(entryPath).parent_path().string()});
  RegisterMimePackage(extensions);
  RegisterDefaults(extensions);
}

bool ToggleAutoStart(bool wasChecked, const std::string& programFile) {
  const std::string path = AutoStartPath();
  if (path.empty()) return false;
  if (wasChecked) {
    std::error_code ec;
    fs::remove(path, ec);
    return !ec;
  }
  std::optional<std::string> entry = AutoStartEntry(programFile);
  if (!entry || programFile.empty()) return false;
  bool changed = false;
  return Refresh(path, *entry, changed);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string content;
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    content.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return content;
}

bool ReplaceFile(const std::string& path, const std::string& content) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::path target = path;
  // Dot-file managers link these files into a repository: replace the target, keep the link.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return false;
    target = resolved;
  }
  if (!MakeFolders(target.parent_path())) return false;

  mode_t mode = 0644;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  }
  std::string name = ".";  // appended: "." + string warns -Wrestrict in GCC 12 (a false alarm)
  name += target.filename().string();
  name += ".XXXXXX";
  std::string temp = (target.parent_path() / name).string();
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace shell
