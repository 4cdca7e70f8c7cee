#include "platform/win32/com/enum_img_object.h"

#include <string>

#include "control/dispatcher.h"
#include "control/enum_img.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/preference_backend.h"
#include "platform/win32/com/browser_host_window.h"
#include "platform/win32/com/control_window.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_subscription_manager.h"
#include "platform/win32/win32_text.h"
#include "platform/worker_thread.h"

namespace lumorel {
namespace {

// A script string in the engine's 8-bit text, by the ANSI code page. False
// when a character has no form there: such a text would name something
// else, so the member is not called with it.
bool toEngineText(BSTR text, std::string& out) {
  out.clear();
  const int length = static_cast<int>(SysStringLen(text));
  if (length == 0) return true;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0, nullptr,
                                    &lossy);
  if (n <= 0 || lossy) return false;
  out.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, length, out.data(), n, nullptr, nullptr);
  return true;
}

// A new script string of the engine's text; the empty text gives a string
// of length 0, never null. Null only when no memory is left.
BSTR toScriptText(const std::string& text) {
  const int n = text.empty() ? 0
                             : MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                   static_cast<int>(text.size()), nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (out && n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  }
  return out;
}

// The engine's member table's kinds, as IDispatch's flags.
constexpr uint16_t kGet = kPropertyGet;
constexpr uint16_t kPut = kPropertyPut;
constexpr uint16_t kCall = kMethod;

}  // namespace

HRESULT createEnumImg(IUnknown* outer, REFIID iid, void** out) {
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* object = new (std::nothrow) EnumImgObject();
  if (!object) return E_OUTOFMEMORY;
  object->AddRef();
  const HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

EnumImgObject::EnumImgObject()
    : window_(std::make_unique<ControlWindow>(
          [this](int32_t dispid) {
            if (control_) control_->fireEvent(dispid);
          },
          [this](HDC dc, const RECT& bounds) { drawFace(dc, bounds); })),
      dialogs_(std::make_unique<Win32Dialogs>(Module::instance(), nullptr)),
      subscriptions_(
          std::make_unique<Win32SubscriptionManager>([this] { return window_->window(); })),
      control_(std::make_unique<EnumImg>(ControlEnv{
          .fs = FileSystem::system(),
          .clock = Clock::system(),
          .threads = ThreadFactory::system(),
          .ui = *window_,
          .dialogs = *dialogs_,
          .preferences = PreferenceBackend::system(),
          .subscriptions = subscriptions_.get(),
      })),
      propertyNotify_(*this, IID_IPropertyNotifySink, nullptr),
      events_(*this, DIID__EnumImgEvents, control_.get()) {}

EnumImgObject::~EnumImgObject() {
  if (interfaceInfo_) interfaceInfo_->Release();
  if (classInfo_) classInfo_->Release();
  // The points let go of their sinks (events first), the engine's control
  // stops and waits for its worker and frees its lists, then the window
  // goes; the container's objects last.
  events_.clear();
  propertyNotify_.clear();
  control_.reset();
  subscriptions_.reset();
  host_.reset();
  window_.reset();
  releaseContainer();
}

HRESULT STDMETHODCALLTYPE EnumImgObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID_IEnumImg)) {
    *out = static_cast<IEnumImg*>(this);
  } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2) ||
             IsEqualIID(iid, IID_IViewObjectEx)) {
    *out = static_cast<IViewObjectEx*>(this);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject) ||
             IsEqualIID(iid, IID_IOleInPlaceObjectWindowless)) {
    *out = static_cast<IOleInPlaceObjectWindowless*>(this);
  } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleControl)) {
    *out = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(iid, IID_IOleObject)) {
    *out = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (IsEqualIID(iid, IID_IDataObject)) {
    *out = static_cast<IDataObject*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(iid, IID_IRunnableObject)) {
    *out = static_cast<IRunnableObject*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE EnumImgObject::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE EnumImgObject::Release() {
  const ULONG refs = --refs_;
  if (refs == 0) delete this;
  return refs;
}

// --- IDispatch ---

HRESULT EnumImgObject::typeInfo(ITypeInfo** out, bool ofClass) {
  ITypeInfo*& cached = ofClass ? classInfo_ : interfaceInfo_;
  if (!cached) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(LIBID_LMCNTLLib, 1, 0, 0, &library);
    if (FAILED(hr)) {
      // Not registered (yet): the module's own copy.
      const std::wstring path = ansiToWide(Module::path()).value_or(L"");
      hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    }
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(ofClass ? CLSID_EnumImg : IID_IEnumImg, &cached);
    library->Release();
    if (FAILED(hr)) return hr;
  }
  *out = cached;
  cached->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return typeInfo(out);
}

HRESULT STDMETHODCALLTYPE EnumImgObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                                       LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = typeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE EnumImgObject::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags,
                                                DISPPARAMS* params, VARIANT* result,
                                                EXCEPINFO* exception, UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = typeInfo(&info);
  if (FAILED(hr)) return hr;
  // The type information calls the vtable member, which goes through the
  // member table like every other call.
  hr = info->Invoke(static_cast<IEnumImg*>(this), dispid, flags, params, result, exception, argError);
  info->Release();
  return hr;
}

// --- IEnumImg: each member through the member table ---

HRESULT EnumImgObject::call(int32_t dispid, uint16_t kind, std::initializer_list<Variant> args,
                            Variant* result) {
  return invoke(*control_, dispid, kind, std::span<const Variant>(args.begin(), args.size()), result);
}

