// The reference services' readers of request parts, called directly: a Range header against a
// file size, a form body or query string, and the escaping of stored texts for the dump.
//
// Input: eight bytes of file size (little-endian, kept small), then the text.
#include <string>

#include "Ranges.h"
#include "Services.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool HasRawControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20) return true;
  return s.find("\xE2\x80\xA8") != std::string::npos || s.find("\xE2\x80\xA9") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint64_t fileSize = 0;
  for (int i = 7; i >= 0; --i) fileSize = (fileSize << 8) | data[i];
  if (data[7] & 0x80) fileSize &= 0xFFFF;  // small files most of the time
  const std::string text(reinterpret_cast<const char*>(data + 8), size - 8);

  const services::RangeAnswer range = services::AnswerRange(text, fileSize);
  switch (range.kind) {
    case services::RangeAnswer::Kind::Part:
      FUZZ_CHECK(range.length >= 1);
      FUZZ_CHECK(range.first < fileSize);
      FUZZ_CHECK(range.length <= fileSize - range.first);
      break;
    case services::RangeAnswer::Kind::Unsatisfiable:
    case services::RangeAnswer::Kind::Whole:
      break;
  }

  const auto fields = services::ParseForm(text);
  size_t bytes = 0;
  for (const auto& [name, value] : fields) bytes += name.size() + value.size();
  FUZZ_CHECK(bytes <= text.size());

  const std::string escaped = services::EscapeForDump(text);
  FUZZ_CHECK(!HasRawControl(escaped));
  return 0;
}
