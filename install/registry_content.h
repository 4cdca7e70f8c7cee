// Registry content as data: keys with their values and how registration and
// unregistration treat each, so what a class writes can be built and checked
// anywhere and only the writing needs the system's registry.
#ifndef LUMOREL_INSTALL_REGISTRY_CONTENT_H_
#define LUMOREL_INSTALL_REGISTRY_CONTENT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/registry.h"

namespace lumorel {

struct RegistryValue {
  std::string name;  // empty: the key's default value
  enum class Type { kText, kNumber, kBytes } type = Type::kText;
  std::string text;  // the text, or the bytes
  uint32_t number = 0;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// How a key is treated.
enum class KeyHandling {
  // Registration deletes it with everything below it, then writes it anew;
  // unregistration deletes it.
  kReplaced,
  // Opened, or created when missing; never deleted.
  kKept,
  // Below a replaced key: written with it, deleted with it.
  kInside,
};

struct RegistryKey {
  std::string path;
  KeyHandling handling;
  std::vector<RegistryValue> values;  // in writing order

  friend bool operator==(const RegistryKey&, const RegistryKey&) = default;
};

// Keys written together: a failure inside a section removes the section's
// replaced keys again before it is reported.
struct RegistrySection {
  RegistryRoot root = RegistryRoot::kClassesRoot;
  std::vector<RegistryKey> keys;  // in writing order; a key after its parent
};

// Writes `section`: each replaced key deleted and created anew, each kept
// key opened or created, each key's values set. On the first failure the
// section's replaced keys are deleted again (failures of that ignored) and
// the failure's code returned.
[[nodiscard]] HResult writeSection(Registry& registry, const RegistrySection& section);

// Deletes the section's replaced keys, last first; kept keys stay. Failures
// are ignored.
void removeSection(Registry& registry, const RegistrySection& section);

// Small builders for the tables.
RegistryValue defaultText(std::string text);
RegistryValue namedText(std::string name, std::string text);
RegistryValue namedNumber(std::string name, uint32_t number);
RegistryValue namedBytes(std::string name, std::string bytes);

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_REGISTRY_CONTENT_H_
