// Tag text: legacy 8-bit text (taken as GB18030 unless it is UTF-8) on its own, and inside the
// tags that carry it — ID3v2 text frames in each of their encodings (Latin-1, UTF-16 with a byte
// order mark, UTF-16BE without one, UTF-8), ID3v1 and RIFF INFO — read back through TagLib with
// the player's handlers. Whatever comes in, what comes out is UTF-8, and the library's own tag
// readers agree with TagLib.
//
// Input: one byte of choices, then the text.
#include <cstring>
#include <string>

#include "audiolib/TagReaders.h"
#include "audiolib/Tags.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Lead and continuation bytes in order (overlong and surrogate forms are not looked for).
bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
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
    if (extra > s.size() - i - 1) return false;
    for (size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

void PutBE(std::string& out, uint32_t v, bool synchsafe) {
  if (synchsafe)
    v = (v & 0x7F) | ((v & 0x3F80) << 1) | ((v & 0x1FC000) << 2) | ((v & 0xFE00000) << 3);
  for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

void PutLE(std::string& out, uint32_t v) {
  for (int shift = 0; shift <= 24; shift += 8) out += char((v >> shift) & 0xFF);
}

std::string Id3v2File(const std::string& text, unsigned encoding, bool v24) {
  std::string frames;
  for (const char* id : {"TIT2", "TPE1", "TALB", "TCON", "COMM"}) {
    std::string body(1, char(encoding));
    if (std::strcmp(id, "COMM") == 0) body += std::string("chi") + char(0);
    body += text;
    frames += id;
    PutBE(frames, uint32_t(body.size()), v24);
    frames += std::string(2, '\0');
    frames += body;
  }
  std::string file = "ID3";
  file += char(v24 ? 4 : 3);
  file += std::string(2, '\0');
  PutBE(file, uint32_t(frames.size()), true);
  return file + frames;
}

std::string Id3v1File(const std::string& text) {
  std::string field = text.substr(0, 30);
  field.resize(30, '\0');
  std::string tag = "TAG" + field + field + field + "2024" + field;
  tag += char(12);  // genre
  return std::string(417, '\0') + tag;
}

std::string WavFile(const std::string& text) {
  std::string info = "INFO";
  for (const char* id : {"INAM", "IART", "IPRD"}) {
    std::string value = text + '\0';
    info += id;
    PutLE(info, uint32_t(value.size()));
    info += value;
    if (value.size() % 2) info += '\0';
  }
  std::string fmt = "fmt ";
  PutLE(fmt, 16);
  fmt += std::string("\x01\x00\x01\x00", 4);  // PCM, mono
  PutLE(fmt, 8000);
  PutLE(fmt, 16000);
  fmt += std::string("\x02\x00\x10\x00", 4);
  std::string data = "data";
  PutLE(data, 16);
  data += std::string(16, '\0');
  std::string list = "LIST";
  PutLE(list, uint32_t(info.size()));
  std::string body = "WAVE" + fmt + data + list + info;
  std::string file = "RIFF";
  PutLE(file, uint32_t(body.size()));
  return file + body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned choice = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string decoded = melvo::audiolib::legacyTextToUtf8(text);
  FUZZ_CHECK(IsUtf8(decoded));
  if (IsUtf8(text)) FUZZ_CHECK(decoded == text);

  std::string file, ext;
  switch ((choice >> 3) % 3) {
    case 0:
      file = Id3v2File(text, choice & 3, choice & 4);
      ext = "mp3";
      break;
    case 1:
      file = Id3v1File(text);
      ext = "mp3";
      break;
    default:
      file = WavFile(text);
      ext = "wav";
      break;
  }
  const std::string path = fuzz::ScratchFolder() + "/tags." + ext;
  fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(file.data()), file.size());
  const auto tags = melvo::audiolib::readFileTags(path);
  for (const auto& [key, value] : tags) FUZZ_CHECK(IsUtf8(value));
  // The library's own readers, where they read the file, read what TagLib reads.
  if (auto own = melvo::audiolib::readCommonTags(path)) {
    for (const char* key : {"title", "artist", "album"}) {
      auto it = tags.find(key);
      FUZZ_CHECK((*own)[key] == (it == tags.end() ? std::string() : it->second));
    }
  }

  const std::string formatted = melvo::audiolib::formatTags(text, tags);
  (void)formatted;
  return 0;
}
