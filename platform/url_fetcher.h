// Downloads of web addresses, given as a stream while they arrive.
#ifndef LUMOREL_PLATFORM_URL_FETCHER_H_
#define LUMOREL_PLATFORM_URL_FETCHER_H_

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace lumorel {

// Asked now and then while a fetch or a read waits for the network; true
// stops the wait early (the download then counts as failed). Must be cheap
// and callable from the fetching thread.
using CancelCheck = std::function<bool()>;

// The body of one download, in order. Owned by the caller of fetch; one
// thread at a time.
class FetchStream {
 public:
  virtual ~FetchStream() = default;

  // Reads up to `n` bytes into `buffer`, waiting until at least one byte, the
  // end or a failure comes. Returns how many were read, 0 at the end, or
  // nullopt when the download failed (network error, time-out, cancelled).
  // A read of 0 bytes gives 0 at once.
  virtual std::optional<std::size_t> read(char* buffer, std::size_t n) = 0;
};

class UrlFetcher {
 public:
  virtual ~UrlFetcher() = default;

  // Starts downloading `url` and waits until its body begins (or the whole,
  // empty, body has come). Returns null when the address cannot be fetched:
  // a scheme the fetcher does not serve, a refused or timed-out connection,
  // an error answer of the server, or `cancelled` said so. `cancelled` is
  // kept by the stream and asked again while it reads; it must stay
  // callable as long as the stream lives. Any thread.
  virtual std::unique_ptr<FetchStream> fetch(std::string_view url, CancelCheck cancelled) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_URL_FETCHER_H_
