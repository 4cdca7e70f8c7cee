// The module's two COM classes and the type library, as data: identifiers,
// ProgIDs, threading, aggregation, categories, and the registry content each
// class writes with the module's path filled in.
#ifndef LUMOREL_INSTALL_COM_CLASSES_H_
#define LUMOREL_INSTALL_COM_CLASSES_H_

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "install/registry_content.h"

namespace lumorel {

inline constexpr std::string_view kLibId = "{5A3E9D10-2C4B-4E7F-8A61-0D2F4B7C9E01}";
inline constexpr std::string_view kEnumImgClsid = "{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}";
inline constexpr std::string_view kIEnumImgIid = "{5A3E9D12-2C4B-4E7F-8A61-0D2F4B7C9E01}";
inline constexpr std::string_view kEnumImgEventsIid = "{5A3E9D13-2C4B-4E7F-8A61-0D2F4B7C9E01}";
inline constexpr std::string_view kPlugProtClsid = "{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}";
inline constexpr std::string_view kIPTPlugProtIid = "{5A3E9D15-2C4B-4E7F-8A61-0D2F4B7C9E01}";

inline constexpr std::string_view kCatidSafeForScripting = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
inline constexpr std::string_view kCatidSafeForInitializing =
    "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

enum class ComClassId { kEnumImg, kPlugProt };

struct ComClass {
  ComClassId id;
  std::string_view name;
  std::string_view clsid;
  std::string_view progId;
  std::string_view versionIndependentProgId;
  std::string_view threadingModel;
  bool aggregatable;
  std::span<const std::string_view> implementedCategories;
};

// The class table, in the order of registration and unregistration:
// EnumImg, then PlugProt.
std::span<const ComClass> comClasses();

// The registry content of `cls` for the module at `modulePath`, as the
// sections it is written in: EnumImg's is one section, PlugProt's two (all
// but the type library's key, then that key).
std::vector<RegistrySection> registryContent(ComClassId cls, std::string_view modulePath);

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_COM_CLASSES_H_
