#include "host/menu_relay/host_client.h"

#include <curl/curl.h>

#include <memory>

namespace lumorel {
namespace {

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct HeadersDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Curl = std::unique_ptr<CURL, CurlDeleter>;
using Headers = std::unique_ptr<curl_slist, HeadersDeleter>;

constexpr std::size_t kMaxAnswer = 1 << 20;

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
  auto* body = static_cast<std::string*>(out);
  if (body->size() + size * count > kMaxAnswer) return 0;
  body->append(data, size * count);
  return size * count;
}

// A request to the host only: no proxy, no redirect, loopback's own address.
Curl requestTo(const AnnouncedHost& host, const std::string& path, curl_slist* headers) {
  Curl curl(curl_easy_init());
  if (!curl) return curl;
  const std::string url = host.address + path;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, 3000L);
  curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers);
  return curl;
}

Headers headersFor(const AnnouncedHost& host, bool json) {
  curl_slist* list = curl_slist_append(nullptr, ("X-Lumorel-Token: " + host.token).c_str());
  if (json && list) list = curl_slist_append(list, "Content-Type: application/json");
  return Headers(list);
}

// Splits a stream of server-sent events into events as bytes come.
class EventParser {
 public:
  explicit EventParser(
      const std::function<void(const std::string&, const std::string&)>& onEvent)
      : onEvent_(onEvent) {}

  void feed(const char* data, std::size_t n) {
    buffer_.append(data, n);
    std::size_t end;
    while ((end = buffer_.find('\n')) != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) {
        if (!data_.empty() || !event_.empty()) onEvent_(event_.empty() ? "message" : event_, data_);
        event_.clear();
        data_.clear();
      } else if (line.rfind("event:", 0) == 0) {
        event_ = trimmed(line.substr(6));
      } else if (line.rfind("data:", 0) == 0) {
        if (!data_.empty()) data_.push_back('\n');
        data_ += trimmed(line.substr(5));
      }
    }
  }
  bool overflowing() const { return buffer_.size() + data_.size() > kMaxAnswer; }

 private:
  static std::string trimmed(std::string text) {
    if (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return text;
  }
  const std::function<void(const std::string&, const std::string&)>& onEvent_;
  std::string buffer_, event_, data_;
};

struct Following {
  EventParser parser;
  const std::function<bool()>& stop;
};

}  // namespace

RelayAnswer postToHost(const AnnouncedHost& host, const std::string& path, const std::string& json) {
  Headers headers = headersFor(host, true);
  Curl curl = requestTo(host, path, headers.get());
  RelayAnswer answer;
  if (!curl) return answer;
  curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, json.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(json.size()));
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 10000L);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer.body);
  if (curl_easy_perform(curl.get()) != CURLE_OK) return RelayAnswer{};
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &answer.status);
  return answer;
}

bool hostAnswers(const AnnouncedHost& host) {
  Headers headers = headersFor(host, false);
  Curl curl = requestTo(host, "/lm:logo.gif", headers.get());
  if (!curl) return false;
  curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 5000L);
  if (curl_easy_perform(curl.get()) != CURLE_OK) return false;
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  // A refusal means another program (or a later run) holds the port now.
  return status != 0 && status != 401 && status != 403;
}

bool followHostEvents(const AnnouncedHost& host, const std::string& path,
                      const std::function<void(const std::string&, const std::string&)>& onEvent,
                      const std::function<bool()>& stop) {
  Headers headers = headersFor(host, false);
  Curl curl = requestTo(host, path, headers.get());
  if (!curl) return false;
  Following following{EventParser(onEvent), stop};
  curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(
      curl.get(), CURLOPT_WRITEFUNCTION,
      +[](char* data, std::size_t size, std::size_t count, void* out) -> std::size_t {
        auto* f = static_cast<Following*>(out);
        f->parser.feed(data, size * count);
        return f->parser.overflowing() ? 0 : size * count;
      });
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &following);
  // The host writes a line at least every second; the check for the end
  // comes with it.
  curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION,
                   +[](void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) -> int {
                     return static_cast<Following*>(self)->stop() ? 1 : 0;
                   });
  curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &following);
  const CURLcode result = curl_easy_perform(curl.get());
  long status = 0;
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
  return status == 200 || result == CURLE_OK || result == CURLE_ABORTED_BY_CALLBACK;
}

}  // namespace lumorel
