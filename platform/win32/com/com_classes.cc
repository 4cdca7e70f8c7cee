#include "platform/win32/com/com_classes.h"

#include <array>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "platform/win32/com/enum_img_object.h"
#include "platform/win32/com/plug_prot_object.h"

namespace lumorel {

std::span<const ModuleClass> moduleClasses() {
  static const std::array<ModuleClass, 2> kClasses = {{
      {&CLSID_EnumImg, &createEnumImg, /*aggregatable=*/false},
      {&CLSID_PlugProt, &createPlugProt, /*aggregatable=*/true},
  }};
  return kClasses;
}

}  // namespace lumorel
