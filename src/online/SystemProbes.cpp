// What the machine says about itself: adapter address, host address, a file's version record.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netpacket/packet.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "online/common.h"

namespace online {
namespace {

constexpr std::string_view kVersionMarker = "MELVO-FILE-VERSION:";

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
    char text[13];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X%02X", ll->sll_addr[0], ll->sll_addr[1],
                  ll->sll_addr[2], ll->sll_addr[3], ll->sll_addr[4], ll->sll_addr[5]);
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

}  // namespace online