HRESULT EnumImgObject::callText(int32_t dispid, uint16_t kind, std::initializer_list<Variant> args,
                                BSTR* out) {
  if (!out) return E_POINTER;
  Variant value;
  const HRESULT hr = call(dispid, kind, args, &value);
  std::string text;
  if (SUCCEEDED(hr) && value.toText(text) == kSOk) {
    // Left as it was when no string can be made.
    if (BSTR made = toScriptText(text)) *out = made;
  }
  return hr;
}

HRESULT EnumImgObject::callNumber(int32_t dispid, std::initializer_list<Variant> args, LONG* out) {
  if (!out) return E_POINTER;
  Variant value;
  const HRESULT hr = call(dispid, kGet, args, &value);
  int32_t number = 0;
  if (SUCCEEDED(hr)) {
    // A size past 2 GiB is a negative long to script, as its low 32 bits.
    if (value.type() == Variant::Type::kUint32) {
      *out = static_cast<LONG>(value.uint32());
    } else if (value.toInt32(number) == kSOk) {
      *out = number;
    }
  }
  return hr;
}

#define LM_TEXT_OR_RETURN(bstr, name) \
  std::string name;                   \
  if (!toEngineText(bstr, name)) return S_OK

HRESULT STDMETHODCALLTYPE EnumImgObject::SetParentDir(BSTR bstrPath, short iResursive, short iRandom) {
  LM_TEXT_OR_RETURN(bstrPath, path);
  return call(1, kCall, {path, int16_t{iResursive}, int16_t{iRandom}}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_PreviousName(BSTR* pVal) { return callText(2, kGet, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::get_CurrentName(BSTR* pVal) { return callText(3, kGet, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::get_NextName(BSTR* pVal) { return callText(4, kGet, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::Next() { return call(5, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::Previous() { return call(6, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::Rewind() { return call(7, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::RemoveCurrent() { return call(8, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::get_Version(BSTR* pVal) { return callText(9, kGet, {}, pVal); }

HRESULT STDMETHODCALLTYPE EnumImgObject::QuitIt() { return call(10, kCall, {}, nullptr); }

HRESULT STDMETHODCALLTYPE EnumImgObject::get_CurrentShortName(BSTR* pVal) {
  return callText(11, kGet, {}, pVal);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::JumpTo(short chMatch) {
  return call(12, kCall, {int16_t{chMatch}}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::PromptForPath(BSTR bstrStaringDir, BSTR bstrMessage,
                                                       BSTR* bstrPath) {
  LM_TEXT_OR_RETURN(bstrStaringDir, start);
  LM_TEXT_OR_RETURN(bstrMessage, message);
  return callText(13, kCall, {start, message}, bstrPath);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_Exists(BSTR bstrPath, LONG* pVal) {
  if (!pVal) return E_POINTER;
  std::string path;
  if (!toEngineText(bstrPath, path)) {
    *pVal = 0;  // no file has a name the code page cannot write
    return S_OK;
  }
  return callNumber(14, {path}, pVal);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_Preference(BSTR bstrKey, BSTR* pVal) {
  LM_TEXT_OR_RETURN(bstrKey, key);
  return callText(15, kGet, {key}, pVal);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::put_Preference(BSTR bstrKey, BSTR value) {
  LM_TEXT_OR_RETURN(bstrKey, key);
  LM_TEXT_OR_RETURN(value, text);
  return call(15, kPut, {key, text}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_LoadDone(LONG* pVal) { return callNumber(17, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::get_CurrentFileSize(LONG* pVal) {
  return callNumber(18, {}, pVal);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_FileCount(LONG* pVal) { return callNumber(19, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::StartTimer(ULONG dwMSecHeartbeat) {
  return call(20, kCall, {static_cast<uint32_t>(dwMSecHeartbeat)}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::StopTimer() { return call(21, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::get_DirCount(LONG* pVal) { return callNumber(25, {}, pVal); }
HRESULT STDMETHODCALLTYPE EnumImgObject::Rename(BSTR bstrNewName) {
  LM_TEXT_OR_RETURN(bstrNewName, name);
  return call(26, kCall, {name}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::OrganizeImages() { return call(28, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::JumpToNextDir() { return call(31, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::JumpToRandom() { return call(32, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::JumpToPreviousDir() { return call(33, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::RestrictOnlyDuplicates(LONG bCheckName, LONG bCheckSize) {
  return call(44, kCall, {static_cast<int32_t>(bCheckName), static_cast<int32_t>(bCheckSize)}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_DuplicateStatus(LONG* pVal) {
  return callNumber(45, {}, pVal);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::AddUrlImage(BSTR bstrUrl) {
  LM_TEXT_OR_RETURN(bstrUrl, url);
  return call(46, kCall, {url}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::SaveWindowLoc(BSTR bstrKey) {
  LM_TEXT_OR_RETURN(bstrKey, key);
  return call(47, kCall, {key}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::ForceImgDraw() { return call(48, kCall, {}, nullptr); }
HRESULT STDMETHODCALLTYPE EnumImgObject::ScrapeUrl(BSTR bstrUrl, ULONG dwHowDeep, LONG bStartUpdate) {
  LM_TEXT_OR_RETURN(bstrUrl, url);
  return call(49, kCall, {url, static_cast<uint32_t>(dwHowDeep), static_cast<int32_t>(bStartUpdate)}, nullptr);
}
HRESULT STDMETHODCALLTYPE EnumImgObject::get_CurrentMidi(LONG bSearchParentDirs, BSTR* pVal) {
  return callText(50, kGet, {static_cast<int32_t>(bSearchParentDirs)}, pVal);
}

#undef LM_TEXT_OR_RETURN

}  // namespace lumorel
