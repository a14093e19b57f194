#include "online/ReplyJson.h"

#include <QString>

namespace online {

bool NestingWithin(std::string_view text, std::size_t maxDepth) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (inString) {
      if (ch == '\\')
        ++i;  // the escaped character, a quote included, is not the string's end
      else if (ch == '"')
        inString = false;
      continue;
    }
    if (ch == '"') {
      inString = true;
    } else if (ch == '[' || ch == '{') {
      if (++depth > maxDepth) return false;
    } else if ((ch == ']' || ch == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

nlohmann::json ParseReply(const std::string& body) {
  const std::string text =
      QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size())).toStdString();
  if (!NestingWithin(text, kMaxReplyDepth))
    return nlohmann::json(nlohmann::json::value_t::discarded);
  return nlohmann::json::parse(text, nullptr, false);
}

}  // namespace online
