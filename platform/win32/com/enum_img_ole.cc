// EnumImg's OLE control interfaces: embedding in a container, in-place
// activation with a child window, drawing, class information and the
// connection point container. The control keeps no data and no persistent
// state, so what a container may ask beyond that is declined.
#include <olectl.h>

#include "control/enum_img.h"
#include "platform/win32/com/browser_host_window.h"
#include "platform/win32/com/control_window.h"
#include "platform/win32/com/enum_img_object.h"

namespace lumorel {
namespace {

// The caption the control draws on its face.
constexpr char kCaption[] = "Lumorel";

// OLEMISC_SETCLIENTSITEFIRST | ACTIVATEWHENVISIBLE | INSIDEOUT |
// CANTLINKINSIDE | RECOMPOSEONRESIZE.
constexpr DWORD kMiscStatus = 0x20191;

}  // namespace

void EnumImgObject::drawFace(HDC dc, const RECT& bounds) {
  Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  RECT text = bounds;
  DrawTextA(dc, kCaption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void EnumImgObject::releaseContainer() {
  if (viewSink_) viewSink_->Release();
  viewSink_ = nullptr;
  if (adviseHolder_) adviseHolder_->Release();
  adviseHolder_ = nullptr;
  if (inPlaceSite_) inPlaceSite_->Release();
  inPlaceSite_ = nullptr;
  if (site_) site_->Release();
  site_ = nullptr;
}

// --- IViewObjectEx ---

HRESULT STDMETHODCALLTYPE EnumImgObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                              LPCRECTL bounds, LPCRECTL,
                                              BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc) return E_INVALIDARG;
  RECT area = {0, 0, 0, 0};
  if (bounds) {
    area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  } else if (window_->window()) {
    GetClientRect(window_->window(), &area);
  }
  drawFace(dc, area);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                     LOGPALETTE** palette) {
  if (palette) *palette = nullptr;
  return S_FALSE;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE EnumImgObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink) sink->AddRef();
  if (viewSink_) viewSink_->Release();
  viewSink_ = sink;
  viewSinkAspects_ = aspects;
  viewSinkFlags_ = flags;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewSinkAspects_;
  if (flags) *flags = viewSinkFlags_;
  if (sink) {
    *sink = viewSink_;
    if (viewSink_) viewSink_->AddRef();
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE EnumImgObject::GetViewStatus(DWORD* status) {
  if (!status) return E_POINTER;
  *status = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                                       LONG, DWORD* result) {
  if (!result || !bounds) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *result = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                                      LONG, DWORD* result) {
  if (!result || !bounds || !location) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  RECT overlap;
  *result = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC,
                                                          DVEXTENTINFO*, LPSIZEL) {
  return E_NOTIMPL;
}

// --- IOleWindow, IOleInPlaceObject(Windowless) ---

HRESULT STDMETHODCALLTYPE EnumImgObject::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_->window();
  return *window ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE EnumImgObject::InPlaceDeactivate() {
  if (!inPlaceSite_) return S_OK;
  window_->destroyChild();
  IOleInPlaceSite* site = inPlaceSite_;
  inPlaceSite_ = nullptr;
  site->OnInPlaceDeactivate();
  site->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::UIDeactivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE EnumImgObject::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  HWND child = window_->window();
  if (inPlaceSite_ && child) window_->createChild(GetParent(child), *position);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::ReactivateAndUndo() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) {
  return S_FALSE;  // the control always has a window of its own
}
HRESULT STDMETHODCALLTYPE EnumImgObject::GetDropTarget(IDropTarget** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

// --- IOleInPlaceActiveObject ---

HRESULT STDMETHODCALLTYPE EnumImgObject::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE EnumImgObject::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE EnumImgObject::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE EnumImgObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::EnableModeless(BOOL) { return S_OK; }

// --- IOleControl ---

HRESULT STDMETHODCALLTYPE EnumImgObject::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT STDMETHODCALLTYPE EnumImgObject::FreezeEvents(BOOL freeze) {
  // Counted only: events fire while frozen too, as pages expect.
  eventFreezes_ += freeze ? 1 : -1;
  return S_OK;
}

// --- IOleObject ---

HRESULT STDMETHODCALLTYPE EnumImgObject::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  control_->setHostWindow(nullptr);
  host_.reset();
  if (site_) site_->Release();
  site_ = site;
  if (site_) {
    host_ = std::make_unique<BrowserHostWindow>(site_);
    control_->setHostWindow(host_.get());
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT STDMETHODCALLTYPE EnumImgObject::Close(DWORD) {
  // Only tells a running worker to stop; the rest follows when the
  // container lets go of the control.
  return control_->Close();
}

HRESULT STDMETHODCALLTYPE EnumImgObject::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::GetClipboardData(DWORD, IDataObject** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT EnumImgObject::activateInPlace(IOleClientSite* site, LPCRECT position) {
  if (!site) return E_UNEXPECTED;
  IOleInPlaceSite* inPlace = nullptr;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))) ||
      !inPlace) {
    return E_NOINTERFACE;
  }
  if (!inPlaceSite_) {
    if (inPlace->CanInPlaceActivate() != S_OK) {
      inPlace->Release();
      return E_FAIL;
    }
    inPlace->OnInPlaceActivate();
    inPlaceSite_ = inPlace;
    inPlace->AddRef();
  }
  HWND parent = nullptr;
  HRESULT hr = inPlace->GetWindow(&parent);
  RECT place = {0, 0, 0, 0};
  RECT clip = {0, 0, 0, 0};
  IOleInPlaceFrame* frame = nullptr;
  IOleInPlaceUIWindow* document = nullptr;
  OLEINPLACEFRAMEINFO frameInfo = {};
  frameInfo.cb = sizeof frameInfo;
  if (SUCCEEDED(hr) &&
      SUCCEEDED(inPlace->GetWindowContext(&frame, &document, &place, &clip, &frameInfo))) {
    if (frame) frame->Release();
    if (document) document->Release();
  }
  if (position) place = *position;
  inPlace->Release();
  if (FAILED(hr) || !parent) return FAILED(hr) ? hr : E_FAIL;
  return window_->createChild(parent, place) ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG,
                                                HWND, LPCRECT position) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return activateInPlace(activeSite ? activeSite : site_, position);
    case OLEIVERB_HIDE:
      if (HWND child = window_->window(); child && inPlaceSite_) ShowWindow(child, SW_HIDE);
      return S_OK;
    default:
      return OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT STDMETHODCALLTYPE EnumImgObject::EnumVerbs(IEnumOLEVERB** out) {
  return OleRegEnumVerbs(CLSID_EnumImg, out);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::Update() { return S_OK; }
HRESULT STDMETHODCALLTYPE EnumImgObject::IsUpToDate() { return S_OK; }

HRESULT STDMETHODCALLTYPE EnumImgObject::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_EnumImg;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_EnumImg, form, type);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  extent_ = *size;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  *size = extent_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!adviseHolder_) {
    const HRESULT hr = CreateOleAdviseHolder(&adviseHolder_);
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, cookie);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::Unadvise(DWORD cookie) {
  if (!adviseHolder_) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(cookie);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::EnumAdvise(IEnumSTATDATA** out) {
  if (out) *out = nullptr;
  if (!adviseHolder_) return E_FAIL;
  return adviseHolder_->EnumAdvise(out);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IProvideClassInfo2 ---

HRESULT STDMETHODCALLTYPE EnumImgObject::GetClassInfo(ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return typeInfo(out, /*ofClass=*/true);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetGUID(DWORD, GUID* guid) {
  // The class information names the source interface; no GUID is given
  // here, of any kind.
  if (guid) *guid = GUID_NULL;
  return E_FAIL;
}

// --- IDataObject ---

HRESULT STDMETHODCALLTYPE EnumImgObject::GetData(FORMATETC*, STGMEDIUM*) { return DV_E_FORMATETC; }
HRESULT STDMETHODCALLTYPE EnumImgObject::GetDataHere(FORMATETC*, STGMEDIUM*) {
  return DV_E_FORMATETC;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::QueryGetData(FORMATETC*) { return DV_E_FORMATETC; }
HRESULT STDMETHODCALLTYPE EnumImgObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out) out->ptd = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE EnumImgObject::EnumFormatEtc(DWORD, IEnumFORMATETC** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT STDMETHODCALLTYPE EnumImgObject::EnumDAdvise(IEnumSTATDATA** out) {
  if (out) *out = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

// --- IConnectionPointContainer ---

HRESULT STDMETHODCALLTYPE EnumImgObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
  return enumerateConnectionPoints({&propertyNotify_, &events_}, out);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IPropertyNotifySink)) {
    *out = &propertyNotify_;
  } else if (IsEqualIID(iid, DIID__EnumImgEvents)) {
    *out = &events_;
  } else {
    return CONNECT_E_NOCONNECTION;
  }
  (*out)->AddRef();
  return S_OK;
}

// --- IRunnableObject ---

HRESULT STDMETHODCALLTYPE EnumImgObject::GetRunningClass(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_EnumImg;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE EnumImgObject::Run(LPBINDCTX) { return S_OK; }
BOOL STDMETHODCALLTYPE EnumImgObject::IsRunning() { return TRUE; }
HRESULT STDMETHODCALLTYPE EnumImgObject::LockRunning(BOOL, BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE EnumImgObject::SetContainedObject(BOOL) { return S_OK; }

}  // namespace lumorel
