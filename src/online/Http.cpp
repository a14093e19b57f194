#include "online/Http.h"

#include <curl/curl.h>

#include <cctype>
#include <mutex>

namespace online {
namespace {

std::mutex g_limitsMutex;
HttpLimits g_limits;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct BodySink {
  std::string* body;
  std::size_t cap;
  bool overflow = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const size_t n = size * count;
  if (sink->body->size() + n > sink->cap) {
    sink->overflow = true;
    return 0;  // makes libcurl abort the transfer
  }
  sink->body->append(data, n);
  return n;
}

std::string StripScheme(const std::string& host) {
  constexpr std::string_view scheme = "http://";
  std::string h = host.rfind(scheme, 0) == 0 ? host.substr(scheme.size()) : host;
  while (!h.empty() && h.back() == '/') h.pop_back();
  return h;
}

struct CurlHandle {
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  ~CurlHandle() {
    curl_slist_free_all(headers);
    if (curl) curl_easy_cleanup(curl);
  }
  void AddHeader(const std::string& line) { headers = curl_slist_append(headers, line.c_str()); }
};

// Everything both methods share: one fresh connection, no proxy, no redirects, no cookies,
// and only the headers this client names.
void ConfigureCommon(CurlHandle& h, const std::string& host, const std::string& target,
                     const HttpLimits& limits, BodySink& sink) {
  CURL* c = h.curl;
  const std::string url = "http://" + host + "/";
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, nullptr);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  if (limits.stallSeconds > 0) {
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  }
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  h.AddHeader("Host: " + host);
  h.AddHeader("Accept: text/html, */*");
  h.AddHeader("User-Agent: Mozilla/3.0 (compatible; Indy Library)");
}

void Perform(CurlHandle& h, const BodySink& sink, HttpResult& result) {
  curl_easy_setopt(h.curl, CURLOPT_HTTPHEADER, h.headers);
  const CURLcode rc = curl_easy_perform(h.curl);
  curl_easy_getinfo(h.curl, CURLINFO_RESPONSE_CODE, &result.status);
  result.ok = rc == CURLE_OK && !sink.overflow && result.status >= 200 && result.status <= 299;
  if (!result.ok) result.body.clear();
}

}  // namespace

HttpLimits DefaultHttpLimits() {
  std::lock_guard lock(g_limitsMutex);
  return g_limits;
}

void SetDefaultHttpLimits(const HttpLimits& limits) {
  std::lock_guard lock(g_limitsMutex);
  g_limits = limits;
}

void FormFields::Set(std::string_view name, std::string_view value) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (it->first != name) continue;
    if (value.empty()) {
      items_.erase(it);
    } else {
      it->second = value;
    }
    return;
  }
  if (!value.empty()) items_.emplace_back(name, value);
}

std::string FormFields::Get(std::string_view name) const {
  for (const auto& [n, v] : items_)
    if (n == name) return v;
  return {};
}

std::string FormFields::Encode() const {
  std::string out;
  for (const auto& [name, value] : items_) {
    if (!out.empty()) out += '&';
    out += name;
    out += '=';
    out += EncodeFormValue(value);
  }
  return out;
}

std::string PercentEncode(std::string_view utf8, bool (*keep)(unsigned char)) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(utf8.size());
  for (unsigned char ch : utf8) {
    if (keep(ch)) {
      out += static_cast<char>(ch);
    } else {
      out += '%';
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  return out;
}

std::string EncodeFormValue(std::string_view utf8) {
  return PercentEncode(utf8, [](unsigned char ch) {
    static constexpr std::string_view kReserved = "*#%<>[]&=+";
    return ch >= 33 && ch <= 126 && kReserved.find(static_cast<char>(ch)) == std::string_view::npos;
  });
}

HttpResult HttpGet(const std::string& host, const std::string& target, const HttpLimits& limits) {
  InitCurlOnce();
  HttpResult result;
  CurlHandle h;
  if (!h.curl) return result;
  BodySink sink{&result.body, limits.maxBodyBytes};
  ConfigureCommon(h, StripScheme(host), target, limits, sink);
  curl_easy_setopt(h.curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h.curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  Perform(h, sink, result);
  return result;
}

HttpResult HttpGet(const std::string& host, const std::string& target) {
  return HttpGet(host, target, DefaultHttpLimits());
}

HttpResult HttpPostForm(const std::string& host, const std::string& target,
                        const FormFields& fields, const HttpLimits& limits) {
  InitCurlOnce();
  HttpResult result;
  CurlHandle h;
  if (!h.curl) return result;
  BodySink sink{&result.body, limits.maxBodyBytes};
  const std::string body = fields.Encode();
  ConfigureCommon(h, StripScheme(host), target, limits, sink);
  curl_easy_setopt(h.curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(h.curl, CURLOPT_POST, 1L);
  curl_easy_setopt(h.curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(h.curl, CURLOPT_COPYPOSTFIELDS, body.c_str());
  h.AddHeader("Content-Type: application/x-www-form-urlencoded");
  h.AddHeader("Expect:");
  Perform(h, sink, result);
  return result;
}

HttpResult HttpPostForm(const std::string& host, const std::string& target,
                        const FormFields& fields) {
  return HttpPostForm(host, target, fields, DefaultHttpLimits());
}

bool SplitHttpUrl(const std::string& url, std::string& host, std::string& target) {
  constexpr std::string_view scheme = "http://";
  if (url.size() <= scheme.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
  const std::string rest = url.substr(scheme.size());
  const size_t slash = rest.find_first_of("/?");
  host = rest.substr(0, slash);
  if (host.empty()) return false;
  std::string path(1, '/');
  if (slash != std::string::npos) path.append(rest, rest[slash] == '/' ? slash + 1 : slash);
  target = std::move(path);
  return true;
}

}  // namespace online
