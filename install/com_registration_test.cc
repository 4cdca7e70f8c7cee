#include "install/com_registration.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/com_classes.h"
#include "install/fake_registry.h"

namespace lumorel {
namespace {

constexpr RegistryRoot kHkcr = RegistryRoot::kClassesRoot;
constexpr std::string_view kModule = "C:\\Program Files\\Lumorel\\LMCntl.dll";

// Records every call the registration makes of the COM services.
struct ComLog final : ComServices {
  struct Manager final : CategoryManager {
    explicit Manager(ComLog& log) : log_(log) {}
    HResult registerClassImplCategory(std::string_view clsid, std::string_view catid) override {
      log_.calls.push_back("impl " + std::string(clsid) + " " + std::string(catid));
      return log_.categoryResult;
    }
    HResult unregisterClassImplCategory(std::string_view clsid, std::string_view catid) override {
      log_.calls.push_back("unimpl " + std::string(clsid) + " " + std::string(catid));
      return kEFail;  // ignored by unregistration
    }
    HResult registerCategory(std::string_view catid, uint32_t locale,
                             std::u16string_view description) override {
      log_.calls.push_back("category " + std::string(catid) + " " + std::to_string(locale) + " " +
                           std::string(description.begin(), description.end()));
      return log_.categoryResult;
    }
    ComLog& log_;
  };

  std::unique_ptr<CategoryManager> categoryManager() override {
    if (!hasManager) return nullptr;
    return std::make_unique<Manager>(*this);
  }
  HResult registerTypeLibrary(std::string_view modulePath) override {
    calls.push_back("typelib " + std::string(modulePath));
    return typeLibraryResult;
  }

  bool hasManager = true;
  HResult categoryResult = kSOk;
  HResult typeLibraryResult = kSOk;
  std::vector<std::string> calls;
};

// The two classes' registry content with the module path filled in, as the
// registry holds it after a registration into an empty registry.
constexpr std::string_view kRegistered = R"(.url
.url\ShellEx
.url\ShellEx\{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01} @={FBF23B40-E3F0-101B-8488-00AA003E56F8}
CLSID
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01} @=Lumorel
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\Control
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\InprocServer32 @=C:\Program Files\Lumorel\LMCntl.dll ThreadingModel=Apartment
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\MiscStatus @=0
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\MiscStatus\1 @=131473
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\ProgID @=EnumImg.EnumImg.1
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\Programmable
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\ToolboxBitmap32 @=C:\Program Files\Lumorel\LMCntl.dll, 1
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\TypeLib @={5A3E9D10-2C4B-4E7F-8A61-0D2F4B7C9E01}
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\Version @=1.4
CLSID\{5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}\VersionIndependentProgID @=EnumImg.EnumImg
CLSID\{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01} @=lm PlugProt
CLSID\{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}\InprocServer32 @=C:\Program Files\Lumorel\LMCntl.dll ThreadingModel=Both
CLSID\{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}\ProgID @=lm.1
CLSID\{5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}\VersionIndependentProgID @=lm
EnumImg.EnumImg @=Lumorel
EnumImg.EnumImg.1 @=Lumorel
EnumImg.EnumImg.1\CLSID @={5A3E9D11-2C4B-4E7F-8A61-0D2F4B7C9E01}
EnumImg.EnumImg.1\DefaultIcon @=C:\Program Files\Lumorel\LMCntl.dll,-200
EnumImg.EnumImg\CurVer @=EnumImg.EnumImg.1
EnumImg.EnumImg\DefaultIcon @=C:\Program Files\Lumorel\LMCntl.dll,-200
lm @=URL:Lumorel Protocol Source Filter={5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01} URL Protocol=
lm.1 @=Lumorel
lm.1\CLSID @={5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}
lm.1\CurVer @=lm.1
lm.1\DefaultIcon @=C:\Program Files\Lumorel\LMCntl.dll,-200
lm\CLSID @={5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01}
lm\CurVer @=lm.1
lm\DefaultIcon @=C:\Program Files\Lumorel\LMCntl.dll,-200
lm\Extensions
lm\Extensions\.IVF @={C69E8F40-D5C8-11D0-A520-145405C10000}
lm\shell
lm\shell\open
lm\shell\open\command @=iexplore.exe -nohome
lm\shell\open\ddeexec @="%1",,-1,0,,,,
lm\shell\open\ddeexec\Application @=IExplore
lm\shell\open\ddeexec\Topic @=WWW_OpenURL
PROTOCOLS
PROTOCOLS\Handler
PROTOCOLS\Handler\lm @=LM: Async Pluggable Protocol for Lumorel CLSID={5A3E9D14-2C4B-4E7F-8A61-0D2F4B7C9E01} SupportsNoUI=dword:1
TypeLib
TypeLib\{5A3E9D10-2C4B-4E7F-8A61-0D2F4B7C9E01}
)";

