// The text decodings of tag values as TagLib applies them, for the tag readers of our own:
// strict UTF-8, UTF-16 of either byte order, the legacy 8-bit code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace melvo::audiolib {

std::string stripWhite(const std::string& s);
// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool strictUtf8(const unsigned char* p, size_t n);
// Legacy 8-bit text up to the first zero byte, in the legacy code page, white space removed;
// empty when the result is not strictly UTF-8.
std::string legacyText(const unsigned char* p, size_t n);
// UTF-8 text up to the first zero byte; nullopt when it is not valid UTF-8.
std::optional<std::string> utf8Text(const unsigned char* p, size_t n);
// UTF-16 code units (a last odd byte is dropped); nullopt on an unpaired surrogate.
std::optional<std::string> utf16Text(const unsigned char* p, size_t n, bool bigEndian);

}  // namespace melvo::audiolib
