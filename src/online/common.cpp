// The client id and the program's own file.
#include "online/common.h"

#include "base/UserFolders.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace online {
namespace {

std::string HexByte(unsigned char b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {kHex[b >> 4], kHex[b & 15]};
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

}  // namespace

std::string CurrentProgramPath() {
  return base::ProgramFile();
}

std::string CurrentProgramFolder() {
  return base::ProgramDir();
}

std::string ReadClientId() {
  const std::string home = base::ConfigHome();
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

}  // namespace online