TEST(ComRegistration, WritesBothClassesThenTheTypeLibrary) {
  FakeRegistry registry;
  ComLog com;
  ASSERT_EQ(registerComServer(registry, com, kModule), kSOk);
  EXPECT_EQ(registry.dump(kHkcr), kRegistered);
  const std::string enumImg(kEnumImgClsid);
  EXPECT_EQ(com.calls, (std::vector<std::string>{
                           "impl " + enumImg + " " + std::string(kCatidSafeForScripting),
                           "impl " + enumImg + " " + std::string(kCatidSafeForInitializing),
                           "typelib " + std::string(kModule),
                       }));
}

TEST(ComRegistration, RegisteringAgainReplacesWhatReplacedKeysHeld) {
  FakeRegistry registry;
  ComLog com;
  ASSERT_EQ(registerComServer(registry, com, kModule), kSOk);
  const std::string cls = "CLSID\\" + std::string(kEnumImgClsid);
  ASSERT_EQ(registry.createKey(kHkcr, cls + "\\Added"), kSOk);
  ASSERT_EQ(registry.setText(kHkcr, cls, "ByHand", "x"), kSOk);
  const std::string typeLib = "TypeLib\\" + std::string(kLibId);
  ASSERT_EQ(registry.createKey(kHkcr, typeLib + "\\2.0\\0\\win32"), kSOk);
  // Another program's keys beside ours stay.
  ASSERT_EQ(registry.createKey(kHkcr, "CLSID\\{00000000-0000-0000-0000-000000000001}"), kSOk);
  ASSERT_EQ(registry.createKey(kHkcr, "PROTOCOLS\\Handler\\http"), kSOk);

  ASSERT_EQ(registerComServer(registry, com, kModule), kSOk);
  std::string expected(kRegistered);
  expected.insert(expected.find("CLSID\\{5A3E9D11"),
                  "CLSID\\{00000000-0000-0000-0000-000000000001}\n");
  expected.insert(expected.find("PROTOCOLS\\Handler\\lm"), "PROTOCOLS\\Handler\\http\n");
  EXPECT_EQ(registry.dump(kHkcr), expected);
}

