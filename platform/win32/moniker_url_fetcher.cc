#include "platform/win32/moniker_url_fetcher.h"

#include <windows.h>
#include <urlmon.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <string>

#include "platform/limits.h"
#include "platform/mutex.h"
#include "platform/win32/win32_text.h"
#include "platform/worker_thread.h"

namespace lumorel {
namespace {

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool hasWebScheme(std::wstring_view url) {
  return startsWithNoCase(url, L"http://") || startsWithNoCase(url, L"https://");
}

// What the download thread and the reader share; outlives whichever lets go
// last.
struct Transfer {
  Mutex mu;
  std::condition_variable_any changed;
  // Bytes received and not read yet start at pending[taken].
  std::string pending LM_GUARDED_BY(mu);
  std::size_t taken LM_GUARDED_BY(mu) = 0;
  bool done LM_GUARDED_BY(mu) = false;
  bool failed LM_GUARDED_BY(mu) = false;
  // Set by the reader when it cancels or goes; read by the download thread
  // at every notification. Relaxed is enough: the flag orders nothing else,
  // and the waits that must see it take `mu`.
  std::atomic<bool> abandoned{false};

  std::size_t unread() const LM_REQUIRES(mu) { return pending.size() - taken; }

  void finish(bool ok) {
    MutexLock lock(mu);
    if (done) return;
    done = true;
    failed = !ok;
    changed.notify_all();
  }
};

// The bind status callback of one download: takes the bytes as the moniker
// offers them and tells the binding to stop once the reader has gone or the
// server answered with an error. Runs on the download thread only.
// COM interfaces have no virtual destructor: the object deletes itself in
// Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class BindCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit BindCallback(std::shared_ptr<Transfer> transfer) : transfer_(std::move(transfer)) {}

  // Drains whatever `stream` has now into the transfer; false when the
  // download is to stop.
  bool drain(IStream* stream) {
    char buffer[16384];
    while (!stopping()) {
      ULONG got = 0;
      const HRESULT hr = stream->Read(buffer, sizeof buffer, &got);
      if (got > 0 && !deliver(buffer, got)) return false;
      if (hr == E_PENDING) return true;
      if (FAILED(hr)) return false;
      if (hr == S_FALSE || got == 0) {
        ended_ = true;
        return true;
      }
    }
    return false;
  }

  // Any final answer but a success: an error, or a redirect the moniker
  // would not follow (to another scheme).
  bool httpError() const { return httpStatus_ != 0 && (httpStatus_ < 200 || httpStatus_ >= 300); }
  bool ended() const { return ended_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(iid, IID_IHttpNegotiate)) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG status, LPCWSTR text) override {
    if (status == BINDSTATUS_REDIRECTING && (!text || !hasWebScheme(text))) redirectRefused_ = true;
    return stopping() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    if (!flags || !info) return E_INVALIDARG;
    // Always from the server, never kept in the cache: the bytes go to the
    // reader, and a relayed download is the user's own copy.
    *flags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE;
    const ULONG size = info->cbSize;
    std::memset(info, 0, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (stopping()) return E_ABORT;
    if (medium && medium->tymed == TYMED_ISTREAM && medium->pstm && !drain(medium->pstm))
      return E_ABORT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD,
                                                 LPWSTR* additional) override {
    if (additional) *additional = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additional) override {
    if (additional) *additional = nullptr;
    httpStatus_ = status;
    return httpError() ? E_ABORT : S_OK;
  }

 private:
  ~BindCallback() = default;

  bool stopping() const {
    return redirectRefused_ || httpError() ||
           transfer_->abandoned.load(std::memory_order_relaxed);
  }

  // Hands bytes to the reader, waiting while too many wait for it already;
  // false when the reader has gone.
  bool deliver(const char* data, std::size_t n) {
    Transfer& t = *transfer_;
    std::unique_lock<Mutex> lock(t.mu);
    t.changed.wait(lock, [&t]() LM_REQUIRES(t.mu) {
      return t.unread() < MonikerUrlFetcher::kMaxPendingBytes ||
             t.abandoned.load(std::memory_order_relaxed);
    });
    if (t.abandoned.load(std::memory_order_relaxed)) return false;
    t.pending.append(data, n);
    t.changed.notify_all();
    return true;
  }

  std::atomic<ULONG> refs_{1};
  const std::shared_ptr<Transfer> transfer_;
  DWORD httpStatus_ = 0;
  bool redirectRefused_ = false;
  bool ended_ = false;
};
#pragma GCC diagnostic pop

// Holds a COM reference and releases it.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// The download thread's body: binds `url` to a stream synchronously (the
// moniker waits for the network on this thread) and drains it to the end.
void download(const std::wstring& url, const std::shared_ptr<Transfer>& transfer) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  bool ok = false;
  {
    ComRef<IMoniker> moniker;
    ComRef<IBindCtx> context;
    auto* callback = new BindCallback(transfer);
    if (SUCCEEDED(CreateURLMoniker(nullptr, url.c_str(), moniker.out())) &&
        SUCCEEDED(CreateBindCtx(0, context.out())) &&
        SUCCEEDED(RegisterBindStatusCallback(context.get(), callback, nullptr, 0))) {
      ComRef<IStream> stream;
      const HRESULT bound = moniker->BindToStorage(context.get(), nullptr, IID_IStream,
                                                   reinterpret_cast<void**>(stream.out()));
      // What OnDataAvailable did not take yet is read here to the end.
      ok = SUCCEEDED(bound) && stream.get() && !callback->httpError() &&
           (callback->ended() || callback->drain(stream.get())) && callback->ended();
      RevokeBindStatusCallback(context.get(), callback);
    }
    callback->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  transfer->finish(ok);
}

class MonikerStream final : public FetchStream {
 public:
  MonikerStream(std::shared_ptr<Transfer> transfer, CancelCheck cancelled, uint32_t deadline)
      : transfer_(std::move(transfer)), cancelled_(std::move(cancelled)), deadline_(deadline) {}

