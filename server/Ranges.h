// Byte ranges of a file download (RFC 9110, section 14).
#pragma once

#include <cstdint>
#include <string_view>

namespace services {

struct RangeAnswer {
  enum class Kind {
    Whole,          // 200 with the whole file: no Range, or one the server ignores
    Part,           // 206 with bytes first .. first + length - 1
    Unsatisfiable,  // 416 with "Content-Range: bytes */<size>"
  };
  Kind kind = Kind::Whole;
  std::uint64_t first = 0;
  std::uint64_t length = 0;
};

// The answer to a Range header value for a file of `size` bytes. One range of the unit "bytes"
// is served; several ranges, other units and ranges that do not parse (a last byte before the
// first among them) are ignored, as the RFC allows. A first byte at or past the end, a suffix of
// zero bytes and any range of an empty file cannot be satisfied; a last byte past the end and a
// suffix longer than the file are cut to the file.
RangeAnswer AnswerRange(std::string_view header, std::uint64_t size);

}  // namespace services
