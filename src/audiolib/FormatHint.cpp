#include "audiolib/FormatHint.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "audiolib/OnDemandFfmpeg.h"

namespace melvo::audiolib {
namespace {

constexpr size_t kFirstLook = 2048;
constexpr size_t kLastLook = 64 << 10;  // beyond this FFmpeg's own recognition decides

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to `size` bytes at `offset`; the count read, -1 on error.
ssize_t readAt(int fd, unsigned char* buf, size_t size, int64_t offset) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd, buf + done, size - done, off_t(offset + int64_t(done)));
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return ssize_t(done);
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

const AVInputFormat* formatPastId3v2(const std::string& path) {
  Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
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
    AVProbeData probe{};
    probe.filename = path.c_str();
    probe.buf = buf.data();
    probe.buf_size = int(got);
    int score = AVPROBE_SCORE_RETRY;
    if (const AVInputFormat* format = av_probe_input_format2(&probe, 1, &score)) return format;
    if (size_t(got) < want) return nullptr;  // the whole file was looked at
  }
  return nullptr;
}

}  // namespace melvo::audiolib
