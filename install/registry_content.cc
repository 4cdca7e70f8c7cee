#include "install/registry_content.h"

namespace lumorel {

HResult writeSection(Registry& registry, const RegistrySection& section) {
  HResult hr = kSOk;
  for (const RegistryKey& key : section.keys) {
    if (key.handling == KeyHandling::kReplaced) {
      hr = registry.deleteTree(section.root, key.path);
      if (hr != kSOk) break;
    }
    hr = registry.createKey(section.root, key.path);
    if (hr != kSOk) break;
    for (const RegistryValue& value : key.values) {
      switch (value.type) {
        case RegistryValue::Type::kText:
          hr = registry.setText(section.root, key.path, value.name, value.text);
          break;
        case RegistryValue::Type::kNumber:
          hr = registry.setNumber(section.root, key.path, value.name, value.number);
          break;
        case RegistryValue::Type::kBytes:
          hr = registry.setBytes(section.root, key.path, value.name, value.text);
          break;
      }
      if (hr != kSOk) break;
    }
    if (hr != kSOk) break;
  }
  if (hr != kSOk) removeSection(registry, section);
  return hr;
}

void removeSection(Registry& registry, const RegistrySection& section) {
  for (auto it = section.keys.rbegin(); it != section.keys.rend(); ++it) {
    if (it->handling == KeyHandling::kReplaced) {
      (void)registry.deleteTree(section.root, it->path);
    }
  }
}

RegistryValue defaultText(std::string text) { return {"", RegistryValue::Type::kText, std::move(text)}; }

RegistryValue namedText(std::string name, std::string text) {
  return {std::move(name), RegistryValue::Type::kText, std::move(text)};
}

RegistryValue namedNumber(std::string name, uint32_t number) {
  return {std::move(name), RegistryValue::Type::kNumber, "", number};
}

RegistryValue namedBytes(std::string name, std::string bytes) {
  return {std::move(name), RegistryValue::Type::kBytes, std::move(bytes)};
}

}  // namespace lumorel
