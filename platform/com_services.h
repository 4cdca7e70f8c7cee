// What registering a COM server needs of the system besides the registry:
// the component categories manager and the type-library registration.
#ifndef LUMOREL_PLATFORM_COM_SERVICES_H_
#define LUMOREL_PLATFORM_COM_SERVICES_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/hresult.h"

namespace lumorel {

// GUIDs are given in their registry form, "{XXXXXXXX-XXXX-...}".
class CategoryManager {
 public:
  virtual ~CategoryManager() = default;

  // Records that the class `clsid` implements the category `catid`.
  [[nodiscard]] virtual HResult registerClassImplCategory(std::string_view clsid,
                                                          std::string_view catid) = 0;
  // Takes that record back.
  [[nodiscard]] virtual HResult unregisterClassImplCategory(std::string_view clsid,
                                                            std::string_view catid) = 0;
  // Registers the category `catid` with its description in `locale`.
  // `description` is UTF-16, at most 127 units.
  [[nodiscard]] virtual HResult registerCategory(std::string_view catid, uint32_t locale,
                                                 std::u16string_view description) = 0;
};

class ComServices {
 public:
  virtual ~ComServices() = default;

  // A new component categories manager; null when none can be made (no
  // such manager on the system, or COM not initialised on this thread).
  virtual std::unique_ptr<CategoryManager> categoryManager() = 0;

  // Loads the type library of the module at `modulePath` from its own
  // resources (or, failing that, from the module's path with the extension
  // ".tlb") and registers it, with the module's folder as its help folder.
  [[nodiscard]] virtual HResult registerTypeLibrary(std::string_view modulePath) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_COM_SERVICES_H_