  ~MonikerStream() override { abandon(); }

  MonikerStream(const MonikerStream&) = delete;
  MonikerStream& operator=(const MonikerStream&) = delete;

  // Waits until the body begins or the download ends; false when it failed
  // (or was cancelled) before any byte came.
  bool waitForBody() {
    Transfer& t = *transfer_;
    std::unique_lock<Mutex> lock(t.mu);
    if (!waitForData(lock)) return false;
    return t.unread() > 0 || !t.failed;
  }

  std::optional<std::size_t> read(char* buffer, std::size_t n) override {
    if (n == 0) return 0;
    Transfer& t = *transfer_;
    std::unique_lock<Mutex> lock(t.mu);
    if (!waitForData(lock)) return std::nullopt;
    if (t.unread() == 0) return t.failed ? std::nullopt : std::optional<std::size_t>(0);
    const std::size_t take = std::min(n, t.unread());
    std::memcpy(buffer, t.pending.data() + t.taken, take);
    t.taken += take;
    if (t.taken == t.pending.size()) {
      t.pending.clear();
      t.taken = 0;
    }
    t.changed.notify_all();  // room again for a download that waits
    return take;
  }

 private:
  // Waits, in slices, until bytes wait or the download ended. False, with
  // the download told to stop, when the cancel check says so or time is up.
  bool waitForData(std::unique_lock<Mutex>& lock) LM_REQUIRES(transfer_->mu) {
    Transfer& t = *transfer_;
    while (t.unread() == 0 && !t.done) {
      if ((cancelled_ && cancelled_()) ||
          static_cast<int32_t>(GetTickCount() - deadline_) >= 0) {
        lock.unlock();
        abandon();
        lock.lock();
        return false;
      }
      t.changed.wait_for(lock, std::chrono::milliseconds(MonikerUrlFetcher::kPollSliceMs));
    }
    return true;
  }

  void abandon() {
    transfer_->abandoned.store(true, std::memory_order_relaxed);
    MutexLock lock(transfer_->mu);
    transfer_->changed.notify_all();
  }

  const std::shared_ptr<Transfer> transfer_;
  const CancelCheck cancelled_;
  const uint32_t deadline_;  // tick count at which the download is given up
};

}  // namespace

MonikerUrlFetcher::MonikerUrlFetcher(MonikerFetchLimits limits) : limits_(limits) {}

std::unique_ptr<FetchStream> MonikerUrlFetcher::fetch(std::string_view url, CancelCheck cancelled) {
  if (url.size() >= kMaxUrl) return nullptr;
  std::optional<std::wstring> wide = ansiToWide(url);
  if (!wide || !hasWebScheme(*wide)) return nullptr;
  if (cancelled && cancelled()) return nullptr;
  auto transfer = std::make_shared<Transfer>();
  // The thread's handle goes at once: the thread runs on by itself and
  // holds what it needs.
  std::unique_ptr<WorkerThread> thread = ThreadFactory::system().start(
      [transfer, address = std::move(*wide)] { download(address, transfer); },
      ThreadPriority::kNormal);
  if (!thread) return nullptr;
  auto stream = std::make_unique<MonikerStream>(transfer, std::move(cancelled),
                                                GetTickCount() + limits_.totalTimeoutMs);
  if (!stream->waitForBody()) return nullptr;
  return stream;
}

}  // namespace lumorel
