// The module's class table as COM sees it: each class's CLSID, how an
// instance is made, and whether it may be aggregated. In the order of the
// installation's class table (install/com_classes.h).
#ifndef LUMOREL_PLATFORM_WIN32_COM_COM_CLASSES_H_
#define LUMOREL_PLATFORM_WIN32_COM_COM_CLASSES_H_

#include <windows.h>

#include <span>

#include "platform/win32/com/class_factory.h"

namespace lumorel {

struct ModuleClass {
  const CLSID* clsid;
  CreateInstanceFn create;
  bool aggregatable;
};

std::span<const ModuleClass> moduleClasses();

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_COM_CLASSES_H_
