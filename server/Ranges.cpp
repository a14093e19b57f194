#include "Ranges.h"

#include <limits>
#include <optional>

namespace services {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Decimal digits only; numbers too large for 64 bits are the largest one (beyond any file).
std::optional<std::uint64_t> Number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  for (char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(ch - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

bool StartsWithBytesUnit(std::string_view text) {
  constexpr std::string_view kUnit = "bytes";
  if (text.size() < kUnit.size()) return false;
  for (size_t i = 0; i < kUnit.size(); ++i)
    if ((text[i] | 0x20) != kUnit[i]) return false;  // the unit is case-insensitive
  return true;
}

}  // namespace

RangeAnswer AnswerRange(std::string_view header, std::uint64_t size) {
  const RangeAnswer whole;
  RangeAnswer unsatisfiable;
  unsatisfiable.kind = RangeAnswer::Kind::Unsatisfiable;
  header = Trim(header);
  if (!StartsWithBytesUnit(header)) return whole;
  header.remove_prefix(5);
  header = Trim(header);
  if (header.empty() || header.front() != '=') return whole;
  const std::string_view spec = Trim(header.substr(1));
  if (spec.find(',') != std::string_view::npos) return whole;
  const size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return whole;
  const std::string_view firstText = Trim(spec.substr(0, dash));
  const std::string_view lastText = Trim(spec.substr(dash + 1));
  RangeAnswer part;
  part.kind = RangeAnswer::Kind::Part;
  if (firstText.empty()) {  // suffix: the last n bytes
    const auto n = Number(lastText);
    if (!n) return whole;
    if (*n == 0 || size == 0) return unsatisfiable;
    part.length = *n < size ? *n : size;
    part.first = size - part.length;
    return part;
  }
  const auto first = Number(firstText);
  if (!first) return whole;
  std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
  if (!lastText.empty()) {
    const auto given = Number(lastText);
    if (!given || *given < *first) return whole;
    last = *given;
  }
  if (*first >= size) return unsatisfiable;
  if (last >= size) last = size - 1;
  part.first = *first;
  part.length = last - *first + 1;
  return part;
}

}  // namespace services
