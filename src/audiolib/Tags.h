// Tag reading for TAGS_Read: TagLib, with legacy 8-bit text taken as GB18030.
#pragma once

#include <map>
#include <string>

namespace melvo::audiolib {

// Keys: title, artist, album, genre, year, comment, track. Empty map when TagLib cannot read it.
std::map<std::string, std::string> readFileTags(const std::string& path);
// Legacy 8-bit text to UTF-8: kept when it is valid UTF-8, otherwise decoded as GB18030
// (Latin-1 for bytes GB18030 rejects).
std::string legacyTextToUtf8(const std::string& bytes);
// Whether fmt asks for nothing but title, artist and album (the texts the tag readers give).
bool asksOnlyCommonTags(const std::string& fmt);
// Replaces %TITL, %ARTI, %ALBM, %GNRE, %YEAR, %CMNT, %TRCK and %% in fmt.
std::string formatTags(const std::string& fmt, const std::map<std::string, std::string>& tags);

}  // namespace melvo::audiolib
