// A page's event handlers as the control sees them: an IDispatch sink of
// _EnumImgEvents that records the DISPIDs it is called with.
#ifndef LUMOREL_TESTS_WINE_EVENT_RECORDER_H_
#define LUMOREL_TESTS_WINE_EVENT_RECORDER_H_

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include <algorithm>
#include <vector>

#include "lmcntl.h"  // generated from resources/lmcntl.idl

namespace lumorel::wine {

class EventRecorder final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID__EnumImgEvents)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    seen.push_back(dispid);
    lastLocale = locale;
    lastFlags = flags;
    lastArgCount = params ? params->cArgs : 99;
    if (onEvent) onEvent(dispid);
    return S_OK;
  }

  int count(DISPID dispid) const {
    return static_cast<int>(std::count(seen.begin(), seen.end(), dispid));
  }

  // Connects to `control`'s events; the cookie, 0 on failure.
  DWORD connect(IUnknown* control) {
    IConnectionPointContainer* container = nullptr;
    if (FAILED(control->QueryInterface(IID_IConnectionPointContainer,
                                       reinterpret_cast<void**>(&container)))) {
      return 0;
    }
    if (FAILED(container->FindConnectionPoint(DIID__EnumImgEvents, &point_))) point_ = nullptr;
    container->Release();
    DWORD cookie = 0;
    if (point_ && FAILED(point_->Advise(this, &cookie))) cookie = 0;
    cookie_ = cookie;
    return cookie;
  }
  void disconnect() {
    if (point_) {
      point_->Unadvise(cookie_);
      point_->Release();
      point_ = nullptr;
    }
  }

  ULONG refs = 1;
  std::vector<DISPID> seen;
  LCID lastLocale = 0;
  WORD lastFlags = 0;
  UINT lastArgCount = 0;
  void (*onEvent)(DISPID) = nullptr;

 private:
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
};

}  // namespace lumorel::wine

#endif  // LUMOREL_TESTS_WINE_EVENT_RECORDER_H_
