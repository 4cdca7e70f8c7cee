#include "install/com_registration.h"

#include <algorithm>
#include <array>
#include <string>

#include "install/com_classes.h"
#include "install/registry_content.h"

namespace lumorel {
namespace {

// The locale of the category descriptions: US English.
constexpr uint32_t kDescriptionLocale = 0x0409;
// A category description fills a field of 128 UTF-16 units with its NUL.
constexpr std::size_t kMaxDescription = 127;

HResult registerCategories(ComServices& com, const ComClass& cls) {
  if (cls.implementedCategories.empty()) return kSOk;
  auto manager = com.categoryManager();
  if (!manager) return kSOk;
  for (std::string_view catid : cls.implementedCategories) {
    const HResult hr = manager->registerClassImplCategory(cls.clsid, catid);
    if (hr != kSOk) return hr;
  }
  return kSOk;
}

}  // namespace

HResult registerComServer(Registry& registry, ComServices& com, std::string_view modulePath) {
  for (const ComClass& cls : comClasses()) {
    for (const RegistrySection& section : registryContent(cls.id, modulePath)) {
      const HResult hr = writeSection(registry, section);
      if (hr != kSOk) return hr;
    }
    const HResult hr = registerCategories(com, cls);
    if (hr != kSOk) return hr;
  }
  return com.registerTypeLibrary(modulePath);
}

HResult registerSafetyCategories(ComServices& com) {
  struct Category {
    std::string_view catid;
    std::string_view description;
  };
  static constexpr std::array<Category, 2> kCategories = {{
      {kCatidSafeForInitializing, "Controls safely initializable from persistent data!"},
      {kCatidSafeForScripting, "Controls safely scriptable!"},
  }};
  for (const Category& category : kCategories) {
    auto manager = com.categoryManager();
    if (!manager) return kEFail;
    // The descriptions are ASCII, so each byte is one UTF-16 unit.
    const std::size_t n = std::min(category.description.size(), kMaxDescription);
    const std::u16string description(category.description.begin(),
                                     category.description.begin() + static_cast<std::ptrdiff_t>(n));
    const HResult hr = manager->registerCategory(category.catid, kDescriptionLocale, description);
    if (hr != kSOk) return hr;
  }
  return kSOk;
}

void unregisterComServer(Registry& registry, ComServices& com) {
  for (const ComClass& cls : comClasses()) {
    // The module path appears only in values, never in key names.
    for (const RegistrySection& section : registryContent(cls.id, "")) {
      removeSection(registry, section);
    }
    if (cls.implementedCategories.empty()) continue;
    if (auto manager = com.categoryManager()) {
      for (std::string_view catid : cls.implementedCategories) {
        (void)manager->unregisterClassImplCategory(cls.clsid, catid);
      }
    }
  }
}

}  // namespace lumorel
