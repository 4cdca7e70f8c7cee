#include "platform/win32/com/plug_prot_object.h"

#include <urlmon.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/limits.h"
#include "platform/win32/com/module.h"
#include "platform/win32/com/module_services.h"
#include "protocol/page_request.h"
#include "protocol/plug_prot.h"

namespace lumorel {
namespace {

// The client's sink, kept with a reference of our own while the engine's
// handler may report to it.
class ComProtocolSink final : public ProtocolSink {
 public:
  explicit ComProtocolSink(IInternetProtocolSink* sink) : sink_(sink) { sink_->AddRef(); }
  ~ComProtocolSink() override { sink_->Release(); }

  void ReportProgress(uint32_t statusCode, const char16_t* text) override {
    sink_->ReportProgress(statusCode, reinterpret_cast<LPCWSTR>(text));
  }
  void ReportData(uint32_t flags, uint32_t progress, uint32_t progressMax) override {
    sink_->ReportData(flags, progress, progressMax);
  }
  void ReportResult(HResult result, uint32_t error, const char16_t* text) override {
    sink_->ReportResult(result, error, reinterpret_cast<LPCWSTR>(text));
  }

 private:
  IInternetProtocolSink* const sink_;
};

// Asks the client for its binding information, which the handler only
// needs to be able to have.
class ComBindInfo final : public BindInfo {
 public:
  explicit ComBindInfo(IInternetBindInfo* info) : info_(info) {}
  bool GetBindInfo() override {
    DWORD flags = 0;
    BINDINFO info = {};
    info.cbSize = sizeof info;
    const HRESULT hr = info_->GetBindInfo(&flags, &info);
    // What the client filled in is ours to free.
    if (SUCCEEDED(hr)) ReleaseBindInfo(&info);
    return SUCCEEDED(hr);
  }

 private:
  IInternetBindInfo* const info_;
};

// The handler's worker joins the multi-threaded apartment and holds the
// module loaded for its whole run.
class ModuleWorkerHooks final : public ProtocolWorkerHooks {
 public:
  void workerStarted() override {
    Module::lock();
    initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  }
  void workerEnded() override {
    if (initialised_) CoUninitialize();
    Module::unlock();
  }

 private:
  // Per worker thread: whether its apartment is ours to leave.
  static thread_local bool initialised_;
};

thread_local bool ModuleWorkerHooks::initialised_ = false;

// UTF-16 from the client to the engine's 8-bit text, by the ANSI code page.
// False when the text does not fit the URL buffer.
bool toUrlText(LPCWSTR url, std::string& out) {
  if (!url) return false;
  char buffer[kMaxUrlText];
  const int n = WideCharToMultiByte(CP_ACP, 0, url, -1, buffer, sizeof buffer, nullptr, nullptr);
  if (n <= 0) return false;
  out.assign(buffer, static_cast<std::size_t>(n - 1));
  return true;
}

class PlugProtObject final : public IInternetProtocolInfo, public IInternetProtocol {
 public:
  explicit PlugProtObject(IUnknown* outer)
      : inner_(*this), outer_(outer ? outer : &inner_),
        handler_(PlugProt::create(moduleProtocolEnv())) {}

  IUnknown* inner() { return &inner_; }

  // IUnknown of the faces: the outer object's when aggregated.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return outer_->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

  // IInternetProtocolRoot
  HRESULT STDMETHODCALLTYPE Start(LPCWSTR url, IInternetProtocolSink* sink,
                                  IInternetBindInfo* bindInfo, DWORD flags,
                                  HANDLE_PTR /*reserved*/) override {
    if (!sink) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
    std::string text;
    if (!toUrlText(url, text)) return INET_E_USE_DEFAULT_PROTOCOLHANDLER;
    std::unique_ptr<ComBindInfo> info;
    if (bindInfo) info = std::make_unique<ComBindInfo>(bindInfo);
    return handler_->Start(text, std::make_shared<ComProtocolSink>(sink), info.get(), flags, 0);
  }
  HRESULT STDMETHODCALLTYPE Continue(PROTOCOLDATA* data) override { return handler_->Continue(data); }
  HRESULT STDMETHODCALLTYPE Abort(HRESULT reason, DWORD options) override {
    return handler_->Abort(reason, options);
  }
  HRESULT STDMETHODCALLTYPE Terminate(DWORD options) override { return handler_->Terminate(options); }
  HRESULT STDMETHODCALLTYPE Suspend() override { return handler_->Suspend(); }
  HRESULT STDMETHODCALLTYPE Resume() override { return handler_->Resume(); }

