// The page set as the module carries it: RT_HTML resources of a module,
// found by name.
#ifndef LUMOREL_PLATFORM_WIN32_RESOURCE_PAGE_STORE_H_
#define LUMOREL_PLATFORM_WIN32_RESOURCE_PAGE_STORE_H_

#include <windows.h>

#include <optional>
#include <string_view>

#include "platform/page_store.h"

namespace lumorel {

// A PageStore over the RT_HTML (type 23) resources of one module. A page is
// the resource whose name is the page's name in upper case ("lm:logo.gif"
// finds LOGO.GIF); it is formatted when the page folder had it as
// "NAME.formatted.htm". The bytes are the resource's own, not copied: they
// live as long as the module stays loaded.
//
// Only plain names are looked up: 1 to 255 ASCII letters, digits, '_', '.'
// and '-', as the page folder's file names give them. Any other name (one
// with '\' or '/', a "#123" that the platform would read as a number, an
// empty one) finds nothing.
//
// Thread-safe: find() from any thread, concurrently.
class ResourcePageStore final : public PageStore {
 public:
  // `module` is borrowed; it must stay loaded while the store is used.
  explicit ResourcePageStore(HMODULE module) : module_(module) {}

  std::optional<StoredPage> find(std::string_view name) const override;

 private:
  const HMODULE module_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_RESOURCE_PAGE_STORE_H_
