// Where the three web services live. Each address is host[:port], taken from the environment
// when set there and from the build settings otherwise; read anew at every use.
#pragma once

#include <string>

namespace online {

std::string StatHost();    // statistics server: MELVO_STAT_HOST
std::string WebHost();     // product web server: MELVO_WEB_HOST
std::string SearchHost();  // music search service: MELVO_SEARCH_HOST

// The product web site's home address opened by the artist picture: MELVO_SITE_URL, else
// the build setting, else "http://" + WebHost() + "/".
std::string ProductSiteUrl();

}  // namespace online
