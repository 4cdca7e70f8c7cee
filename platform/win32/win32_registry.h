// The registry of Windows behind the installation's Registry interface.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_REGISTRY_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_REGISTRY_H_

#include "platform/registry.h"

namespace lumorel {

// Failures are the system's error codes as HRESULTs (HRESULT_FROM_WIN32).
class Win32Registry final : public Registry {
 public:
  HResult createKey(RegistryRoot root, std::string_view path) override;
  HResult setText(RegistryRoot root, std::string_view path, std::string_view name,
                  std::string_view value) override;
  HResult setNumber(RegistryRoot root, std::string_view path, std::string_view name,
                    uint32_t value) override;
  HResult setBytes(RegistryRoot root, std::string_view path, std::string_view name,
                   std::string_view bytes) override;
  HResult deleteTree(RegistryRoot root, std::string_view path) override;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_REGISTRY_H_
