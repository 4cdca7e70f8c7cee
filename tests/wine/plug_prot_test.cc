// The "lm:" handler driven directly through its protocol interfaces, as the
// URL machinery drives it: what it refuses, the order of its reports, and
// reading a page byte by byte.
#include <windows.h>

#include <urlmon.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "lmcntl.h"  // generated from resources/lmcntl.idl
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

// Records the handler's reports, which come on its worker thread.
class RecordingSink final : public IInternetProtocolSink, public IInternetBindInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInternetProtocolSink)) {
      *out = static_cast<IInternetProtocolSink*>(this);
    } else if (IsEqualIID(iid, IID_IInternetBindInfo)) {
      *out = static_cast<IInternetBindInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // on the stack

  HRESULT STDMETHODCALLTYPE Switch(PROTOCOLDATA*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReportProgress(ULONG status, LPCWSTR) override {
    record("progress " + std::to_string(status));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReportData(DWORD flags, ULONG progress, ULONG max) override {
    record("data " + std::to_string(flags) + " " + std::to_string(progress) + "/" +
           std::to_string(max));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ReportResult(HRESULT result, DWORD, LPCWSTR) override {
    record("result " + std::to_string(result));
    done = true;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_ASYNCHRONOUS;
    const ULONG size = info->cbSize;
    std::memset(info, 0, size);
    info->cbSize = size;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindString(ULONG, LPOLESTR*, ULONG, ULONG*) override {
    return E_NOTIMPL;
  }

  std::vector<std::string> reports() {
    std::lock_guard<std::mutex> lock(mu_);
    return reports_;
  }
  std::atomic<bool> done{false};

 private:
  void record(std::string report) {
    std::lock_guard<std::mutex> lock(mu_);
    reports_.push_back(std::move(report));
  }
  std::atomic<ULONG> refs_{1};
  std::mutex mu_;
  std::vector<std::string> reports_;
};

IInternetProtocol* makeHandler() {
  IInternetProtocol* handler = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_PlugProt, nullptr, CLSCTX_INPROC_SERVER, IID_IInternetProtocol,
                             reinterpret_cast<void**>(&handler)),
            S_OK);
  return handler;
}

TEST(PlugProt, RefusesWhatIsNotItsOwn) {
  IInternetProtocol* handler = makeHandler();
  ASSERT_NE(handler, nullptr);
  RecordingSink sink;
  EXPECT_EQ(handler->Start(L"http://example.com/", &sink, &sink, 0, 0),
            INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(handler->Start(L"lm:main", nullptr, &sink, 0, 0), INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(handler->Start(L"lm:main", &sink, nullptr, 0, 0), INET_E_USE_DEFAULT_PROTOCOLHANDLER);
  EXPECT_EQ(handler->Continue(nullptr), E_NOTIMPL);
  EXPECT_EQ(handler->Suspend(), E_NOTIMPL);
  EXPECT_EQ(handler->Resume(), E_NOTIMPL);
  LARGE_INTEGER move = {};
  EXPECT_EQ(handler->Seek(move, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(handler->LockRequest(0), E_NOTIMPL);
  EXPECT_EQ(handler->UnlockRequest(), E_NOTIMPL);
  EXPECT_EQ(handler->Terminate(0), S_OK);
  handler->Release();
}

TEST(PlugProt, ReportsAPageWholeAndGivesItByteByByte) {
  const auto page = readFile(folderFromEnvironment("LUMOREL_PAGES_DIR") + "\\keys.htm");
  ASSERT_TRUE(page);
  IInternetProtocol* handler = makeHandler();
  ASSERT_NE(handler, nullptr);
  RecordingSink sink;
  ASSERT_EQ(handler->Start(L"LM:keys", &sink, &sink, 0, 0), S_OK);
  EXPECT_EQ(handler->Start(L"lm:keys", &sink, &sink, 0, 0), INET_E_USE_DEFAULT_PROTOCOLHANDLER)
      << "a second Start";
  ASSERT_TRUE(pumpUntil([&] { return sink.done.load(); }));
  const std::string size = std::to_string(page->size());
  EXPECT_EQ(sink.reports(), (std::vector<std::string>{
                                "progress 11", "progress 6", "data 12 " + size + "/" + size,
                                "result 0"}));
  char byte = 0;
  ULONG read = 99;
  EXPECT_EQ(handler->Read(&byte, 0, &read), S_FALSE);
  std::string got;
  while (handler->Read(&byte, 1, &read) == S_OK) {
    ASSERT_EQ(read, 1u);
    got += byte;
  }
  EXPECT_EQ(got, *page);
  EXPECT_EQ(handler->Read(&byte, 1, &read), S_FALSE) << "past the end";
  EXPECT_EQ(handler->Terminate(0), S_OK);
  handler->Release();
}

}  // namespace
}  // namespace lumorel::wine
