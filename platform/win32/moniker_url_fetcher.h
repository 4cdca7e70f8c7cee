// Downloads over http and https through the system's URL monikers.
#ifndef LUMOREL_PLATFORM_WIN32_MONIKER_URL_FETCHER_H_
#define LUMOREL_PLATFORM_WIN32_MONIKER_URL_FETCHER_H_

#include <cstdint>

#include "platform/url_fetcher.h"

namespace lumorel {

struct MonikerFetchLimits {
  // How long a whole download may take, from the start of the fetch to its
  // last byte, whether or not the reader keeps up.
  uint32_t totalTimeoutMs = 300000;
};

// Only http and https are fetched (their scheme in any case); a redirect to
// any other scheme fails the download. An error answer of the server
// (status 400 and up) is a failed fetch, not a body.
//
// Each fetch binds a URL moniker to a stream on a download thread of its
// own, in the multi-threaded apartment, with a bind status callback of its
// own that hands the bytes over as they arrive. The fetching thread only
// waits for them, without messages, and asks the cancel check every
// kPollSliceMs; a cancelled or abandoned download is told to stop at the
// next notification, and its thread runs on to its end by itself, so the
// caller never waits for the network to give up. At most kMaxPendingBytes
// wait for the reader; beyond that the download waits for the reader.
class MonikerUrlFetcher final : public UrlFetcher {
 public:
  static constexpr uint32_t kPollSliceMs = 50;
  static constexpr std::size_t kMaxPendingBytes = 1 << 20;

  explicit MonikerUrlFetcher(MonikerFetchLimits limits = {});
  std::unique_ptr<FetchStream> fetch(std::string_view url, CancelCheck cancelled) override;

 private:
  const MonikerFetchLimits limits_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_MONIKER_URL_FETCHER_H_
