// The module's class objects, aggregation and unloading, through the
// entry points COM calls.
#include <windows.h>

#include <urlmon.h>

#include <gtest/gtest.h>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

// The module loaded once more by us, for its entry points; COM's own load
// is the same module.
class Module {
 public:
  Module() : module_(LoadLibraryA(modulePath().c_str())) {
    getClassObject = entryPoint<decltype(getClassObject)>(module_, "DllGetClassObject");
    canUnloadNow = entryPoint<decltype(canUnloadNow)>(module_, "DllCanUnloadNow");
  }
  ~Module() { FreeLibrary(module_); }
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;

 private:
  HMODULE module_;
};

// An outer object that only counts references, enough to aggregate.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 1;
};

TEST(ClassObjects, AnswerTheirClassesOnly) {
  Module module;
  ASSERT_TRUE(module.getClassObject);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(module.getClassObject(CLSID_EnumImg, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(module.getClassObject(CLSID_EnumImg, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(module.getClassObject(IID_IEnumImg, IID_IClassFactory, &out),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  for (const CLSID* clsid : {&CLSID_EnumImg, &CLSID_PlugProt}) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(module.getClassObject(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IClassFactory* again = nullptr;
    ASSERT_EQ(module.getClassObject(*clsid, IID_IClassFactory, reinterpret_cast<void**>(&again)),
              S_OK);
    EXPECT_EQ(factory, again) << "one class object per class";
    again->Release();
    factory->Release();
  }
}

TEST(ClassObjects, OnlyPlugProtCanBeAggregated) {
  Outer outer;
  IUnknown* inner = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_EnumImg, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&inner)),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(inner, nullptr);

  ASSERT_EQ(CoCreateInstance(CLSID_PlugProt, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&inner)),
            S_OK);
  // Its interfaces count their references on the outer object.
  IInternetProtocol* protocol = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IInternetProtocol, reinterpret_cast<void**>(&protocol)), S_OK);
  const ULONG before = outer.refs;
  protocol->AddRef();
  EXPECT_EQ(outer.refs, before + 1);
  protocol->Release();
  protocol->Release();
  // Asking for anything but IUnknown while aggregating is refused.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_PlugProt, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  IInternetProtocol* direct = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IInternetProtocol, reinterpret_cast<void**>(&direct)),
            CLASS_E_NOAGGREGATION);
  factory->Release();
  inner->Release();
}

TEST(ClassObjects, PlugProtAnswersTheProtocolInterfacesOnly) {
  IUnknown* handler = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_PlugProt, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&handler)),
            S_OK);
  for (const IID* iid : {&IID_IInternetProtocolInfo, &IID_IInternetProtocolRoot,
                         &IID_IInternetProtocol}) {
    IUnknown* face = nullptr;
    EXPECT_EQ(handler->QueryInterface(*iid, reinterpret_cast<void**>(&face)), S_OK);
    if (face) face->Release();
  }
  IUnknown* face = nullptr;
  EXPECT_EQ(handler->QueryInterface(IID_IPTPlugProt, reinterpret_cast<void**>(&face)), E_NOINTERFACE);
  handler->Release();
}

TEST(ClassObjects, TheModuleUnloadsOnlyWhenNothingHoldsIt) {
  Module module;
  ASSERT_TRUE(module.canUnloadNow);
  ASSERT_EQ(module.canUnloadNow(), S_OK) << "a test before left something alive";
  IDispatch* control = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_EnumImg, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&control)),
            S_OK);
  EXPECT_EQ(module.canUnloadNow(), S_FALSE);
  control->Release();
  EXPECT_EQ(module.canUnloadNow(), S_OK);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(module.getClassObject(CLSID_EnumImg, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "a class object held by a client";
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(module.canUnloadNow(), S_FALSE) << "a lock";
  ASSERT_EQ(module.getClassObject(CLSID_EnumImg, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(module.canUnloadNow(), S_OK);
}

}  // namespace
}  // namespace lumorel::wine
