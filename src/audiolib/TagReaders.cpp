#include "audiolib/TagReaders.h"

#include "audiolib/FileBytes.h"
#include "audiolib/FormatHint.h"
#include "audiolib/TagText.h"
#include "audiolib/Tags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace melvo::audiolib {
namespace {

using Tags = std::map<std::string, std::string>;
using Bytes = std::vector<unsigned char>;

constexpr size_t kWindow = 4096;
constexpr size_t kMaxTextFrame = 1 << 20;    // a title larger than this is left to TagLib
constexpr int64_t kMaxWholeTag = 16 << 20;   // an unsynchronised tag is read whole up to this
constexpr size_t kMaxVorbisBlock = 1 << 20;  // likewise a FLAC comment block
constexpr int kMaxFlacBlocks = 64;           // metadata blocks looked at before giving up
constexpr int kMaxRiffChunks = 64;

uint32_t le32(const unsigned char* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
// A sync-safe size; one with a byte that is not sync-safe was written as a plain size.
uint32_t syncsafe32(const unsigned char* p) {
  if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return be32(p);
  return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
         (p[3] & 0x7F);
}

// A read-only file with a small window over it, so that walking frame headers costs a read per
// few kilobytes rather than one per frame.
class File {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat info {};
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) size_ = info.st_size;
  }
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool ok() const { return fd_ >= 0 && size_ >= 0; }
  int64_t size() const { return size_; }

  // `n` bytes at `offset`, or nullptr when the file does not hold them all. Valid until the next
  // call.
  const unsigned char* at(int64_t offset, size_t n) {
    if (offset < 0 || int64_t(n) > size_ || offset > size_ - int64_t(n)) return nullptr;
    if (offset >= base_ && offset + int64_t(n) <= base_ + int64_t(window_.size()))
      return window_.data() + (offset - base_);
    const size_t want = size_t(std::min<int64_t>(std::max(n, kWindow), size_ - offset));
    window_.resize(want);
    if (!readExactly(offset, window_.data(), want)) {
      window_.clear();
      return nullptr;
    }
    base_ = offset;
    return window_.data();
  }

  bool read(int64_t offset, size_t n, Bytes* out) {
    if (offset < 0 || int64_t(n) > size_ || offset > size_ - int64_t(n)) return false;
    out->resize(n);
    return readExactly(offset, out->data(), n);
  }

 private:
  bool readExactly(int64_t offset, unsigned char* buf, size_t n) {
    return readExactlyAt(fd_, buf, n, offset);
  }

  int fd_;
  int64_t size_ = -1;
  Bytes window_;
  int64_t base_ = 0;
};

// --- ID3v2 -----------------------------------------------------------------------------------

bool validFrameId(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (!((p[i] >= 'A' && p[i] <= 'Z') || (p[i] >= '0' && p[i] <= '9'))) return false;
  return true;
}

// Removes the zero byte inserted after every 0xFF.
Bytes unsynchronise(const unsigned char* p, size_t n) {
  Bytes out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(p[i]);
    if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0) ++i;
  }
  return out;
}

// The frame data of a tag, reachable either in memory (a decoded whole tag) or in the file.
class TagData {
 public:
  TagData(File* file, int64_t start, int64_t size) : file_(file), start_(start), size_(size) {}
  explicit TagData(Bytes bytes)
      : file_(nullptr), start_(0), size_(int64_t(bytes.size())), bytes_(std::move(bytes)) {}
  int64_t size() const { return size_; }
  const unsigned char* at(int64_t offset, size_t n) {
    if (offset < 0 || int64_t(n) > size_ || offset > size_ - int64_t(n)) return nullptr;
    if (!file_) return bytes_.data() + offset;
    return file_->at(start_ + offset, n);
  }
  bool read(int64_t offset, size_t n, Bytes* out) {
    if (offset < 0 || int64_t(n) > size_ || offset > size_ - int64_t(n)) return false;
    if (!file_) {
      out->assign(bytes_.begin() + offset, bytes_.begin() + offset + int64_t(n));
      return true;
    }
    return file_->read(start_ + offset, n, out);
  }

