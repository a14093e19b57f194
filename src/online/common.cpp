#include "online/common.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netpacket/packet.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "online/Hosts.h"

namespace online {
namespace {

constexpr const char* kStatisticPath = "/interface.php?m=Index&a=tjOper";
constexpr std::string_view kVersionMarker = "MELVO-FILE-VERSION:";

std::string HexByte(unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {kHex[b >> 4], kHex[b & 15]};
}

// "a.b.c.d" with four numbers of at most 5 digits each, each below 65536.
bool ParseFourPartVersion(std::string_view text, std::array<unsigned, 4>& parts) {
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    size_t digits = 0;
    unsigned value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && digits < 6) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
      ++digits;
    }
    if (digits == 0 || value > 65535) return false;
    parts[i] = value;
    if (i < 3) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
  }
  return pos < text.size() && text[pos] == '\0';
}

// Looks for the marker followed by a well-formed version and a NUL. The reader's own copy of
// the marker (followed by NUL, not digits) is passed over.
bool FindVersionRecord(std::string_view data, std::array<unsigned, 4>& parts) {
  size_t at = 0;
  while ((at = data.find(kVersionMarker, at)) != std::string_view::npos) {
    at += kVersionMarker.size();
    if (ParseFourPartVersion(data.substr(at, 32), parts)) return true;
  }
  return false;
}

std::string ToAsciiWithQuestionMarks(const std::string& utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  std::string out;
  out.reserve(utf8.size());
  for (auto it = text.cbegin(); it != text.cend(); ++it) {
    const char16_t ch = it->unicode();
    if (ch < 0x80) {
      out += static_cast<char>(ch);
      continue;
    }
    out += '?';
    if (QChar::isHighSurrogate(ch) && std::next(it) != text.cend() &&
        QChar::isLowSurrogate(std::next(it)->unicode()))
      ++it;  // one character, one "?"
  }
  return out;
}

std::string ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
  return {};
}

// A client id is a short value; a runaway file is read only this far.
constexpr std::streamsize kMaxClientIdFileBytes = 64 * 1024;

std::string ReadSmallFile(const std::string& path, bool& ok) {
  std::error_code ec;
  ok = std::filesystem::is_regular_file(path, ec);
  std::ifstream in;
  if (ok) in.open(path, std::ios::binary);
  ok = ok && in.is_open();
  if (!ok) return {};
  std::string text(static_cast<size_t>(kMaxClientIdFileBytes), '\0');
  in.read(text.data(), kMaxClientIdFileBytes);
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string DwordText(const std::string& number) {
  const bool hex = number.rfind("0x", 0) == 0 || number.rfind("0X", 0) == 0;
  const std::string digits = hex ? number.substr(2) : number;
  if (digits.empty() || digits.size() > 10) return {};
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0' || value > 0xFFFFFFFFull) return {};
  char buf[16];
  std::snprintf(buf, sizeof buf, "dword:%08llX", value);
  return buf;
}

std::string HexBytesText(const std::string& list) {
  std::string out = "hex:";
  std::string digits;
  bool first = true;
  auto flush = [&] {
    if (digits.empty()) return true;
    if (digits.size() > 2) return false;
    const auto byte = static_cast<unsigned char>(std::strtoul(digits.c_str(), nullptr, 16));
    if (!first) out += ',';
    out += HexByte(byte);
    first = false;
    digits.clear();
    return true;
  };
  for (char ch : list) {
    if (std::isxdigit(static_cast<unsigned char>(ch))) {
      digits += ch;
    } else if (ch == ',' || ch == ' ') {
      if (!flush()) return {};
    } else {
      return {};
    }
  }
  if (!flush()) return {};
  return first ? std::string() : out;
}

void PostStatisticForm(const FormFields& form, const HttpLimits& limits) {
  HttpPostForm(StatHost(), kStatisticPath, form, limits);
}

HttpLimits WindowLimits(long totalMs) {
  HttpLimits limits = DefaultHttpLimits();
  if (limits.totalTimeoutMs == 0 || limits.totalTimeoutMs > totalMs)
    limits.totalTimeoutMs = totalMs;
  limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, totalMs);
  return limits;
}

}  // namespace

std::string GetMacAddress(int lanaIndex) {
  if (lanaIndex < 0) return {};
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return {};
  std::map<int, std::string> byIndex;  // ordered by interface index
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_PACKET) continue;
    if (a->ifa_flags & IFF_LOOPBACK) continue;
    const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
    if (ll->sll_halen != 6) continue;
    std::string text;
    for (int i = 0; i < 6; ++i) text += HexByte(ll->sll_addr[i]);
    byIndex.emplace(ll->sll_ifindex, text);
  }
  freeifaddrs(list);
  if (static_cast<size_t>(lanaIndex) >= byIndex.size()) return {};
  return std::next(byIndex.begin(), lanaIndex)->second;
}

std::string GetLocalIP() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return {};
  std::string result;
  for (addrinfo* a = found; a; a = a->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) result = text;
  }
  freeaddrinfo(found);
  return result;
}

