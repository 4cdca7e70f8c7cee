// A fetcher that also gives up when a condition of its user's says so: the
// browser host ties a relayed download to the connection that asked for it.
#ifndef LUMOREL_HOST_CANCELLABLE_FETCHER_H_
#define LUMOREL_HOST_CANCELLABLE_FETCHER_H_

#include <memory>
#include <string_view>
#include <utility>

#include "platform/url_fetcher.h"

namespace lumorel {

// Forwards to `inner` (borrowed, outliving every stream it gives), with a
// cancel check that is true when the caller's is or `alsoWhen` is. Both
// are asked on the fetching thread, as UrlFetcher says.
class CancellableFetcher final : public UrlFetcher {
 public:
  CancellableFetcher(UrlFetcher& inner, CancelCheck alsoWhen)
      : inner_(inner), alsoWhen_(std::move(alsoWhen)) {}

  std::unique_ptr<FetchStream> fetch(std::string_view url, CancelCheck cancelled) override {
    return inner_.fetch(url, [cancelled = std::move(cancelled), alsoWhen = alsoWhen_] {
      return (cancelled && cancelled()) || alsoWhen();
    });
  }

 private:
  UrlFetcher& inner_;
  const CancelCheck alsoWhen_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_CANCELLABLE_FETCHER_H_
