// EnumImg as an ActiveX control: the script interface IEnumImg (dual),
// dispatched through the type library onto the engine's member table; its
// events through a connection point; and the OLE control interfaces a
// browser uses to embed, activate and draw it.
#ifndef LUMOREL_PLATFORM_WIN32_COM_ENUM_IMG_OBJECT_H_
#define LUMOREL_PLATFORM_WIN32_COM_ENUM_IMG_OBJECT_H_

#include <windows.h>

#include <ocidl.h>
#include <oleidl.h>

#include <initializer_list>
#include <memory>

#include "control/variant.h"
#include "platform/win32/com/connection_points.h"
#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "platform/win32/com/module.h"

namespace lumorel {

class BrowserHostWindow;
class ControlWindow;
class Dialogs;
class EnumImg;
class SubscriptionManager;

// Makes a control (never aggregated) and asks it for `iid`.
HRESULT createEnumImg(IUnknown* outer, REFIID iid, void** out);

// Apartment-threaded: made, called and released on one UI thread.
class EnumImgObject final : public IEnumImg,
                            public IViewObjectEx,
                            public IOleInPlaceObjectWindowless,
                            public IOleInPlaceActiveObject,
                            public IOleControl,
                            public IOleObject,
                            public IProvideClassInfo2,
                            public IDataObject,
                            public IConnectionPointContainer,
                            public IRunnableObject {
 public:
  EnumImgObject();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, through the type information of IEnumImg.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argError) override;

  // IEnumImg
  HRESULT STDMETHODCALLTYPE SetParentDir(BSTR bstrPath, short iResursive, short iRandom) override;
  HRESULT STDMETHODCALLTYPE get_PreviousName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_CurrentName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE get_NextName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE Next() override;
  HRESULT STDMETHODCALLTYPE Previous() override;
  HRESULT STDMETHODCALLTYPE Rewind() override;
  HRESULT STDMETHODCALLTYPE RemoveCurrent() override;
  HRESULT STDMETHODCALLTYPE get_Version(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE QuitIt() override;
  HRESULT STDMETHODCALLTYPE get_CurrentShortName(BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE JumpTo(short chMatch) override;
  HRESULT STDMETHODCALLTYPE PromptForPath(BSTR bstrStaringDir, BSTR bstrMessage,
                                          BSTR* bstrPath) override;
  HRESULT STDMETHODCALLTYPE get_Exists(BSTR bstrPath, LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_Preference(BSTR bstrKey, BSTR* pVal) override;
  HRESULT STDMETHODCALLTYPE put_Preference(BSTR bstrKey, BSTR value) override;
  HRESULT STDMETHODCALLTYPE get_LoadDone(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_CurrentFileSize(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE get_FileCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE StartTimer(ULONG dwMSecHeartbeat) override;
  HRESULT STDMETHODCALLTYPE StopTimer() override;
  HRESULT STDMETHODCALLTYPE get_DirCount(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE Rename(BSTR bstrNewName) override;
  HRESULT STDMETHODCALLTYPE OrganizeImages() override;
  HRESULT STDMETHODCALLTYPE JumpToNextDir() override;
  HRESULT STDMETHODCALLTYPE JumpToRandom() override;
  HRESULT STDMETHODCALLTYPE JumpToPreviousDir() override;
  HRESULT STDMETHODCALLTYPE RestrictOnlyDuplicates(LONG bCheckName, LONG bCheckSize) override;
  HRESULT STDMETHODCALLTYPE get_DuplicateStatus(LONG* pVal) override;
  HRESULT STDMETHODCALLTYPE AddUrlImage(BSTR bstrUrl) override;
  HRESULT STDMETHODCALLTYPE SaveWindowLoc(BSTR bstrKey) override;
  HRESULT STDMETHODCALLTYPE ForceImgDraw() override;
  HRESULT STDMETHODCALLTYPE ScrapeUrl(BSTR bstrUrl, ULONG dwHowDeep, LONG bStartUpdate) override;
  HRESULT STDMETHODCALLTYPE get_CurrentMidi(LONG bSearchParentDirs, BSTR* pVal) override;

  // IViewObject, IViewObject2, IViewObjectEx
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                 HDC targetDevice, HDC dc, LPCRECTL bounds, LPCRECTL windowBounds,
                                 BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                                 ULONG_PTR keepGoingArg) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                        LOGPALETTE**) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD, LONG, void*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                      LPSIZEL size) override;
  HRESULT STDMETHODCALLTYPE GetRect(DWORD aspect, LPRECTL rect) override;
  HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override;
  HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                          LONG closeHint, DWORD* result) override;
  HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                         LONG closeHint, DWORD* result) override;
  HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                             LPSIZEL) override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceObjectWindowless
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT*) override;
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget**) override;

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite,
                                   LONG index, HWND parent, LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** out) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** out) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override;

  // IProvideClassInfo, IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // IDataObject: the control offers no data.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

  // IRunnableObject
  HRESULT STDMETHODCALLTYPE GetRunningClass(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE Run(LPBINDCTX) override;
  BOOL STDMETHODCALLTYPE IsRunning() override;
  HRESULT STDMETHODCALLTYPE LockRunning(BOOL, BOOL) override;
  HRESULT STDMETHODCALLTYPE SetContainedObject(BOOL) override;

 private:
  ~EnumImgObject();

  // Calls the member `dispid` of kind `kind` through the member table.
  HRESULT call(int32_t dispid, uint16_t kind, std::initializer_list<Variant> args, Variant* result);
  HRESULT callText(int32_t dispid, uint16_t kind, std::initializer_list<Variant> args, BSTR* out);
  HRESULT callNumber(int32_t dispid, std::initializer_list<Variant> args, LONG* out);
  // The type information of IEnumImg (or of the class, `ofClass`), loaded
  // on first use and kept.
  HRESULT typeInfo(ITypeInfo** out, bool ofClass = false);
  // Activates the control in place in the site's window.
  HRESULT activateInPlace(IOleClientSite* site, LPCRECT position);
  void drawFace(HDC dc, const RECT& bounds);
  void releaseContainer();

  ULONG refs_ = 0;
  ModuleLock moduleLock_;

  // The container's objects, each with a reference of ours.
  IOleClientSite* site_ = nullptr;
  IOleInPlaceSite* inPlaceSite_ = nullptr;
  IOleAdviseHolder* adviseHolder_ = nullptr;
  IAdviseSink* viewSink_ = nullptr;
  DWORD viewSinkAspects_ = 0;
  DWORD viewSinkFlags_ = 0;
  SIZEL extent_ = {5080, 5080};  // HIMETRIC: 2 x 2 inches
  long eventFreezes_ = 0;

  ITypeInfo* interfaceInfo_ = nullptr;
  ITypeInfo* classInfo_ = nullptr;

  // Destroyed after the engine's control, which uses them.
  std::unique_ptr<ControlWindow> window_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<SubscriptionManager> subscriptions_;
  std::unique_ptr<BrowserHostWindow> host_;
  std::unique_ptr<EnumImg> control_;
  // Before the engine's control goes: the points hold its sinks' cookies.
  ConnectionPointObject propertyNotify_;
  ConnectionPointObject events_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_ENUM_IMG_OBJECT_H_
