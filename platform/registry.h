// The system's registry as the installation writes it: keys by path below a
// root, with text and number values. Where a system has no registry, the
// installation has nothing to write.
#ifndef LUMOREL_PLATFORM_REGISTRY_H_
#define LUMOREL_PLATFORM_REGISTRY_H_

#include <cstdint>
#include <string_view>

#include "platform/hresult.h"

namespace lumorel {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine };

// Paths are backslash-separated key names below the root, 8-bit text in the
// system code page; key names compare without regard to case. A value name
// that is empty names the key's default value. Every operation returns the
// system's failure code (an HRESULT) or kSOk. One caller at a time.
class Registry {
 public:
  virtual ~Registry() = default;

  // Opens the key, creating it and every missing key above it.
  [[nodiscard]] virtual HResult createKey(RegistryRoot root, std::string_view path) = 0;

  // Sets a text value (REG_SZ) of an existing key.
  [[nodiscard]] virtual HResult setText(RegistryRoot root, std::string_view path,
                                        std::string_view name, std::string_view value) = 0;

  // Sets a 32-bit number value (REG_DWORD) of an existing key.
  [[nodiscard]] virtual HResult setNumber(RegistryRoot root, std::string_view path,
                                          std::string_view name, uint32_t value) = 0;

  // Sets a value of raw bytes (REG_BINARY) of an existing key.
  [[nodiscard]] virtual HResult setBytes(RegistryRoot root, std::string_view path,
                                         std::string_view name, std::string_view bytes) = 0;

  // Deletes the key with all its subkeys and values. kSOk also when there
  // was no such key.
  [[nodiscard]] virtual HResult deleteTree(RegistryRoot root, std::string_view path) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_REGISTRY_H_