  // IInternetProtocol
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* countRead) override {
    uint32_t n = 0;
    const HRESULT hr = handler_->Read(buffer, count, countRead ? &n : nullptr);
    if (countRead) *countRead = n;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
    uint64_t p = 0;
    return handler_->Seek(move.QuadPart, origin, position ? &p : nullptr);
  }
  HRESULT STDMETHODCALLTYPE LockRequest(DWORD options) override { return handler_->LockRequest(options); }
  HRESULT STDMETHODCALLTYPE UnlockRequest() override { return handler_->UnlockRequest(); }

  // IInternetProtocolInfo
  HRESULT STDMETHODCALLTYPE ParseUrl(LPCWSTR url, PARSEACTION action, DWORD flags, LPWSTR result,
                                     DWORD resultSize, DWORD* resultLength, DWORD) override {
    uint32_t length = 0;
    const HRESULT hr = handler_->ParseUrl(view(url), action, flags,
                                          reinterpret_cast<char16_t*>(result), resultSize, &length);
    if (resultLength) *resultLength = length;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CombineUrl(LPCWSTR base, LPCWSTR relative, DWORD flags, LPWSTR result,
                                       DWORD resultSize, DWORD* resultLength, DWORD) override {
    uint32_t length = 0;
    const HRESULT hr =
        handler_->CombineUrl(view(base), view(relative), flags, reinterpret_cast<char16_t*>(result),
                             resultSize, &length);
    if (resultLength) *resultLength = length;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE CompareUrl(LPCWSTR url1, LPCWSTR url2, DWORD flags) override {
    return handler_->CompareUrl(view(url1), view(url2), flags);
  }
  HRESULT STDMETHODCALLTYPE QueryInfo(LPCWSTR url, QUERYOPTION option, DWORD flags, LPVOID buffer,
                                      DWORD bufferSize, DWORD* sizeOut, DWORD) override {
    uint32_t size = 0;
    const HRESULT hr = handler_->QueryInfo(view(url), option, flags, buffer, bufferSize, &size);
    if (sizeOut) *sizeOut = size;
    return hr;
  }

 private:
  // The object's own IUnknown, which an aggregating outer object holds.
  class Inner final : public IUnknown {
   public:
    explicit Inner(PlugProtObject& self) : self_(self) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      if (!out) return E_POINTER;
      *out = nullptr;
      if (IsEqualIID(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
      } else if (IsEqualIID(iid, IID_IInternetProtocolInfo)) {
        *out = static_cast<IInternetProtocolInfo*>(&self_);
      } else if (IsEqualIID(iid, IID_IInternetProtocolRoot) ||
                 IsEqualIID(iid, IID_IInternetProtocol)) {
        *out = static_cast<IInternetProtocol*>(&self_);
      } else {
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*out)->AddRef();
      return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
      return self_.refs_.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    ULONG STDMETHODCALLTYPE Release() override {
      const ULONG refs = self_.refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
      if (refs == 0) delete &self_;
      return refs;
    }

   private:
    PlugProtObject& self_;
  };

  static std::u16string_view view(LPCWSTR text) {
    if (!text) return {};
    return std::u16string_view(reinterpret_cast<const char16_t*>(text));
  }

  Inner inner_;
  IUnknown* const outer_;
  std::atomic<ULONG> refs_{0};
  ModuleLock moduleLock_;
  // The engine's handler; its worker shares it while it runs.
  std::shared_ptr<PlugProt> handler_;
};

}  // namespace

HRESULT createPlugProt(IUnknown* outer, REFIID iid, void** out) {
  auto* object = new (std::nothrow) PlugProtObject(outer);
  if (!object) return E_OUTOFMEMORY;
  IUnknown* inner = object->inner();
  inner->AddRef();
  const HRESULT hr = inner->QueryInterface(iid, out);
  inner->Release();
  return hr;
}

const ProtocolEnv& moduleProtocolEnv() {
  static ModuleWorkerHooks hooks;
  static const ProtocolEnv env{modulePages(), moduleUrlFetcher(), FileSystem::system(),
                               ThreadFactory::system(), &hooks};
  return env;
}

}  // namespace lumorel
