#include "audiolib/FormatHint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "audiolib/FileBytes.h"
#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

constexpr size_t kFirstLook = 2048;
constexpr size_t kLastLook = 64 << 10;  // beyond this FFmpeg's own recognition decides

// Length in bytes of the MPEG audio frame whose header starts at `p`, 0 when it is none (or of
// free bit rate, whose length the header does not tell).
int mpegFrameLength(const unsigned char* p) {
  const uint32_t h = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  if ((h & 0xFFE00000u) != 0xFFE00000u) return 0;
  const int version = int(h >> 19) & 3;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
  const int layer = 4 - (int(h >> 17) & 3);
  const int rateIndex = int(h >> 12) & 15;
  const int srIndex = int(h >> 10) & 3;
  if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || srIndex == 3) return 0;
  static const int kRates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const int kSampleRates[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int sampleRate = kSampleRates[srIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int bitRate = kRates[mpeg1 ? 0 : 1][layer - 1][rateIndex] * 1000;
  const int padding = int(h >> 9) & 1;
  if (layer == 1) return (12 * bitRate / sampleRate + padding) * 4;
  if (layer == 3 && !mpeg1) return 72 * bitRate / sampleRate + padding;
  return 144 * bitRate / sampleRate + padding;
}

// MPEG audio starting right at `p`: three frames in a row of the same version, layer and rate.
bool mpegAudioAt(const unsigned char* p, size_t n) {
  size_t at = 0;
  uint32_t kind = 0;
  for (int frames = 0; frames < 3; ++frames) {
    if (at + 4 > n) return false;
    const int length = mpegFrameLength(p + at);
    if (length < 4) return false;
    const uint32_t k = uint32_t(p[at + 1]) << 8 | (p[at + 2] & 0x0C);  // version, layer, rate
    if (frames > 0 && k != kind) return false;
    kind = k;
    at += size_t(length);
  }
  return true;
}

const AVInputFormat* known(const char* name) {
  return av_find_input_format(name);
}

}  // namespace

int64_t id3v2TagLength(const unsigned char* head, size_t size) {
  if (size < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  if (head[3] == 0xFF || head[4] == 0xFF) return 0;
  if ((head[6] | head[7] | head[8] | head[9]) & 0x80) return 0;
  int64_t length = 10 + (int64_t(head[6]) << 21 | int64_t(head[7]) << 14 | int64_t(head[8]) << 7 |
                         int64_t(head[9]));
  if (head[5] & 0x10) length += 10;  // footer
  return length;
}

const AVInputFormat* formatPastId3v2(const std::string& path, int64_t* tagLength) {
  ReadOnlyFile file(path);
  if (file.fd < 0) return nullptr;
  unsigned char head[10];
  if (readAt(file.fd, head, sizeof(head), 0) != ssize_t(sizeof(head))) return nullptr;
  const int64_t tag = id3v2TagLength(head, sizeof(head));
  if (tag == 0) return nullptr;
  std::vector<unsigned char> buf;
  for (size_t want = kFirstLook; want <= kLastLook; want *= 2) {
    buf.assign(want + AVPROBE_PADDING_SIZE, 0);
    const ssize_t got = readAt(file.fd, buf.data(), want, tag);
    if (got <= 16) return nullptr;  // nothing after the tag to go by
    // The usual cases go by their first bytes alone, without asking every demuxer.
    static const AVInputFormat* const mp3 = known("mp3");
    static const AVInputFormat* const flac = known("flac");
    const AVInputFormat* plain = nullptr;
    if (got >= 4 && std::memcmp(buf.data(), "fLaC", 4) == 0) plain = flac;
    if (mpegAudioAt(buf.data(), size_t(got))) plain = mp3;
    if (plain) {
      if (tagLength) *tagLength = tag;
      return plain;
    }
    AVProbeData probe{};
    probe.filename = path.c_str();
    probe.buf = buf.data();
    probe.buf_size = int(got);
    int score = AVPROBE_SCORE_RETRY;
    if (const AVInputFormat* format = av_probe_input_format2(&probe, 1, &score)) {
      if (tagLength) *tagLength = tag;
      return format;
    }
    if (size_t(got) < want) return nullptr;  // the whole file was looked at
  }
  return nullptr;
}

}  // namespace melvo::audiolib