 private:
  File* file_;
  int64_t start_;
  int64_t size_;
  Bytes bytes_;
};

struct Id3Result {
  bool ok = false;
  std::string title, artist, album;
};

// Reads the three frames from the ID3v2 tag at `offset` (of `tagLength` bytes in all). Not ok
// for anything left to TagLib: extended headers, footers, compressed, encrypted or grouped text
// frames, a tag that runs past the end of the file.
Id3Result readId3v2(File& file, int64_t offset, int64_t tagLength) {
  Id3Result r;
  const unsigned char* h = file.at(offset, 10);
  if (!h || tagLength <= 10 || offset + tagLength > file.size()) return r;
  const int version = h[3];
  const unsigned char flags = h[5];
  if (version < 2 || version > 4) return r;
  if (flags & 0x50) return r;  // extended header (2.2: compression), footer
  const int64_t body = tagLength - 10;
  const bool tagUnsync = flags & 0x80;
  TagData data(&file, offset + 10, body);
  if (tagUnsync && version <= 3) {
    if (body > kMaxWholeTag) return r;
    Bytes whole;
    if (!file.read(offset + 10, size_t(body), &whole)) return r;
    data = TagData(unsynchronise(whole.data(), whole.size()));
  }
  const size_t headerSize = version == 2 ? 6 : 10;
  const size_t idSize = version == 2 ? 3 : 4;
  bool haveTitle = false, haveArtist = false, haveAlbum = false;
  int64_t pos = 0;
  Bytes frame;
  while (pos < data.size() - int64_t(headerSize)) {
    const unsigned char* fh = data.at(pos, headerSize);
    if (!fh) return r;
    if (fh[0] == 0) break;  // padding
    if (!validFrameId(fh, idSize)) break;
    uint32_t frameSize;
    unsigned char format = 0;
    if (version == 2) {
      frameSize = uint32_t(fh[3]) << 16 | uint32_t(fh[4]) << 8 | fh[5];
    } else if (version == 3) {
      frameSize = be32(fh + 4);
      format = fh[9];
    } else {
      frameSize = syncsafe32(fh + 4);
      format = fh[9];
      // Some writers put plain sizes into 2.4 tags; take the one after which a frame follows.
      if (frameSize > 127) {
        const unsigned char* next = data.at(pos + int64_t(frameSize) + 10, 4);
        if (!next || !validFrameId(next, 4)) {
          const uint32_t plain = be32(fh + 4);
          const unsigned char* alt = data.at(pos + int64_t(plain) + 10, 4);
          if (alt && validFrameId(alt, 4)) frameSize = plain;
        }
        fh = data.at(pos, headerSize);
        if (!fh) return r;
      }
    }
    const int64_t remaining = data.size() - pos;
    const bool lengthIndicator = version == 4 && (format & 0x01);
    if (frameSize <= (lengthIndicator ? 4u : 0u) || int64_t(frameSize) > remaining) break;
    const char* id = reinterpret_cast<const char*>(fh);
    std::string* target = nullptr;
    bool* seen = nullptr;
    if (version == 2) {
      if (std::memcmp(id, "TT2", 3) == 0) target = &r.title, seen = &haveTitle;
      if (std::memcmp(id, "TP1", 3) == 0) target = &r.artist, seen = &haveArtist;
      if (std::memcmp(id, "TAL", 3) == 0) target = &r.album, seen = &haveAlbum;
    } else {
      if (std::memcmp(id, "TIT2", 4) == 0) target = &r.title, seen = &haveTitle;
      if (std::memcmp(id, "TPE1", 4) == 0) target = &r.artist, seen = &haveArtist;
      if (std::memcmp(id, "TALB", 4) == 0) target = &r.album, seen = &haveAlbum;
    }
    if (target && !*seen) {
      const bool unsupported =
          version == 3 ? (format & 0xE0) != 0 : version == 4 && (format & 0x4D) != 0;
      if (unsupported || frameSize > kMaxTextFrame) return r;
      const size_t available =
          size_t(std::min<int64_t>(frameSize, remaining - int64_t(headerSize)));
      if (!data.read(pos + int64_t(headerSize), available, &frame)) return r;
      if (version == 4 && (tagUnsync || (format & 0x02)))
        frame = unsynchronise(frame.data(), frame.size());
      std::optional<std::string> text = id3v2FrameText(frame.data(), frame.size());
      if (!text) return r;
      *target = std::move(*text);
      *seen = true;
    }
    pos += int64_t(headerSize) + frameSize;
  }
  r.ok = true;
  return r;
}

