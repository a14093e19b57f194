// Small helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A private folder for the files a target writes, made once per process (in RAM when /dev/shm
// exists, so the fuzzer does not wear the disk).
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = base + "/melvo-fuzz-XXXXXX";
    if (!mkdtemp(templ.data())) std::abort();
    return templ;
  }();
  return folder;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// A fault the sanitizers cannot see (a wrong result): the fuzzer keeps the input as a crash.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

}  // namespace fuzz
