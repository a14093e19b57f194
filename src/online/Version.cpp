#include "online/Version.h"

#include <QByteArray>
#include <nlohmann/json.hpp>

#include <spawn.h>
#include <sys/wait.h>

#include <charconv>
#include <filesystem>
#include <thread>

#include "online/Hosts.h"
#include "online/Http.h"
#include "online/ReplyJson.h"
#include "online/common.h"

extern char** environ;

namespace online {
namespace {

// Splits at CR, LF or CR LF; a break at the very end starts no further line.
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    const char ch = text[i++];
    if (ch != '\r' && ch != '\n') {
      line += ch;
      continue;
    }
    if (ch == '\r' && i < text.size() && text[i] == '\n') ++i;
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

// A whole line as a signed 32-bit decimal integer with an optional sign.
bool ReadInteger(const std::string& text, int32_t& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end) return false;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end;
}

std::string TextMember(const nlohmann::json& object, const char* name) {
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

uint32_t VersionToNumber(const std::string& version) {
  std::string text = version;
  for (char& ch : text)
    if (ch == '.') ch = '\n';
  const std::vector<std::string> parts = SplitLines(text);
  int32_t n[4] = {};
  if (parts.size() != 4) return 1u << 24;
  for (int i = 0; i < 4; ++i)
    if (!ReadInteger(parts[i], n[i])) return 1u << 24;
  return (static_cast<uint32_t>(n[0]) << 24) + (static_cast<uint32_t>(n[1]) << 16) +
         (static_cast<uint32_t>(n[2]) << 8) + static_cast<uint32_t>(n[3]);
}

std::string EncodeBase64(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()))
      .toBase64()
      .trimmed()
      .toStdString();
}

std::vector<std::string> UpdaterArguments(const std::string& downloadUrl,
                                          const std::string& programFileName) {
  return {EncodeBase64(downloadUrl), EncodeBase64(programFileName)};
}

std::string UpdaterCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const auto& arg : arguments) {
    if (!line.empty()) line += ' ';
    line += '"' + arg + '"';
  }
  return line;
}

std::string UpdaterPath(const std::string& programFolder) {
#ifdef _WIN32
  return (std::filesystem::path(programFolder) / "Update.exe").string();
#else
  return (std::filesystem::path(programFolder) / "Update").string();
#endif
}

void LaunchDetached(const std::string& path, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  std::string name = std::filesystem::path(path).filename().string();
  argv.push_back(name.data());
  std::vector<std::string> copies = arguments;
  for (auto& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // The updater gets no descriptor of ours beyond the standard three: an inherited lock or
  // socket would outlive the player.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return;
  // Reap the child whenever it ends so that it leaves no zombie; nobody waits for the result.
  try {
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  } catch (...) {
  }
}

std::string VersionCheckUrl() {
  return "http://" + WebHost() + "/player-check_version?check_from=desktop";
}

bool CheckVersion(const std::string& url, const std::string& programPath,
                  const UpdaterLauncher& launch) {
  std::string host, target;
  if (!SplitHttpUrl(url, host, target)) return false;
  const HttpResult reply = HttpGet(host, target);
  if (!reply.ok) return false;
  const nlohmann::json json = ParseReply(reply.body);
  if (!json.is_object()) return false;
  const auto data = json.find("data");
  if (data == json.end() || !data->is_object()) return false;
  const std::string fileName = std::filesystem::path(programPath).filename().string();
  const auto arguments = UpdaterArguments(TextMember(*data, "d_url"), fileName);
  const uint32_t remote = VersionToNumber(TextMember(*data, "version"));
  const uint32_t local = VersionToNumber(GetFileVersionText(programPath));
  if (!(local < remote)) return false;
  const auto folder = std::filesystem::path(programPath).parent_path().string();
  if (launch) launch(UpdaterPath(folder), arguments);
  return true;
}

}  // namespace online
