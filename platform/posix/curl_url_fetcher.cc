#include "platform/posix/curl_url_fetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/posix/web_address.h"

namespace lumorel {
namespace {

// How long one wait for the network lasts before the cancel check is asked
// again.
constexpr int kPollSliceMs = 50;

// One transfer on a multi handle of its own, driven by whoever reads.
class CurlStream final : public FetchStream {
 public:
  explicit CurlStream(CancelCheck cancelled) : cancelled_(std::move(cancelled)) {}

  ~CurlStream() override {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
  }

  CurlStream(const CurlStream&) = delete;
  CurlStream& operator=(const CurlStream&) = delete;

  // Sets the transfer up; false when libcurl refuses any part of it.
  bool open(const std::string& url, const CurlFetchLimits& limits) {
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) return false;
    bool ok = curl_easy_setopt(easy_, CURLOPT_URL, url.c_str()) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                               static_cast<long>(limits.connectTimeoutMs)) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS,
                               static_cast<long>(limits.totalTimeoutMs)) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlStream::onData) == CURLE_OK &&
              curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this) == CURLE_OK;
    attached_ = ok && curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    return attached_;
  }

  // Drives the transfer until its body begins or it ends; false when it
  // failed before any byte came.
  bool waitForBody() {
    while (pending_.size() == taken_ && !done_) pump();
    return pending_.size() > taken_ || result_ == CURLE_OK;
  }

  std::optional<std::size_t> read(char* buffer, std::size_t n) override {
    if (n == 0) return 0;
    while (pending_.size() == taken_) {
      if (done_) {
        if (result_ != CURLE_OK) return std::nullopt;
        return 0;
      }
      pump();
    }
    std::size_t take = std::min(n, pending_.size() - taken_);
    if (take > 0) std::memcpy(buffer, pending_.data() + taken_, take);
    taken_ += take;
    if (taken_ == pending_.size()) {
      pending_.clear();
      taken_ = 0;
    }
    return take;
  }

 private:
  static size_t onData(char* data, size_t size, size_t count, void* self) {
    static_cast<CurlStream*>(self)->pending_.append(data, size * count);
    return size * count;
  }

  // One wait for the network and one step of the transfer; a transfer that
  // ends, fails or is cancelled sets done_.
  void pump() {
    if (cancelled_ && cancelled_()) {
      // The transfer leaves the multi handle now, which closes its
      // connection, rather than when the stream goes.
      curl_multi_remove_handle(multi_, easy_);
      attached_ = false;
      done_ = true;
      result_ = CURLE_ABORTED_BY_CALLBACK;
      return;
    }
    int running = 0;
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      done_ = true;
      result_ = CURLE_FAILED_INIT;
      return;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
      if (msg->msg == CURLMSG_DONE) {
        done_ = true;
        result_ = msg->data.result;
      }
    }
    // Nothing new yet: wait for the network (or a time-out of libcurl's own)
    // at most one slice, so the cancel check is asked again soon.
    if (!done_ && pending_.size() == taken_)
      curl_multi_poll(multi_, nullptr, 0, kPollSliceMs, nullptr);
  }

  const CancelCheck cancelled_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  // Bytes received and not read yet start at pending_[taken_].
  std::string pending_;
  std::size_t taken_ = 0;
  bool attached_ = false;  // easy_ is in multi_
  bool done_ = false;
  CURLcode result_ = CURLE_OK;
};


}  // namespace

CurlUrlFetcher::CurlUrlFetcher(CurlFetchLimits limits) : limits_(limits) {
  // libcurl's global set-up is not safe against other threads: once, here.
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::unique_ptr<FetchStream> CurlUrlFetcher::fetch(std::string_view url, CancelCheck cancelled) {
  // libcurl would take an address without a scheme as http; here it is
  // refused.
  if (url.find('\0') != std::string_view::npos || !hasWebScheme(url)) return nullptr;
  auto stream = std::make_unique<CurlStream>(std::move(cancelled));
  if (!stream->open(std::string(url), limits_) || !stream->waitForBody()) return nullptr;
  return stream;
}

}  // namespace lumorel
