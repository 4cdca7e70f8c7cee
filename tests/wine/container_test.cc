// The control embedded in a container of ours: a client site that gives a
// browser window's application object, and an in-place site with a window.
// The placement members and QuitIt reach the browser through the site;
// in-place activation puts the control's child window into the container's.
#include <windows.h>

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>

#include <vector>

#include <gtest/gtest.h>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

#define LM_NOT_USED(name, params) \
  HRESULT STDMETHODCALLTYPE name params override { return E_NOTIMPL; }

// A browser window's application object: its place, and what was asked of it.
class FakeBrowser final : public IWebBrowserApp {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IWebBrowserApp)) {
      *out = static_cast<IWebBrowserApp*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // on the stack

  HRESULT STDMETHODCALLTYPE get_Left(LONG* value) override { return give(left, value); }
  HRESULT STDMETHODCALLTYPE get_Top(LONG* value) override { return give(top, value); }
  HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override { return give(width, value); }
  HRESULT STDMETHODCALLTYPE get_Height(LONG* value) override { return give(height, value); }
  HRESULT STDMETHODCALLTYPE put_Height(LONG value) override {
    heightsSet.push_back(value);
    height = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Quit() override {
    ++quits;
    return S_OK;
  }

  LM_NOT_USED(GetTypeInfoCount, (UINT*))
  LM_NOT_USED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  LM_NOT_USED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  LM_NOT_USED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  LM_NOT_USED(GoBack, ())
  LM_NOT_USED(GoForward, ())
  LM_NOT_USED(GoHome, ())
  LM_NOT_USED(GoSearch, ())
  LM_NOT_USED(Navigate, (BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
  LM_NOT_USED(Refresh, ())
  LM_NOT_USED(Refresh2, (VARIANT*))
  LM_NOT_USED(Stop, ())
  LM_NOT_USED(get_Application, (IDispatch**))
  LM_NOT_USED(get_Parent, (IDispatch**))
  LM_NOT_USED(get_Container, (IDispatch**))
  LM_NOT_USED(get_Document, (IDispatch**))
  LM_NOT_USED(get_TopLevelContainer, (VARIANT_BOOL*))
  LM_NOT_USED(get_Type, (BSTR*))
  LM_NOT_USED(put_Left, (LONG))
  LM_NOT_USED(put_Top, (LONG))
  LM_NOT_USED(put_Width, (LONG))
  LM_NOT_USED(get_LocationName, (BSTR*))
  LM_NOT_USED(get_LocationURL, (BSTR*))
  LM_NOT_USED(get_Busy, (VARIANT_BOOL*))
  LM_NOT_USED(ClientToWindow, (int*, int*))
  LM_NOT_USED(PutProperty, (BSTR, VARIANT))
  LM_NOT_USED(GetProperty, (BSTR, VARIANT*))
  LM_NOT_USED(get_Name, (BSTR*))
  LM_NOT_USED(get_HWND, (SHANDLE_PTR*))
  LM_NOT_USED(get_FullName, (BSTR*))
  LM_NOT_USED(get_Path, (BSTR*))
  LM_NOT_USED(get_Visible, (VARIANT_BOOL*))
  LM_NOT_USED(put_Visible, (VARIANT_BOOL))
  LM_NOT_USED(get_StatusBar, (VARIANT_BOOL*))
  LM_NOT_USED(put_StatusBar, (VARIANT_BOOL))
  LM_NOT_USED(get_StatusText, (BSTR*))
  LM_NOT_USED(put_StatusText, (BSTR))
  LM_NOT_USED(get_ToolBar, (int*))
  LM_NOT_USED(put_ToolBar, (int))
  LM_NOT_USED(get_MenuBar, (VARIANT_BOOL*))
  LM_NOT_USED(put_MenuBar, (VARIANT_BOOL))
  LM_NOT_USED(get_FullScreen, (VARIANT_BOOL*))
  LM_NOT_USED(put_FullScreen, (VARIANT_BOOL))

  ULONG refs = 1;
  LONG left = 11, top = 22, width = 640, height = 480;
  std::vector<LONG> heightsSet;
  int quits = 0;

 private:
  static HRESULT give(LONG value, LONG* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }
};

// The container's site: the browser as a service, and a window to be
// activated in.
class FakeSite final : public IOleClientSite, public IServiceProvider, public IOleInPlaceSite {
 public:
  explicit FakeSite(HWND window) : window_(window) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IServiceProvider)) {
      *out = static_cast<IServiceProvider*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // on the stack

  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override {
    if (IsEqualGUID(service, SID_SWebBrowserApp)) return browser.QueryInterface(iid, out);
    *out = nullptr;
    return E_NOINTERFACE;
  }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    ++activations;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *document = nullptr;
    *position = place;
    *clip = place;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    ++deactivations;
    return S_OK;
  }

  LM_NOT_USED(SaveObject, ())
  LM_NOT_USED(GetMoniker, (DWORD, DWORD, IMoniker**))
  LM_NOT_USED(GetContainer, (IOleContainer**))
  LM_NOT_USED(ShowObject, ())
  LM_NOT_USED(OnShowWindow, (BOOL))
  LM_NOT_USED(RequestNewObjectLayout, ())
  LM_NOT_USED(ContextSensitiveHelp, (BOOL))
  LM_NOT_USED(OnUIActivate, ())
  LM_NOT_USED(Scroll, (SIZE))
  LM_NOT_USED(OnUIDeactivate, (BOOL))
  LM_NOT_USED(DiscardUndoState, ())
  LM_NOT_USED(DeactivateAndUndo, ())
  LM_NOT_USED(OnPosRectChange, (LPCRECT))

  ULONG refs = 1;
  FakeBrowser browser;
  RECT place = {10, 20, 110, 70};
  int activations = 0;
  int deactivations = 0;

 private:
  HWND window_;
};

#undef LM_NOT_USED

struct Embedded {
  Embedded() {
    container = CreateWindowExA(0, "STATIC", "container", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    site = std::make_unique<FakeSite>(container);
    EXPECT_EQ(CoCreateInstance(CLSID_EnumImg, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    if (object) object->SetClientSite(site.get());
  }
  ~Embedded() {
    if (object) {
      object->SetClientSite(nullptr);
      object->Release();
    }
    DestroyWindow(container);
  }
  IDispatch* script() {
    IDispatch* dispatch = nullptr;
    object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    return dispatch;
  }

  HWND container = nullptr;
  std::unique_ptr<FakeSite> site;
  IOleObject* object = nullptr;
};

VARIANT text(const wchar_t* value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(value);
  return v;
}

std::string preference(IDispatch* control, const wchar_t* key) {
  VARIANT result;
  EXPECT_EQ(callByName(control, L"Preference", DISPATCH_PROPERTYGET, {text(key)}, &result), S_OK);
  std::string out = result.vt == VT_BSTR ? narrow(result.bstrVal) : "";
  VariantClear(&result);
  return out;
}

TEST(Container, PlacementAndQuitReachTheBrowserThroughTheSite) {
  Embedded page;
  ASSERT_NE(page.object, nullptr);
  IDispatch* control = page.script();
  ASSERT_EQ(callByName(control, L"SaveWindowLoc", DISPATCH_METHOD, {text(L"WineTest")}, nullptr),
            S_OK);
  EXPECT_EQ(preference(control, L"WineTest.Width"), "640");
  EXPECT_EQ(preference(control, L"WineTest.Height"), "480");
  EXPECT_EQ(preference(control, L"WineTest.Top"), "22");
  EXPECT_EQ(preference(control, L"WineTest.Left"), "11");

  ASSERT_EQ(callByName(control, L"ForceImgDraw", DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_EQ(page.site->browser.heightsSet, (std::vector<LONG>{482, 480}));

  EXPECT_EQ(callByName(control, L"QuitIt", DISPATCH_METHOD, {}, nullptr), S_OK);
  EXPECT_EQ(page.site->browser.quits, 1);
  control->Release();
}

TEST(Container, ActivatesInPlaceWithAChildWindow) {
  Embedded page;
  ASSERT_NE(page.object, nullptr);
  ASSERT_EQ(page.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, page.site.get(), 0,
                                page.container, &page.site->place),
            S_OK);
  EXPECT_EQ(page.site->activations, 1);
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(page.object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)),
            S_OK);
  HWND child = nullptr;
  ASSERT_EQ(inPlace->GetWindow(&child), S_OK);
  EXPECT_EQ(GetParent(child), page.container);
  const LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
  const LONG_PTR wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  EXPECT_EQ(style & wanted, wanted);
  RECT where;
  GetWindowRect(child, &where);
  MapWindowPoints(nullptr, page.container, reinterpret_cast<POINT*>(&where), 2);
  EXPECT_EQ(where.left, 10);
  EXPECT_EQ(where.top, 20);
  EXPECT_EQ(where.right - where.left, 100);
  EXPECT_EQ(where.bottom - where.top, 50);

  // The container moves it, then lets it go.
  RECT moved = {30, 40, 90, 60};
  EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
  GetWindowRect(child, &where);
  EXPECT_EQ(where.right - where.left, 60);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(page.site->deactivations, 1);
  inPlace->Release();
}

}  // namespace
}  // namespace lumorel::wine
