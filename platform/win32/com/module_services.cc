#include "platform/win32/com/module_services.h"

#include "platform/win32/com/module.h"
#include "platform/win32/moniker_url_fetcher.h"
#include "platform/win32/resource_page_store.h"

namespace lumorel {

const PageStore& modulePages() {
  static const ResourcePageStore pages(Module::instance());
  return pages;
}

UrlFetcher& moduleUrlFetcher() {
  static MonikerUrlFetcher fetcher;
  return fetcher;
}

}  // namespace lumorel
