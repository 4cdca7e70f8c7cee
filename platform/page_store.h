// The page set the engine serves under "lm:": pages and their pictures, each
// found by its name.
#ifndef LUMOREL_PLATFORM_PAGE_STORE_H_
#define LUMOREL_PLATFORM_PAGE_STORE_H_

#include <optional>
#include <string_view>

namespace lumorel {

// One page or picture of the set.
struct StoredPage {
  // The page's bytes, owned by the store and valid as long as it lives.
  std::string_view bytes;
  // True for a page written to take the inserts of an "lm:" URL (a formatted
  // page): each "%1" to "%4" in it stands inside a script string literal.
  // Any page is formatted when its address gives inserts; the other pages
  // hold no "%1" to "%4", so there an insert has nowhere to go.
  bool formatted = false;
};

class PageStore {
 public:
  virtual ~PageStore() = default;

  // The page named `name`, ASCII letters compared without case; nullopt when
  // the set has none. Any thread, concurrently.
  virtual std::optional<StoredPage> find(std::string_view name) const = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_PAGE_STORE_H_