TEST(ComRegistration, AFailingSectionIsRemovedAndEndsTheRegistration) {
  const HResult kDenied = static_cast<HResult>(0x80070005u);
  struct Case {
    std::string failingKey;
    // Keys present afterwards (and the ones that must be gone).
    std::vector<std::string> present, absent;
  };
  const std::vector<Case> cases = {
      // In EnumImg's one section: nothing of it stays, PlugProt is never written.
      {"CLSID\\" + std::string(kEnumImgClsid) + "\\MiscStatus",
       {"CLSID"},
       {"EnumImg.EnumImg.1", "EnumImg.EnumImg", "CLSID\\" + std::string(kEnumImgClsid), "lm"}},
      // In PlugProt's first section: EnumImg's stays.
      {"lm\\shell\\open\\ddeexec",
       {"EnumImg.EnumImg.1", "CLSID\\" + std::string(kEnumImgClsid)},
       {"lm.1", "lm", "CLSID\\" + std::string(kPlugProtClsid), "PROTOCOLS\\Handler\\lm"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failingKey);
    FakeRegistry registry;
    ComLog com;
    registry.failWritesTo(c.failingKey, kDenied);
    EXPECT_EQ(registerComServer(registry, com, kModule), kDenied);
    for (const auto& key : c.present) EXPECT_TRUE(registry.hasKey(kHkcr, key)) << key;
    for (const auto& key : c.absent) EXPECT_FALSE(registry.hasKey(kHkcr, key)) << key;
    for (const auto& call : com.calls) EXPECT_EQ(call.find("typelib"), std::string::npos);
  }
}

TEST(ComRegistration, CategoriesAndTypeLibraryFailures) {
  {
    SCOPED_TRACE("no category manager: the categories are skipped with success");
    FakeRegistry registry;
    ComLog com;
    com.hasManager = false;
    EXPECT_EQ(registerComServer(registry, com, kModule), kSOk);
    EXPECT_EQ(com.calls, std::vector<std::string>{"typelib " + std::string(kModule)});
  }
  {
    SCOPED_TRACE("a category that cannot be recorded ends it before PlugProt");
    FakeRegistry registry;
    ComLog com;
    com.categoryResult = kEFail;
    EXPECT_EQ(registerComServer(registry, com, kModule), kEFail);
    EXPECT_EQ(com.calls.size(), 1u);
    EXPECT_TRUE(registry.hasKey(kHkcr, "EnumImg.EnumImg.1"));
    EXPECT_FALSE(registry.hasKey(kHkcr, "lm"));
  }
  {
    SCOPED_TRACE("the type library's failure is the result");
    FakeRegistry registry;
    ComLog com;
    const HResult kCannotLoad = static_cast<HResult>(0x80029C4Au);
    com.typeLibraryResult = kCannotLoad;
    EXPECT_EQ(registerComServer(registry, com, kModule), kCannotLoad);
  }
}

TEST(ComRegistration, SafetyCategoriesInitializableFirstThenScriptable) {
  ComLog com;
  EXPECT_EQ(registerSafetyCategories(com), kSOk);
  EXPECT_EQ(com.calls,
            (std::vector<std::string>{
                "category " + std::string(kCatidSafeForInitializing) +
                    " 1033 Controls safely initializable from persistent data!",
                "category " + std::string(kCatidSafeForScripting) + " 1033 Controls safely scriptable!",
            }));

  ComLog failing;
  failing.categoryResult = kEFail;
  EXPECT_EQ(registerSafetyCategories(failing), kEFail);
  EXPECT_EQ(failing.calls.size(), 1u) << "the second only after the first succeeded";

  ComLog none;
  none.hasManager = false;
  EXPECT_NE(registerSafetyCategories(none), kSOk);
}

TEST(ComRegistration, UnregistrationLeavesOnlyTheKeptKeysAndOthersKeys) {
  FakeRegistry registry;
  ComLog com;
  ASSERT_EQ(registry.createKey(kHkcr, "CLSID\\{00000000-0000-0000-0000-000000000001}"), kSOk);
  ASSERT_EQ(registerComServer(registry, com, kModule), kSOk);
  com.calls.clear();
  unregisterComServer(registry, com);
  EXPECT_EQ(registry.dump(kHkcr),
            "." "url\n.url\\ShellEx\nCLSID\nCLSID\\{00000000-0000-0000-0000-000000000001}\n"
            "PROTOCOLS\nPROTOCOLS\\Handler\nTypeLib\n");
  const std::string enumImg(kEnumImgClsid);
  EXPECT_EQ(com.calls, (std::vector<std::string>{
                           "unimpl " + enumImg + " " + std::string(kCatidSafeForScripting),
                           "unimpl " + enumImg + " " + std::string(kCatidSafeForInitializing),
                       }));
  // A second unregistration finds nothing to do and breaks nothing.
  unregisterComServer(registry, com);
  EXPECT_TRUE(registry.hasKey(kHkcr, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
}

}  // namespace
}  // namespace lumorel
