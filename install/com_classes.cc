#include "install/com_classes.h"

#include <array>

namespace lumorel {
namespace {

using H = KeyHandling;

constexpr std::array<std::string_view, 2> kEnumImgCategories = {kCatidSafeForScripting,
                                                                kCatidSafeForInitializing};

constexpr std::array<ComClass, 2> kClasses = {{
    {ComClassId::kEnumImg, "EnumImg", kEnumImgClsid, "EnumImg.EnumImg.1", "EnumImg.EnumImg",
     "Apartment", false, kEnumImgCategories},
    {ComClassId::kPlugProt, "PlugProt", kPlugProtClsid, "lm.1", "lm", "Both", true, {}},
}};

std::string joined(std::string_view a, std::string_view b) {
  std::string s(a);
  s += b;
  return s;
}

RegistrySection enumImgContent(std::string_view modulePath) {
  const std::string icon = joined(modulePath, ",-200");
  const std::string cls = joined("CLSID\\", kEnumImgClsid);
  return {RegistryRoot::kClassesRoot,
          {
              {"EnumImg.EnumImg.1", H::kReplaced, {defaultText("Lumorel")}},
              {"EnumImg.EnumImg.1\\CLSID", H::kInside, {defaultText(std::string(kEnumImgClsid))}},
              {"EnumImg.EnumImg.1\\DefaultIcon", H::kInside, {defaultText(icon)}},
              {"EnumImg.EnumImg", H::kReplaced, {defaultText("Lumorel")}},
              {"EnumImg.EnumImg\\CurVer", H::kInside, {defaultText("EnumImg.EnumImg.1")}},
              {"EnumImg.EnumImg\\DefaultIcon", H::kInside, {defaultText(icon)}},
              {"CLSID", H::kKept, {}},
              {cls, H::kReplaced, {defaultText("Lumorel")}},
              {cls + "\\ProgID", H::kInside, {defaultText("EnumImg.EnumImg.1")}},
              {cls + "\\VersionIndependentProgID", H::kInside, {defaultText("EnumImg.EnumImg")}},
              {cls + "\\Programmable", H::kInside, {}},
              {cls + "\\InprocServer32", H::kInside,
               {defaultText(std::string(modulePath)), namedText("ThreadingModel", "Apartment")}},
              {cls + "\\Control", H::kInside, {}},
              {cls + "\\ToolboxBitmap32", H::kInside, {defaultText(joined(modulePath, ", 1"))}},
              {cls + "\\MiscStatus", H::kInside, {defaultText("0")}},
              {cls + "\\MiscStatus\\1", H::kInside, {defaultText("131473")}},
              {cls + "\\TypeLib", H::kInside, {defaultText(std::string(kLibId))}},
              {cls + "\\Version", H::kInside, {defaultText("1.4")}},
          }};
}

std::vector<RegistrySection> plugProtContent(std::string_view modulePath) {
  const std::string icon = joined(modulePath, ",-200");
  const std::string clsid(kPlugProtClsid);
  const std::string cls = joined("CLSID\\", kPlugProtClsid);
  RegistrySection main{
      RegistryRoot::kClassesRoot,
      {
          {"lm.1", H::kReplaced, {defaultText("Lumorel")}},
          {"lm.1\\CLSID", H::kInside, {defaultText(clsid)}},
          {"lm.1\\CurVer", H::kInside, {defaultText("lm.1")}},
          {"lm.1\\DefaultIcon", H::kInside, {defaultText(icon)}},
          {"lm", H::kReplaced,
           {defaultText("URL:Lumorel Protocol"), namedText("Source Filter", clsid),
            namedText("URL Protocol", "")}},
          {"lm\\CLSID", H::kInside, {defaultText(clsid)}},
          {"lm\\CurVer", H::kInside, {defaultText("lm.1")}},
          {"lm\\DefaultIcon", H::kInside, {defaultText(icon)}},
          {"lm\\Extensions\\.IVF", H::kInside,
           {defaultText("{C69E8F40-D5C8-11D0-A520-145405C10000}")}},
          {"lm\\shell\\open\\command", H::kInside, {defaultText("iexplore.exe -nohome")}},
          {"lm\\shell\\open\\ddeexec", H::kInside, {defaultText("\"%1\",,-1,0,,,,")}},
          {"lm\\shell\\open\\ddeexec\\Application", H::kInside, {defaultText("IExplore")}},
          {"lm\\shell\\open\\ddeexec\\Topic", H::kInside, {defaultText("WWW_OpenURL")}},
          {"CLSID", H::kKept, {}},
          {cls, H::kReplaced, {defaultText("lm PlugProt")}},
          {cls + "\\ProgID", H::kInside, {defaultText("lm.1")}},
          {cls + "\\VersionIndependentProgID", H::kInside, {defaultText("lm")}},
          {cls + "\\InprocServer32", H::kInside,
           {defaultText(std::string(modulePath)), namedText("ThreadingModel", "Both")}},
          {".url", H::kKept, {}},
          {".url\\ShellEx", H::kKept, {}},
          {".url\\ShellEx\\" + clsid, H::kReplaced,
           {defaultText("{FBF23B40-E3F0-101B-8488-00AA003E56F8}")}},
          {"PROTOCOLS", H::kKept, {}},
          {"PROTOCOLS\\Handler", H::kKept, {}},
          {"PROTOCOLS\\Handler\\lm", H::kReplaced,
           {defaultText("LM: Async Pluggable Protocol for Lumorel"), namedText("CLSID", clsid),
            namedNumber("SupportsNoUI", 1)}},
          {"TypeLib", H::kKept, {}},
      }};
  // Emptied of every earlier version and locale; the type library's own
  // registration writes it anew.
  RegistrySection typeLibrary{RegistryRoot::kClassesRoot,
                              {{joined("TypeLib\\", kLibId), H::kReplaced, {}}}};
  return {std::move(main), std::move(typeLibrary)};
}

}  // namespace

std::span<const ComClass> comClasses() { return kClasses; }

std::vector<RegistrySection> registryContent(ComClassId cls, std::string_view modulePath) {
  if (cls == ComClassId::kEnumImg) return {enumImgContent(modulePath)};
  return plugProtContent(modulePath);
}

}  // namespace lumorel
