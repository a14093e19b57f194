#include "online/Search.h"

#include <nlohmann/json.hpp>

#include <cctype>

#include "online/Hosts.h"
#include "online/Http.h"
#include "online/ReplyJson.h"
#include "online/common.h"

namespace online {
namespace {

// Cuts a UTF-8 text to at most maxBytes without splitting a character.
std::string CutUtf8(std::string text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

std::string MemberText(const nlohmann::json& entry, const char* name) {
  if (!entry.is_object()) return {};
  const auto it = entry.find(name);
  if (it == entry.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  return it->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A shown text: the window lays out every caption it holds, so a runaway one is cut.
std::string ShownText(const nlohmann::json& entry, const char* name) {
  return CutUtf8(MemberText(entry, name), kMaxShownTextBytes);
}

bool ReadDigits(const std::string& text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
  size_t n = 0;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) &&
         n < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++n;
  }
  return n >= minDigits && (pos == text.size() || text[pos] == ':');
}

bool IsAsciiAlnum(unsigned char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

}  // namespace

std::string EncodeSearchQuery(const std::string& utf8) {
  return PercentEncode(utf8,
                       [](unsigned char ch) { return IsAsciiAlnum(ch) || ch == '.' || ch == '_'; });
}

int DurationToSeconds(const std::string& text) {
  // Up to three colon-separated parts; the first may have up to 4 digits, the rest exactly two.
  int parts[3] = {};
  int count = 0;
  size_t pos = 0;
  while (count < 3) {
    const bool first = count == 0;
    if (!ReadDigits(text, pos, first ? 1 : 2, first ? 4 : 2, parts[count])) return 0;
    ++count;
    if (pos == text.size()) break;
    ++pos;  // the colon
  }
  if (pos != text.size() || count < 2) return 0;
  if (count == 2) return parts[0] * 60 + parts[1];
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

SearchPage ParseSearchReply(const std::string& body) {
  SearchPage page;
  if (body.find("songList") == std::string::npos) return page;
  const nlohmann::json reply = ParseReply(body);
  if (!reply.is_object()) return page;
  const auto list = reply.find("songList");
  if (list == reply.end() || !list->is_array()) return page;
  page.hasSongList = true;
  page.moreMayFollow = list->size() >= 19;
  for (const auto& entry : *list) {
    if (page.songs.size() == kMaxSongsPerPage) break;
    OnlineSong song;
    song.imgUrl = ShownText(entry, "imgUrl");
    song.mp3 = MemberText(entry, "mp3");
    if (song.mp3.size() > kMaxAddressBytes) song.mp3.clear();  // no server means such an address
    song.album = ShownText(entry, "album");
    song.duration = ShownText(entry, "duration");
    song.singer = ShownText(entry, "singer");
    song.name = ShownText(entry, "name");
    song.seconds = DurationToSeconds(song.duration);
    page.songs.push_back(std::move(song));
  }
  return page;
}

SearchPage SearchOnline(const std::string& queryText, const std::string& pageText) {
  HttpLimits limits = DefaultHttpLimits();
  if (limits.totalTimeoutMs == 0 || limits.totalTimeoutMs > kWindowRequestTimeoutMs)
    limits.totalTimeoutMs = kWindowRequestTimeoutMs;
  const std::string target =
      "/tm/search/search.html?query=" + EncodeSearchQuery(queryText) + "&page=" + pageText;
  const HttpResult reply = HttpGet(SearchHost(), target, limits);
  if (!reply.ok) return {};
  return ParseSearchReply(reply.body);
}

}  // namespace online
