#include "online/Hosts.h"

#include <cstdlib>

namespace online {
namespace {

std::string FromEnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : std::string(fallback);
}

}  // namespace

std::string StatHost() {
  return FromEnvOr("MELVO_STAT_HOST", MELVO_DEFAULT_STAT_HOST);
}
std::string WebHost() {
  return FromEnvOr("MELVO_WEB_HOST", MELVO_DEFAULT_WEB_HOST);
}
std::string SearchHost() {
  return FromEnvOr("MELVO_SEARCH_HOST", MELVO_DEFAULT_SEARCH_HOST);
}

std::string ProductSiteUrl() {
  std::string url = FromEnvOr("MELVO_SITE_URL", MELVO_DEFAULT_SITE_URL);
  return url.empty() ? "http://" + WebHost() + "/" : url;
}

}  // namespace online
