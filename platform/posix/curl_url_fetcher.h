// Downloads over http and https with libcurl.
#ifndef LUMOREL_PLATFORM_POSIX_CURL_URL_FETCHER_H_
#define LUMOREL_PLATFORM_POSIX_CURL_URL_FETCHER_H_

#include <cstdint>

#include "platform/url_fetcher.h"

namespace lumorel {

struct CurlFetchLimits {
  // How long a connection may take to open.
  uint32_t connectTimeoutMs = 15000;
  // How long a whole download may take, from the start of the fetch to its
  // last byte, whether or not the reader keeps up.
  uint32_t totalTimeoutMs = 300000;
};

// Only http and https are fetched, redirects included (at most five, and
// only to http or https). An error answer of the server (status 400 and
// up) is a failed fetch, not a body. No signals are used, so any thread may
// fetch. The body is pulled from the network only as the stream is read,
// so a reader that stops also stops the download.
class CurlUrlFetcher final : public UrlFetcher {
 public:
  explicit CurlUrlFetcher(CurlFetchLimits limits = {});
  std::unique_ptr<FetchStream> fetch(std::string_view url, CancelCheck cancelled) override;

 private:
  const CurlFetchLimits limits_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_CURL_URL_FETCHER_H_
