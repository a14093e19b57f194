#include "audiolib/TagText.h"

#include <cstring>

#include "audiolib/Tags.h"

namespace melvo::audiolib {

namespace {

bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

}  // namespace

std::string stripWhite(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isWhite(s[b])) ++b;
  while (e > b && isWhite(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Legacy 8-bit text as the installed TagLib handlers decode it: up to the first zero byte, the
// legacy code page, surrounding white space removed; nothing when the result is not strictly
// UTF-8 (as TagLib takes it).
std::string legacyText(const unsigned char* p, size_t n) {
  const unsigned char* nul = static_cast<const unsigned char*>(std::memchr(p, 0, n));
  if (nul) n = size_t(nul - p);
  const std::string text = legacyTextToUtf8(std::string(reinterpret_cast<const char*>(p), n));
  if (!strictUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size())) return {};
  return stripWhite(text);
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool strictUtf8(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (extra > n - i - 1) return false;
    if (p[i + 1] < lo || p[i + 1] > hi) return false;
    for (size_t k = 2; k <= extra; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

// UTF-8 text up to the first zero byte; nullopt when it is not valid UTF-8.
std::optional<std::string> utf8Text(const unsigned char* p, size_t n) {
  const unsigned char* nul = static_cast<const unsigned char*>(std::memchr(p, 0, n));
  if (nul) n = size_t(nul - p);
  if (!strictUtf8(p, n)) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(p), n);
}

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

}  // namespace

// UTF-16 code units (a last odd byte is dropped); nullopt on an unpaired surrogate.
std::optional<std::string> utf16Text(const unsigned char* p, size_t n, bool bigEndian) {
  std::string out;
  const size_t units = n / 2;
  auto unit = [&](size_t i) -> uint32_t {
    return bigEndian ? uint32_t(p[2 * i]) << 8 | p[2 * i + 1]
                     : uint32_t(p[2 * i + 1]) << 8 | p[2 * i];
  };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 >= units) return std::nullopt;
      uint32_t v = unit(i + 1);
      if (v < 0xDC00 || v > 0xDFFF) return std::nullopt;
      u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return std::nullopt;
    }
    appendUtf8(out, u);
  }
  return out;
}

}  // namespace melvo::audiolib
