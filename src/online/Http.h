// The player's HTTP client: one libcurl handle per request, with exactly the request line and
// headers the web services expect. Nothing here throws; a request either succeeds (status 2xx,
// body within the cap) or fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace online {

// Limits on one request. A zero means "no limit" for the time-outs.
struct HttpLimits {
  long connectTimeoutMs = 5000;         // name look-up and TCP connect
  long stallSeconds = 15;               // fails when fewer than 1 byte/s arrive for this long
  long totalTimeoutMs = 60000;          // whole request, so that a trickling server ends too
  std::size_t maxBodyBytes = 4u << 20;  // larger replies fail rather than fill memory
};

// The limits every request starts from. Tests shorten them; set them before starting requests.
HttpLimits DefaultHttpLimits();
void SetDefaultHttpLimits(const HttpLimits& limits);

struct HttpResult {
  bool ok = false;   // connected, status 200..299, body complete and within the cap
  long status = 0;   // 0 when no status line arrived
  std::string body;  // raw bytes of the reply body
};

// Ordered form fields. Setting an existing name replaces its value in place; setting the empty
// text removes the field, so empty values never reach the body.
class FormFields {
 public:
  void Set(std::string_view name, std::string_view value);
  std::string Get(std::string_view name) const;  // empty when absent
  std::string Encode() const;                    // name=value&name=value
  const std::vector<std::pair<std::string, std::string>>& Items() const { return items_; }

 private:
  std::vector<std::pair<std::string, std::string>> items_;
};

// Form value encoding: printable ASCII stays except * # % < > [ ] & = +; every other byte of the
// UTF-8 text becomes %XX (upper-case hex).
// %XX (upper-case hex) for every byte that `keep` refuses.
std::string PercentEncode(std::string_view utf8, bool (*keep)(unsigned char));
std::string EncodeFormValue(std::string_view utf8);

// GET http://host/target as HTTP/1.1. host is "name" or "name:port"; target is sent as given.
HttpResult HttpGet(const std::string& host, const std::string& target, const HttpLimits& limits);
HttpResult HttpGet(const std::string& host, const std::string& target);

// Form POST as HTTP/1.0 with Content-Type application/x-www-form-urlencoded.
HttpResult HttpPostForm(const std::string& host, const std::string& target,
                        const FormFields& fields, const HttpLimits& limits);
HttpResult HttpPostForm(const std::string& host, const std::string& target,
                        const FormFields& fields);

// Splits "http://host[:port]/path?query" into host and target (target "/" when absent).
// Returns false for anything but a plain http address.
bool SplitHttpUrl(const std::string& url, std::string& host, std::string& target);

}  // namespace online