std::string GetFileVersionText(const std::string& path) {
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
  std::array<unsigned, 4> parts{};
  if (in.is_open()) {
    constexpr size_t kChunk = 1 << 20;
    constexpr size_t kOverlap = 64;  // a record split across two chunks is still found
    std::string window;
    std::string chunk(kChunk, '\0');
    bool found = false;
    while (!found && in) {
      in.read(chunk.data(), static_cast<std::streamsize>(kChunk));
      const auto got = static_cast<size_t>(in.gcount());
      if (got == 0) break;
      window.append(chunk.data(), got);
      found = FindVersionRecord(window, parts);
      if (window.size() > kOverlap) window.erase(0, window.size() - kOverlap);
    }
    if (!found) parts = {};
  }
  char text[48];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
  return text;
}

std::string CurrentProgramPath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

std::string CurrentProgramFolder() {
  return std::filesystem::path(CurrentProgramPath()).parent_path().string();
}

std::string ReadClientId() {
  const std::string home = ConfigHome();
  if (home.empty()) return "1001";
  const std::string folder = home + "/melvo";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec) || access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
    return "1001";
  bool ok = false;
  std::string text = ReadSmallFile(folder + "/AppUID", ok);
  return ok ? ClientIdFromFileText(std::move(text)) : std::string();
}

std::string ClientIdFromFileText(std::string text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) {
    text.resize(text.size() - 2);
  } else if (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  auto upToNul = [](const std::string& s) { return s.substr(0, s.find('\0')); };
  const size_t colon = text.find(':');
  const std::string type = colon == std::string::npos ? std::string() : text.substr(0, colon);
  const std::string data = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (type == "sz" || type == "expand_sz") return upToNul(data);
  if (type == "dword") return DwordText(data);
  if (type == "hex" || (type.rfind("hex(", 0) == 0 && type.back() == ')'))
    return HexBytesText(data);
  return upToNul(text);
}

std::string MD5Hex(const std::string& utf8) {
  const std::string ascii = ToAsciiWithQuestionMarks(utf8);
  const QByteArray digest = QCryptographicHash::hash(
      QByteArray(ascii.data(), static_cast<qsizetype>(ascii.size())), QCryptographicHash::Md5);
  return digest.toHex().toUpper().toStdString();
}

std::string MakeSignCode(const std::string& token, const std::string& mac,
                         const std::string& version, const std::string& uid) {
  return MD5Hex(MD5Hex(mac) + uid + token + MD5Hex(version));
}

FormFields MakeSignForm(const std::string& token, const std::string& mac, const std::string& uid,
                        const std::string& version) {
  FormFields form;
  form.Set("mac", mac);
  form.Set("uid", uid);
  form.Set("c", "1");
  form.Set("v", version);
  form.Set("code", MakeSignCode(token, form.Get("mac"), form.Get("v"), form.Get("uid")));
  return form;
}

bool RegisterClient() {
  const std::string uid = ReadClientId();
  const HttpResult token = HttpGet(StatHost(), "/interface.php?s=/Count/getToken.html");
  if (!token.ok) return false;
  const FormFields form =
      MakeSignForm(token.body, GetMacAddress(0), uid, GetFileVersionText(CurrentProgramPath()));
  return HttpPostForm(StatHost(), "/interface.php?s=/Count/sign.html", form).ok;
}

FormFields MakeOpenReportForm(const std::string& ip, const std::string& mac) {
  FormFields form;
  form.Set("IP", ip);
  form.Set("MAC", mac);
  form.Set("oper", "open");
  return form;
}

void PostStatistic(const std::string& oper, const std::string& btnName) {
  FormFields form;
  if (oper == "open") {
    form = MakeOpenReportForm(GetLocalIP(), GetMacAddress(0));
  } else if (oper == "click") {
    form.Set("oper", "click");
    form.Set("btnName", btnName);
  } else if (oper == "close") {
    form.Set("oper", "close");
  } else {
    return;
  }
  PostStatisticForm(form, DefaultHttpLimits());
}

void PostCloseStatistic() {
  FormFields form;
  form.Set("oper", "close");
  PostStatisticForm(form, WindowLimits(kCloseReportTimeoutMs));
}

FormFields MakeListeningStatusForm(const std::string& mac, const std::string& uid,
                                   const std::string& songName, const std::string& singer,
                                   const std::string& status) {
  FormFields form;
  form.Set("mac", mac);
  form.Set("uid", uid);
  form.Set("song_name", songName);
  form.Set("singer", singer);
  form.Set("status", status);
  return form;
}

void PostListeningStatus(const std::string& uid, const std::string& songName,
                         const std::string& singer, const std::string& status) {
  HttpPostForm(WebHost(), "/player",
               MakeListeningStatusForm(GetMacAddress(0), uid, songName, singer, status));
}

void SendFeedback(const std::string& email, const std::string& content) {
  FormFields form;
  form.Set("email", email);
  form.Set("content", content);
  HttpPostForm(WebHost(), "/index.php?m=question&a=suggest", form,
               WindowLimits(kWindowRequestTimeoutMs));
}

}  // namespace online
