// What registering the module leaves in the registry, read back through
// the system's registry, against the installation's own tables.
#include <windows.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "install/com_classes.h"
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

std::set<std::string> folded(const std::vector<std::string>& names) {
  std::set<std::string> out;
  for (std::string name : names) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    out.insert(name);
  }
  return out;
}

// Every key of both classes' tables is there with exactly its values, of
// their types.
void expectTables(const std::string& module) {
  for (const ComClass& cls : comClasses()) {
    for (const RegistrySection& section : registryContent(cls.id, module)) {
      for (const RegistryKey& key : section.keys) {
        SCOPED_TRACE(key.path);
        ASSERT_TRUE(keyExists(HKEY_CLASSES_ROOT, key.path));
        std::vector<std::string> listed;
        for (const RegistryValue& value : key.values) {
          listed.push_back(value.name);
          // The desktop integration points the scheme at the browser
          // (tests/wine/desktop_test.cc).
          if (key.path == "lm\\shell\\open\\command") continue;
          const auto got = readValue(HKEY_CLASSES_ROOT, key.path, value.name);
          ASSERT_TRUE(got) << "value '" << value.name << "'";
          if (value.type == RegistryValue::Type::kNumber) {
            EXPECT_EQ(got->type, static_cast<DWORD>(REG_DWORD)) << value.name;
            EXPECT_EQ(got->number, value.number) << value.name;
          } else {
            EXPECT_EQ(got->type, static_cast<DWORD>(REG_SZ)) << value.name;
            EXPECT_EQ(got->text, value.text) << value.name;
          }
        }
        // A key we write whole holds nothing else (the type library's key
        // is written by the type library's registration).
        if (key.handling != KeyHandling::kKept && key.path.rfind("TypeLib\\", 0) != 0) {
          EXPECT_EQ(folded(valueNames(HKEY_CLASSES_ROOT, key.path)), folded(listed));
        }
      }
    }
  }
}

TEST(Registration, WritesBothClassesTables) { expectTables(modulePath()); }

TEST(Registration, RegistersTheTypeLibraryOnlyAsVersionOneZero) {
  const std::string key = "TypeLib\\" + std::string(kLibId);
  EXPECT_EQ(subkeyNames(HKEY_CLASSES_ROOT, key), std::vector<std::string>{"1.0"});
  // The module's own platform: 32-bit Windows, or 64-bit for the x86_64 build.
  const std::string platform = sizeof(void*) == 8 ? "win64" : "win32";
  const auto path = readValue(HKEY_CLASSES_ROOT, key + "\\1.0\\0\\" + platform, "");
  ASSERT_TRUE(path);
  EXPECT_EQ(folded({path->text}), folded({modulePath()}));
}

TEST(Registration, PutsTheControlIntoBothSafeCategories) {
  const std::string implemented = "CLSID\\" + std::string(kEnumImgClsid) + "\\Implemented Categories";
  EXPECT_EQ(folded(subkeyNames(HKEY_CLASSES_ROOT, implemented)),
            folded({std::string(kCatidSafeForScripting), std::string(kCatidSafeForInitializing)}));
  const struct {
    std::string_view catid;
    const char* description;
  } categories[] = {
      {kCatidSafeForScripting, "Controls safely scriptable!"},
      {kCatidSafeForInitializing, "Controls safely initializable from persistent data!"},
  };
  for (const auto& category : categories) {
    const auto description = readValue(
        HKEY_CLASSES_ROOT, "Component Categories\\" + std::string(category.catid), "409");
    ASSERT_TRUE(description) << category.catid;
    EXPECT_EQ(description->text, category.description);
  }
}

TEST(Registration, RegisteringAgainLeavesExactlyOneSetOfKeys) {
  const std::string cls = "CLSID\\" + std::string(kEnumImgClsid);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, (cls + "\\ByHand").c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ("TypeLib\\" + std::string(kLibId) + "\\2.0").c_str(),
                            0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);

  HMODULE module = LoadLibraryA(modulePath().c_str());
  ASSERT_NE(module, nullptr);
  auto registerServer = entryPoint<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
  ASSERT_NE(registerServer, nullptr);
  EXPECT_EQ(registerServer(), S_OK);
  FreeLibrary(module);

  EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, cls + "\\ByHand"));
  EXPECT_EQ(subkeyNames(HKEY_CLASSES_ROOT, "TypeLib\\" + std::string(kLibId)),
            std::vector<std::string>{"1.0"});
  expectTables(modulePath());
}

TEST(Registration, ExportsItsEntryPointsByOrdinal) {
  HMODULE module = LoadLibraryA(modulePath().c_str());
  ASSERT_NE(module, nullptr);
  const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                         "DllUnregisterServer"};
  for (int ordinal = 1; ordinal <= 4; ++ordinal) {
    EXPECT_EQ(entryPoint<void*>(module, MAKEINTRESOURCEA(ordinal)),
              entryPoint<void*>(module, names[ordinal - 1]))
        << names[ordinal - 1];
    EXPECT_NE(entryPoint<void*>(module, names[ordinal - 1]), nullptr) << names[ordinal - 1];
  }
  // The name its export directory gives itself.
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  ASSERT_NE(entry.VirtualAddress, 0u);
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "LMCntl.DLL");
  EXPECT_EQ(exports->Base, 1u);
  EXPECT_EQ(exports->NumberOfFunctions, 4u);
  FreeLibrary(module);
}

// Run after the module was unregistered: only the kept keys, and other
// programs' keys, are left.
TEST(Unregistered, OnlyTheKeptKeysRemain) {
  for (const ComClass& cls : comClasses()) {
    for (const RegistrySection& section : registryContent(cls.id, modulePath())) {
      for (const RegistryKey& key : section.keys) {
        EXPECT_EQ(keyExists(HKEY_CLASSES_ROOT, key.path), key.handling == KeyHandling::kKept)
            << key.path;
      }
    }
  }
  EXPECT_TRUE(subkeyNames(HKEY_CLASSES_ROOT, "CLSID\\" + std::string(kEnumImgClsid) +
                                                 "\\Implemented Categories")
                  .empty());
  // The descriptions of the categories stay: other controls use them.
  EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT,
                        "Component Categories\\" + std::string(kCatidSafeForScripting)));
}

}  // namespace
}  // namespace lumorel::wine
