#include "audiolib/Mp3Length.h"

#include "audiolib/FileBytes.h"
#include "audiolib/FormatHint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace melvo::audiolib {
namespace {

constexpr int kMaxLeadingTags = 8;

}  // namespace

std::optional<Mp3Start> readMp3Start(const std::string& path) {
  ReadOnlyFile file(path);
  if (file.fd < 0) return std::nullopt;
  // The audio starts after the ID3v2 tags; a file may carry several one after another.
  int64_t start = 0;
  for (int tags = 0; tags < kMaxLeadingTags; ++tags) {
    unsigned char head[10];
    if (!readExactlyAt(file.fd, head, sizeof(head), start)) return std::nullopt;
    const int64_t tag = id3v2TagLength(head, sizeof(head));
    if (tag == 0) break;
    start += tag;
  }
  unsigned char frame[512];
  if (!readExactlyAt(file.fd, frame, sizeof(frame), start)) return std::nullopt;
  const uint32_t header = be32(frame);
  if ((header & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
  const int version = int(header >> 19) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const int layer = int(header >> 17) & 3;    // 1 = layer III
  const int rateIndex = int(header >> 10) & 3;
  const bool mono = ((header >> 6) & 3) == 3;
  if (layer != 1 || version == 1 || rateIndex == 3) return std::nullopt;
  const int side = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const unsigned char* xing = frame + 4 + side;
  if (std::memcmp(xing, "Xing", 4) != 0 && std::memcmp(xing, "Info", 4) != 0) return std::nullopt;
  const uint32_t flags = be32(xing + 4);
  if (!(flags & 1)) return std::nullopt;
  const int64_t frames = be32(xing + 8);
  const unsigned char* p = xing + 12;
  if (flags & 2) p += 4;
  if (flags & 4) p += 100;
  if (flags & 8) p += 4;
  Mp3Start out;
  static const int kRates[3] = {44100, 48000, 32000};
  out.sampleRate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  out.channels = mono ? 1 : 2;
  out.samplesPerFrame = version == 3 ? 1152 : 576;
  int64_t delay = 0, padding = 0;
  if (p + 24 <= frame + sizeof(frame) &&
      (std::memcmp(p, "LAME", 4) == 0 || std::memcmp(p, "Lavf", 4) == 0 ||
       std::memcmp(p, "Lavc", 4) == 0)) {
    delay = int64_t(p[21]) << 4 | p[22] >> 4;
    padding = int64_t(p[22] & 0x0F) << 8 | p[23];
  }
  out.frames = frames * out.samplesPerFrame - delay - padding;
  if (out.frames <= 0) return std::nullopt;
  return out;
}

int64_t exactMp3Frames(const std::string& path) {
  std::optional<Mp3Start> start = readMp3Start(path);
  return start ? start->frames : -1;
}

}  // namespace melvo::audiolib
