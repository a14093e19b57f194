// Reading the JSON replies of the web services. A reply comes from a server the player does not
// control: it is checked for nesting before any code walks it, since turning a deep member back
// into text recurses once per level.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>

namespace online {

// Deeper than any reply the services send (the search nests four levels).
inline constexpr std::size_t kMaxReplyDepth = 64;

// Whether no array or object of the text lies more than maxDepth levels deep. Brackets inside
// strings do not count. Stops at the first level too deep, so the cost is one pass at most.
bool NestingWithin(std::string_view text, std::size_t maxDepth);

// The reply body as JSON; bytes that are not UTF-8 become U+FFFD. Anything that is not JSON, or
// nests deeper than kMaxReplyDepth, gives a discarded value (is_discarded()).
nlohmann::json ParseReply(const std::string& body);

}  // namespace online
