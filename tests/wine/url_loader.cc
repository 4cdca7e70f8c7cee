#include "tests/wine/url_loader.h"

#include <windows.h>

#include <urlmon.h>

#include <cstring>

#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

// Collects a binding's bytes until it stops.
class Download final : public IBindStatusCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // on the stack

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
    result_ = result;
    done = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION |
             BINDF_NOWRITECACHE;
    const ULONG size = info->cbSize;
    std::memset(info, 0, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (medium && medium->tymed == TYMED_ISTREAM && medium->pstm) {
      char buffer[4096];
      ULONG read = 0;
      while (SUCCEEDED(medium->pstm->Read(buffer, sizeof buffer, &read)) && read > 0) {
        bytes.append(buffer, read);
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  bool done = false;
  std::string bytes;
  HRESULT result() const { return result_; }

 private:
  ULONG refs_ = 1;
  HRESULT result_ = E_PENDING;
};

}  // namespace

std::optional<std::string> loadUrl(const std::string& url) {
  IMoniker* moniker = nullptr;
  if (FAILED(CreateURLMonikerEx(nullptr, wide(url).c_str(), &moniker, URL_MK_UNIFORM))) {
    return std::nullopt;
  }
  Download download;
  IBindCtx* context = nullptr;
  if (FAILED(CreateAsyncBindCtx(0, &download, nullptr, &context))) {
    moniker->Release();
    return std::nullopt;
  }
  IStream* stream = nullptr;
  const HRESULT hr = moniker->BindToStorage(context, nullptr, IID_IStream,
                                            reinterpret_cast<void**>(&stream));
  const bool finished = SUCCEEDED(hr) && pumpUntil([&] { return download.done; });
  if (stream) stream->Release();
  context->Release();
  moniker->Release();
  if (!finished || FAILED(download.result())) return std::nullopt;
  return download.bytes;
}

}  // namespace lumorel::wine