struct Id3v1Result {
  bool present = false;
  std::string title, artist, album;
};

// The ID3v1 tag in the last 128 bytes; `apeFollows` says an APE tag sits before it or at the end.
bool readFileEnd(File& file, Id3v1Result* v1, bool* ape) {
  *ape = false;
  const int64_t size = file.size();
  const size_t tail = size_t(std::min<int64_t>(size, 160));
  const unsigned char* p = file.at(size - int64_t(tail), tail);
  if (!p) return false;
  const unsigned char* end = p + tail;
  if (tail >= 128 && std::memcmp(end - 128, "TAG", 3) == 0) {
    v1->present = true;
    const unsigned char* t = end - 128;
    v1->title = legacyText(t + 3, 30);
    v1->artist = legacyText(t + 33, 30);
    v1->album = legacyText(t + 63, 30);
    if (tail >= 160 && std::memcmp(end - 160, "APETAGEX", 8) == 0) *ape = true;
  } else if (tail >= 32 && std::memcmp(end - 32, "APETAGEX", 8) == 0) {
    *ape = true;
  }
  return true;
}

std::optional<Tags> readMp3(File& file, int64_t tagLength) {
  if (file.size() < 160) return std::nullopt;  // too short for TagLib's look at the end
  Id3Result v2 = readId3v2(file, 0, tagLength);
  if (!v2.ok) return std::nullopt;
  Id3v1Result v1;
  bool ape = false;
  if (!readFileEnd(file, &v1, &ape) || ape) return std::nullopt;
  auto pick = [&](std::string& a, const std::string& b) { return a.empty() ? b : a; };
  return Tags{{"title", pick(v2.title, v1.title)},
              {"artist", pick(v2.artist, v1.artist)},
              {"album", pick(v2.album, v1.album)}};
}

// --- FLAC ------------------------------------------------------------------------------------

// Values of "TITLE", "ARTIST" and "ALBUM" in a Vorbis comment block, several joined with a space;
// nullopt for anything malformed.
std::optional<Tags> vorbisComment(const Bytes& block) {
  std::vector<std::string> title, artist, album;
  const unsigned char* p = block.data();
  const unsigned char* end = p + block.size();
  auto take32 = [&](uint32_t* v) {
    if (end - p < 4) return false;
    *v = le32(p);
    p += 4;
    return true;
  };
  uint32_t vendor = 0, count = 0;
  if (!take32(&vendor) || uint32_t(end - p) < vendor) return std::nullopt;
  p += vendor;
  if (!take32(&count) || count > uint32_t(end - p) / 4) return std::nullopt;
  for (uint32_t c = 0; c < count; ++c) {
    uint32_t n = 0;
    if (!take32(&n) || uint32_t(end - p) < n) return std::nullopt;
    const unsigned char* eq = static_cast<const unsigned char*>(std::memchr(p, '=', n));
    if (!eq || eq == p) return std::nullopt;
    std::string key(reinterpret_cast<const char*>(p), size_t(eq - p));
    for (char& k : key) {
      if (k < 0x20 || k > 0x7D) return std::nullopt;
      if (k >= 'a' && k <= 'z') k = char(k - 'a' + 'A');
    }
    std::vector<std::string>* target = key == "TITLE"    ? &title
                                       : key == "ARTIST" ? &artist
                                       : key == "ALBUM"  ? &album
                                                         : nullptr;
    if (target) {
      std::optional<std::string> v = utf8Text(eq + 1, size_t(p + n - eq - 1));
      if (!v) return std::nullopt;
      if (!v->empty()) target->push_back(std::move(*v));
    }
    p += n;
  }
  auto join = [](const std::vector<std::string>& values) {
    std::string out;
    for (size_t k = 0; k < values.size(); ++k) out += (k ? " " : "") + values[k];
    return out;
  };
  return Tags{{"title", join(title)}, {"artist", join(artist)}, {"album", join(album)}};
}

