// The online song search: one page of results from the music search service.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace online {

// One search result, members read as text (a missing member is empty, a member that is not a
// string is its JSON text).
struct OnlineSong {
  std::string name;
  std::string singer;
  std::string mp3;
  std::string album;
  std::string duration;  // as the service sent it, normally m:ss
  int seconds = 0;       // DurationToSeconds(duration)
  std::string imgUrl;
};

struct SearchPage {
  // The reply was a JSON object with a "songList" array. When false nothing else applies and
  // the page buttons stay as they were.
  bool hasSongList = false;
  bool moreMayFollow = false;     // 19 or more results: a next page may exist
  std::vector<OnlineSong> songs;  // in reply order
};

// The query as sent: UTF-8 bytes, digits, ASCII letters, "." and "_" as they are, every other
// byte as %XX (upper-case hex).
std::string EncodeSearchQuery(const std::string& utf8);

// "m:ss" as seconds. Longer forms "mm:ss" and "h:mm:ss" are read the same way; anything else
// (empty text, letters, a seconds part that is not two digits) gives 0, "length unknown".
int DurationToSeconds(const std::string& text);

// Bounds on what one reply may put into the window: a page of a real service holds 20 songs
// with short texts.
inline constexpr size_t kMaxSongsPerPage = 100;     // further entries are passed over
inline constexpr size_t kMaxShownTextBytes = 1024;  // name, singer, album, duration, imgUrl: cut
inline constexpr size_t kMaxAddressBytes = 8192;    // a longer mp3 address reads as empty

// Reads a reply body of the search service. A reply nested too deep to read safely gives
// nothing, as a reply without a song list does.
SearchPage ParseSearchReply(const std::string& body);

// Requests one page (pageText is the decimal page number, counting from 0) for the search text
// exactly as typed. Blocks; bounded by the request time-outs.
SearchPage SearchOnline(const std::string& queryText, const std::string& pageText);

}  // namespace online
