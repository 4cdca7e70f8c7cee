// The "lm:" pages read through the system's URL machinery as a browser
// reads them: a URL moniker bound asynchronously with a status callback of
// our own, its bytes compared with the page files and with what the Linux
// browser host serves for the same address.
#include <windows.h>

#include <urlmon.h>

#include <cstring>

#include <gtest/gtest.h>

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

// The bytes the system's URL machinery gives for `url`.
std::optional<std::string> load(const std::string& url) {
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

TEST(Pages, ServesThePageFilesByName) {
  const std::string pages = folderFromEnvironment("LUMOREL_PAGES_DIR");
  ASSERT_FALSE(pages.empty());
  const struct {
    const char* url;
    const char* file;
  } cases[] = {
      {"lm:main", "main.htm"},
      {"LM:Main", "main.htm"},
      {"lm:utils", "utils.htm"},
      {"lm:logo.gif", "logo.gif"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const auto want = readFile(pages + "\\" + c.file);
    ASSERT_TRUE(want);
    const auto got = load(c.url);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *want);
  }
}

TEST(Pages, GivesTheSameBytesAsTheBrowserHost) {
  // The host's answers, one file per address, written by the test runner:
  // `list.txt` names "address<TAB>file" per line.
  const std::string folder = folderFromEnvironment("LUMOREL_HOST_PAGES");
  if (folder.empty()) GTEST_SKIP() << "no host answers given";
  const auto list = readFile(folder + "\\list.txt");
  ASSERT_TRUE(list);
  std::size_t start = 0;
  int compared = 0;
  while (start < list->size()) {
    std::size_t end = list->find('\n', start);
    if (end == std::string::npos) end = list->size();
    const std::string line = list->substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string url = line.substr(0, tab);
    SCOPED_TRACE(url);
    const auto want = readFile(folder + "\\" + line.substr(tab + 1));
    ASSERT_TRUE(want);
    const auto got = load(url);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *want);
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace lumorel::wine
