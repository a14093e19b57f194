// Reading a file's bytes directly, for the readers that look into a file's header and tags
// without FFmpeg.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace melvo::audiolib {

// A file opened for reading; closed with its owner. `fd` is negative when it cannot be opened.
struct ReadOnlyFile {
  explicit ReadOnlyFile(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~ReadOnlyFile() {
    if (fd >= 0) ::close(fd);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  int fd;
};

// Reads up to `size` bytes at `offset`: the count read (less at the end of the file), -1 on error.
inline ssize_t readAt(int fd, unsigned char* buf, size_t size, int64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buf + done, size - done, off_t(offset + int64_t(done)));
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return ssize_t(done);
}

// True when all `size` bytes at `offset` were read.
inline bool readExactlyAt(int fd, unsigned char* buf, size_t size, int64_t offset) {
  return readAt(fd, buf, size, offset) == ssize_t(size);
}

inline uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace melvo::audiolib