// Every metadata block is walked (a damaged one makes the whole file unreadable to TagLib, which
// then leaves the tags to FFmpeg); only the comment block is read.
std::optional<Tags> readFlac(File& file) {
  Id3v1Result v1;
  bool ape = false;
  if (!readFileEnd(file, &v1, &ape) || v1.present || ape) return std::nullopt;
  int64_t pos = 4;
  int64_t commentAt = -1;
  uint32_t commentSize = 0;
  for (int i = 0;; ++i) {
    if (i == kMaxFlacBlocks) return std::nullopt;
    const unsigned char* b = file.at(pos, 4);
    if (!b) return std::nullopt;
    const bool last = b[0] & 0x80;
    const int type = b[0] & 0x7F;
    const uint32_t length = uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    if (i == 0 && type != 0) return std::nullopt;  // STREAMINFO comes first
    if (length == 0 && type != 1 && type != 3) return std::nullopt;
    if (pos + 4 + int64_t(length) > file.size()) return std::nullopt;
    if (type == 4 && commentAt < 0) {
      commentAt = pos + 4;
      commentSize = length;
    }
    pos += 4 + int64_t(length);
    if (last) break;
  }
  if (commentAt < 0) return Tags{{"title", ""}, {"artist", ""}, {"album", ""}};
  Bytes block;
  if (commentSize > kMaxVorbisBlock || !file.read(commentAt, commentSize, &block))
    return std::nullopt;
  return vorbisComment(block);
}

// --- WAV -------------------------------------------------------------------------------------

bool validChunkName(const unsigned char* p) {
  for (int i = 0; i < 4; ++i)
    if (p[i] < 32 || p[i] > 127) return false;
  return true;
}

std::optional<Tags> readWav(File& file) {
  int64_t pos = 12;
  int64_t id3At = -1, id3Size = 0, infoAt = -1, infoSize = 0;
  // Chunks up to the end of the file (not of the RIFF size), as TagLib walks them.
  for (int i = 0; pos + 8 <= file.size(); ++i) {
    if (i == kMaxRiffChunks) return std::nullopt;
    const unsigned char* c = file.at(pos, 8);
    if (!c) return std::nullopt;
    const uint32_t size = le32(c + 4);
    if (!validChunkName(c) || pos + 8 + int64_t(size) > file.size()) break;
    const bool id3 = std::memcmp(c, "ID3 ", 4) == 0 || std::memcmp(c, "id3 ", 4) == 0;
    const bool list = std::memcmp(c, "LIST", 4) == 0;
    if (id3 && id3At < 0) {
      id3At = pos + 8;
      id3Size = size;
    }
    if (list && infoAt < 0 && size >= 4) {
      const unsigned char* kind = file.at(pos + 8, 4);
      if (kind && std::memcmp(kind, "INFO", 4) == 0) {
        infoAt = pos + 12;
        infoSize = int64_t(size) - 4;
      }
    }
    pos += 8 + int64_t(size);
    if (pos & 1) {
      // A padding byte: skipped when it is zero or a chunk name follows it.
      const unsigned char* pad = file.at(pos, 1);
      if (pad) {
        bool skip = *pad == 0;
        if (!skip) {
          const unsigned char* next = file.at(pos + 1, 4);
          skip = next && validChunkName(next);
        }
        if (skip) ++pos;
      }
    }
  }
  std::string title, artist, album;
  if (id3At >= 0) {
    const unsigned char* t = file.at(id3At, 10);
    const int64_t length = t ? id3v2TagLength(t, 10) : 0;
    if (length == 0 || length > id3Size) return std::nullopt;
    Id3Result v2 = readId3v2(file, id3At, length);
    if (!v2.ok) return std::nullopt;
    title = v2.title;
    artist = v2.artist;
    album = v2.album;
  }
  if (infoAt >= 0) {
    Bytes list;
    if (infoSize > int64_t(kMaxVorbisBlock) || !file.read(infoAt, size_t(infoSize), &list))
      return std::nullopt;
    std::string infoTitle, infoArtist, infoAlbum;
    size_t p = 0;
    while (p + 8 <= list.size()) {
      const uint32_t n = le32(&list[p + 4]);
      if (n > list.size() - p - 8) break;
      const char* id = reinterpret_cast<const char*>(&list[p]);
      std::string* target = std::memcmp(id, "INAM", 4) == 0   ? &infoTitle
                            : std::memcmp(id, "IART", 4) == 0 ? &infoArtist
                            : std::memcmp(id, "IPRD", 4) == 0 ? &infoAlbum
                                                              : nullptr;
      if (target) *target = legacyText(&list[p + 8], n);  // a later one replaces an earlier one
      p += 8 + ((size_t(n) + 1) & ~size_t(1));
    }
    // A last entry too short for its own header is read oddly by TagLib: left to it.
    if (p < list.size() && list.size() - p >= 4 && list.size() - p < 8) return std::nullopt;
    if (title.empty()) title = infoTitle;
    if (artist.empty()) artist = infoArtist;
    if (album.empty()) album = infoAlbum;
  }
  return Tags{{"title", title}, {"artist", artist}, {"album", album}};
}

}  // namespace

