#include "protocol/page_production.h"

#include <array>

#include "catalogue/picture_name.h"
#include "platform/page_store.h"
#include "protocol/page_formatter.h"
#include "protocol/page_request.h"
#include "protocol/save_path.h"

namespace lumorel {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && endsWithNoCase(text.substr(0, prefix.size()), prefix);
}

// Starts the download of `src`, keeping the stream unless the handler was
// aborted meanwhile.
void relay(const PageRequest& request, const ProductionEnv& env, const CancelCheck& aborted,
           PageContent& content) {
  if (!request.save.empty()) {
    if (std::optional<std::string> path = decodeSavePath(request.save)) {
      content.savePath = std::move(*path);
    }
  }
  if (!startsWithNoCase(request.src, "http:") && !startsWithNoCase(request.src, "https:")) return;
  if (aborted()) return;
  content.relay = env.fetcher.fetch(request.src, aborted);
  if (aborted()) content.relay.reset();
}

}  // namespace

uint32_t PageContent::dataSize() const {
  if (formattedText) return static_cast<uint32_t>(formattedText->size() + 1);
  return static_cast<uint32_t>(pageData.size());
}

PageContent produceContent(std::string_view urlText, const ProductionEnv& env,
                           const CancelCheck& aborted) {
  PageRequest request = parsePageRequest(urlText);
  PageContent content;
  content.result = request.parameterForm ? kSFalse : kSOk;

  if (!request.src.empty()) {
    relay(request, env, aborted, content);
    return content;
  }
  std::string_view name = request.pageName.empty() ? kDefaultPageName : request.pageName;
  if (name.size() > kMaxPageNameLength) return content;
  std::optional<StoredPage> page = env.pages.find(name);
  if (!page) return content;
  content.pageData = page->bytes;
  if (request.formatted) {
    std::array<std::string_view, 4> inserts;
    for (std::size_t i = 0; i < inserts.size(); ++i) {
      inserts[i] = request.inserts[i] ? std::string_view(*request.inserts[i]) : " ";
    }
    content.formattedText = formatPage(page->bytes, inserts);
    // A template that cannot be formatted is served as nothing rather than
    // with its inserts unfilled.
    if (!content.formattedText) content.pageData = {};
  }
  return content;
}

}  // namespace lumorel
