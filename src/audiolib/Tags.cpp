#include "audiolib/Tags.h"

#include <iconv.h>

#include <cstring>
#include <mutex>

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>
#include <taglib/wavfile.h>

namespace melvo::audiolib {
namespace {

bool isValidUtf8(const std::string& s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t extra;
    if (c < 0x80)
      extra = 0;
    else if (c >= 0xC2 && c <= 0xDF)
      extra = 1;
    else if (c >= 0xE0 && c <= 0xEF)
      extra = 2;
    else if (c >= 0xF0 && c <= 0xF4)
      extra = 3;
    else
      return false;
    if (extra > n - i - 1) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

std::string latin1ToUtf8(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string gb18030ToUtf8(const std::string& s, bool* ok) {
  *ok = false;
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == iconv_t(-1)) return {};
  std::string out(s.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(s.data());
  size_t inLeft = s.size();
  char* dst = out.data();
  size_t outLeft = out.size();
  size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == size_t(-1)) return {};
  out.resize(out.size() - outLeft);
  *ok = true;
  return out;
}

TagLib::String legacyToTagLib(const TagLib::ByteVector& data) {
  std::string bytes(data.data(), data.size());
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return TagLib::String(legacyTextToUtf8(bytes), TagLib::String::UTF8).stripWhiteSpace();
}

class LegacyId3v1 : public TagLib::ID3v1::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return legacyToTagLib(data);
  }
};
class LegacyId3v2 : public TagLib::ID3v2::Latin1StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return legacyToTagLib(data);
  }
};
class LegacyInfo : public TagLib::RIFF::Info::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override {
    return legacyToTagLib(data);
  }
};

void installLegacyHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    static LegacyId3v1 id3v1;
    static LegacyId3v2 id3v2;
    static LegacyInfo info;
    TagLib::ID3v1::Tag::setStringHandler(&id3v1);
    TagLib::ID3v2::Tag::setLatin1StringHandler(&id3v2);
    TagLib::RIFF::Info::Tag::setStringHandler(&info);
  });
}

// The codes of formatTags and the keys they stand for; the first three are the common tags.
const std::pair<const char*, const char*> kTagCodes[] = {
    {"%TITL", "title"}, {"%ARTI", "artist"},  {"%ALBM", "album"}, {"%GNRE", "genre"},
    {"%YEAR", "year"},  {"%CMNT", "comment"}, {"%TRCK", "track"}};

std::string utf8(const TagLib::String& s) {
  return s.to8Bit(true);
}

}  // namespace

std::string legacyTextToUtf8(const std::string& bytes) {
  if (isValidUtf8(bytes)) return bytes;
  bool ok = false;
  std::string converted = gb18030ToUtf8(bytes, &ok);
  return ok ? converted : latin1ToUtf8(bytes);
}

std::map<std::string, std::string> readFileTags(const std::string& path) {
  installLegacyHandlers();
  std::map<std::string, std::string> tags;
  TagLib::FileRef file(path.c_str(), false);
  if (file.isNull() || !file.tag()) return tags;
  const TagLib::Tag* tag = file.tag();
  // A WAV file's tag here is its ID3 chunk alone; its INFO list gives what that lacks.
  const TagLib::Tag* info = nullptr;
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file()); wav && wav->hasInfoTag())
    info = wav->InfoTag();
  auto text = [&](TagLib::String (TagLib::Tag::*get)() const) {
    TagLib::String value = (tag->*get)();
    if (value.isEmpty() && info) value = (info->*get)();
    return utf8(value);
  };
  auto number = [&](unsigned (TagLib::Tag::*get)() const) {
    unsigned value = (tag->*get)();
    if (value == 0 && info) value = (info->*get)();
    return value;
  };
  tags["title"] = text(&TagLib::Tag::title);
  tags["artist"] = text(&TagLib::Tag::artist);
  tags["album"] = text(&TagLib::Tag::album);
  tags["genre"] = text(&TagLib::Tag::genre);
  tags["comment"] = text(&TagLib::Tag::comment);
  if (unsigned year = number(&TagLib::Tag::year)) tags["year"] = std::to_string(year);
  if (unsigned track = number(&TagLib::Tag::track)) tags["track"] = std::to_string(track);
  return tags;
}

bool asksOnlyCommonTags(const std::string& fmt) {
  for (size_t i = 0; i < fmt.size();) {
    if (fmt.compare(i, 2, "%%") == 0) {
      i += 2;
      continue;
    }
    for (size_t k = 3; k < std::size(kTagCodes); ++k)
      if (fmt.compare(i, 5, kTagCodes[k].first) == 0) return false;
    ++i;
  }
  return true;
}

std::string formatTags(const std::string& fmt, const std::map<std::string, std::string>& tags) {
  std::string out;
  for (size_t i = 0; i < fmt.size();) {
    if (fmt.compare(i, 2, "%%") == 0) {
      out += '%';
      i += 2;
      continue;
    }
    bool replaced = false;
    for (const auto& [code, key] : kTagCodes) {
      if (fmt.compare(i, 5, code) != 0) continue;
      auto it = tags.find(key);
      if (it != tags.end()) out += it->second;
      i += 5;
      replaced = true;
      break;
    }
    if (!replaced) out += fmt[i++];
  }
  return out;
}

}  // namespace melvo::audiolib
