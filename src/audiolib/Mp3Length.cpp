#include "audiolib/Mp3Length.h"

#include "audiolib/FormatHint.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace melvo::audiolib {
namespace {

constexpr int kMaxLeadingTags = 8;

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

int64_t exactMp3Frames(const std::string& path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return -1;
  // The audio starts after the ID3v2 tags; a file may carry several one after another.
  long start = 0;
  for (int tags = 0; tags < kMaxLeadingTags; ++tags) {
    unsigned char head[10];
    if (std::fseek(file.get(), start, SEEK_SET) != 0) return -1;
    if (std::fread(head, 1, sizeof(head), file.get()) != sizeof(head)) return -1;
    const int64_t tag = id3v2TagLength(head, sizeof(head));
    if (tag == 0) break;
    start += long(tag);
  }
  unsigned char frame[512];
  if (std::fseek(file.get(), start, SEEK_SET) != 0) return -1;
  if (std::fread(frame, 1, sizeof(frame), file.get()) != sizeof(frame)) return -1;
  const uint32_t header = be32(frame);
  if ((header & 0xFFE00000u) != 0xFFE00000u) return -1;
  const int version = int(header >> 19) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const int layer = int(header >> 17) & 3;    // 1 = layer III
  const bool mono = ((header >> 6) & 3) == 3;
  if (layer != 1 || version == 1) return -1;
  const int side = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const unsigned char* xing = frame + 4 + side;
  if (std::memcmp(xing, "Xing", 4) != 0 && std::memcmp(xing, "Info", 4) != 0) return -1;
  const uint32_t flags = be32(xing + 4);
  if (!(flags & 1)) return -1;
  const int64_t frames = be32(xing + 8);
  const unsigned char* p = xing + 12;
  if (flags & 2) p += 4;
  if (flags & 4) p += 100;
  if (flags & 8) p += 4;
  const int64_t samplesPerFrame = version == 3 ? 1152 : 576;
  int64_t delay = 0, padding = 0;
  if (p + 24 <= frame + sizeof(frame) &&
      (std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavf", 4) == 0 ||
       std::memcmp(p, "Lavc", 4) == 0)) {
    delay = int64_t(p[21]) << 4 | p[22] >> 4;
    padding = int64_t(p[22] & 0x0F) << 8 | p[23];
  }
  const int64_t total = frames * samplesPerFrame - delay - padding;
  return total > 0 ? total : -1;
}

}  // namespace melvo::audiolib