std::optional<std::string> id3v2FrameText(const unsigned char* body, size_t size) {
  if (size < 2) return std::string();
  const int encoding = body[0];
  if (encoding > 3) return std::nullopt;
  const size_t align = encoding == 0 || encoding == 3 ? 1 : 2;
  // Trailing zero bytes go, then the text is cut at each (aligned) terminator.
  size_t length = size - 1;
  while (length > 0 && body[length] == 0) --length;
  while (length % align != 0) ++length;
  length = std::min(length, size - 1);
  const unsigned char* p = body + 1;
  std::vector<std::pair<size_t, size_t>> pieces;  // offset, length
  size_t from = 0;
  for (size_t i = 0; i + align <= length; i += align) {
    if (p[i] == 0 && (align == 1 || p[i + 1] == 0)) {
      pieces.emplace_back(from, i - from);
      from = i + align;
    }
  }
  if (from < length) pieces.emplace_back(from, length - from);
  std::string out;
  bool any = false;
  bool firstBigEndian = false;
  bool firstHasBom = false;
  for (size_t k = 0; k < pieces.size(); ++k) {
    const unsigned char* s = p + pieces[k].first;
    size_t n = pieces[k].second;
    if (n == 0) continue;
    std::optional<std::string> text;
    switch (encoding) {
      case 0:
        text = legacyText(s, n);
        break;
      case 1: {
        bool big;
        bool bom = n >= 2 && ((s[0] == 0xFE && s[1] == 0xFF) || (s[0] == 0xFF && s[1] == 0xFE));
        if (bom) {
          big = s[0] == 0xFE;
          s += 2;
          n -= 2;
        } else if (k > 0 && firstHasBom) {
          big = firstBigEndian;  // later values may rely on the first one's byte order mark
        } else {
          text = std::string();  // no byte order to go by
          break;
        }
        if (k == 0) {
          firstHasBom = true;
          firstBigEndian = big;
        }
        text = utf16Text(s, n, big);
        break;
      }
      case 2:
        text = utf16Text(s, n, true);
        break;
      default:
        text = utf8Text(s, n);
        break;
    }
    if (!text) return std::nullopt;
    out += (any ? " " : "") + *text;
    any = true;
  }
  return out;
}

std::optional<Tags> readCommonTags(const std::string& path) {
  File file(path);
  if (!file.ok()) return std::nullopt;
  const unsigned char* head = file.at(0, 12);
  if (!head) return std::nullopt;
  // The reader TagLib picks goes by the name; so does the choice here.
  std::string ext = path.substr(
      path.find_last_of("./") == std::string::npos ? path.size() : path.find_last_of("./") + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == "mp3") {
    const int64_t tag = id3v2TagLength(head, 12);
    if (tag == 0) return std::nullopt;
    return readMp3(file, tag);
  }
  if (ext == "flac" && std::memcmp(head, "fLaC", 4) == 0) return readFlac(file);
  if (ext == "wav" && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0)
    return readWav(file);
  return std::nullopt;
}

}  // namespace melvo::audiolib
