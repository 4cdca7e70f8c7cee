#include "pages/store/built_in_pages.h"

#include "page_set.h"

namespace lumorel {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view stored, std::string_view asked) {
  if (stored.size() != asked.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i)
    if (stored[i] != lower(asked[i])) return false;
  return true;
}

class BuiltInPages final : public PageStore {
 public:
  std::optional<StoredPage> find(std::string_view name) const override {
    for (std::size_t i = 0; i < kPageSetSize; ++i) {
      const PageSetEntry& entry = kPageSet[i];
      if (sameName(entry.name, name))
        return StoredPage{{reinterpret_cast<const char*>(entry.bytes), entry.size},
                          entry.formatted};
    }
    return std::nullopt;
  }
};

}  // namespace

const PageStore& builtInPages() {
  static const BuiltInPages pages;
  return pages;
}

std::vector<std::string_view> builtInPageNames() {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < kPageSetSize; ++i) names.emplace_back(kPageSet[i].name);
  return names;
}

}  // namespace lumorel
