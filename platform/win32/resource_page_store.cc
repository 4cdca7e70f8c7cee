#include "platform/win32/resource_page_store.h"

#include <cstring>

#include "resources/page_resources.h"
#include "resources/resource_ids.h"

namespace lumorel {
namespace {

// The longest name a page may have, as the URL scanner limits it.
constexpr std::size_t kMaxPageName = 255;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '-';
}

// Writes `name` in upper case, NUL-terminated, into `out`; false for a name
// that is not a plain resource name.
bool toResourceName(std::string_view name, char (&out)[kMaxPageName + 1]) {
  if (name.empty() || name.size() > kMaxPageName) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!isNameCharacter(name[i])) return false;
    out[i] = upper(name[i]);
  }
  out[name.size()] = '\0';
  return true;
}

bool isFormatted(const char* resourceName) {
  for (std::size_t i = 0; i < kPageResourceCount; ++i)
    if (std::strcmp(kPageResources[i].name, resourceName) == 0) return kPageResources[i].formatted;
  return false;
}

}  // namespace

std::optional<StoredPage> ResourcePageStore::find(std::string_view name) const {
  char resourceName[kMaxPageName + 1];
  if (!toResourceName(name, resourceName)) return std::nullopt;
  HRSRC found = FindResourceA(module_, resourceName, MAKEINTRESOURCEA(LUMOREL_RT_PAGE));
  if (found == nullptr) return std::nullopt;
  // A loaded resource stays mapped with its module; nothing to free.
  HGLOBAL loaded = LoadResource(module_, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return StoredPage{{static_cast<const char*>(bytes), SizeofResource(module_, found)},
                    isFormatted(resourceName)};
}

}  // namespace lumorel
