// Turns an "lm:" URL into the content the handler serves: a page of the page
// set (served as it stands, or formatted with the URL's inserts), or a
// relayed download.
#ifndef LUMOREL_PROTOCOL_PAGE_PRODUCTION_H_
#define LUMOREL_PROTOCOL_PAGE_PRODUCTION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/hresult.h"
#include "platform/url_fetcher.h"

namespace lumorel {

class PageStore;

// The page of an empty name.
inline constexpr std::string_view kDefaultPageName = "about";

struct PageContent {
  // What the handler reports: kSOk for the plain form, kSFalse for the
  // parameter form; never a failure.
  HResult result = kSOk;
  // The page's bytes, borrowed from the page store; empty when there is no
  // page.
  std::string_view pageData;
  // The formatted page; when present it is served instead of pageData,
  // followed by one NUL byte.
  std::optional<std::string> formattedText;
  // The stream of a relayed download; null when nothing is relayed.
  std::unique_ptr<FetchStream> relay;
  // Where a relayed download may be written, decoded; empty for nowhere.
  std::string savePath;

  // How many bytes Read can give from the page (0 for a relayed download).
  uint32_t dataSize() const;
};

// The services production uses; borrowed, and outliving every call.
struct ProductionEnv {
  const PageStore& pages;
  UrlFetcher& fetcher;
};

// Produces the content of `urlText` (an "lm:" URL). Runs on the handler's
// worker; blocks while a relayed download starts. `aborted` is asked
// between the steps of a relay (and by the fetch while it waits): once it
// says true no stream is kept. Every failure (no such page, a template that
// cannot be formatted, an address that cannot be fetched) gives empty
// content with the success result.
//
// A name that no page has, or one longer than kMaxPageNameLength, gives no
// page. Inserts are filled only into a page the store marks as formatted;
// another page is served as it stands. Only http and https addresses are
// relayed; any other gives the empty document.
PageContent produceContent(std::string_view urlText, const ProductionEnv& env,
                           const CancelCheck& aborted);

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PAGE_PRODUCTION_H_
