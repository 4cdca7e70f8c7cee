// The component categories manager and type-library registration of
// Windows behind the installation's ComServices interface.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_COM_SERVICES_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_COM_SERVICES_H_

#include "platform/com_services.h"

namespace lumorel {

// Call on a thread that has initialised COM; without it no category manager
// can be made.
class Win32ComServices final : public ComServices {
 public:
  std::unique_ptr<CategoryManager> categoryManager() override;
  HResult registerTypeLibrary(std::string_view modulePath) override;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_COM_SERVICES_H_
