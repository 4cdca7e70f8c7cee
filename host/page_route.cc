#include "host/page_route.h"

#include <condition_variable>
#include <mutex>

#include "platform/mutex.h"

namespace lumorel {
namespace {

constexpr uint32_t kChunk = 64 * 1024;

// Waits for the handler's result.
class HttpSink final : public ProtocolSink {
 public:
  void ReportProgress(uint32_t, const char16_t*) override {}
  void ReportData(uint32_t, uint32_t, uint32_t) override {}
  void ReportResult(HResult, uint32_t, const char16_t*) override {
    {
      MutexLock lock(mu_);
      done_ = true;
    }
    wake_.notify_all();
  }

  void wait() LM_NO_THREAD_SAFETY_ANALYSIS {
    std::unique_lock<Mutex> lock(mu_);
    wake_.wait(lock, [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return done_; });
  }

 private:
  Mutex mu_;
  std::condition_variable_any wake_;
  bool done_ LM_GUARDED_BY(mu_) = false;
};

class AlwaysBindInfo final : public BindInfo {
 public:
  bool GetBindInfo() override { return true; }
};

}  // namespace

ProducedPage producePage(std::string_view url, const ProtocolEnv& env) {
  ProducedPage page;
  std::shared_ptr<PlugProt> handler = PlugProt::create(env);
  auto sink = std::make_shared<HttpSink>();
  AlwaysBindInfo bindInfo;
  if (handler->Start(url, sink, &bindInfo, 0, 0) != kSOk) {
    (void)handler->Terminate(0);
    return page;
  }
  // The worker reports data and result once the whole page (or the start of
  // a relayed download) is there; every fetch has time-outs of its own.
  sink->wait();
  page.served = true;
  std::string chunk(kChunk, '\0');
  uint32_t got = 0;
  HResult hr = handler->Read(chunk.data(), kChunk, &got);
  if (hr == kSOk) {
    // A page: read it whole.
    while (hr == kSOk) {
      page.bytes.append(chunk.data(), got);
      got = 0;
      hr = handler->Read(chunk.data(), kChunk, &got);
    }
  } else if (got > 0) {
    page.bytes.assign(chunk.data(), got);
    page.relay = handler;
  }
  (void)handler->Terminate(0);
  return page;
}

std::string readMore(PlugProt& relay) {
  std::string chunk(kChunk, '\0');
  uint32_t got = 0;
  (void)relay.Read(chunk.data(), kChunk, &got);
  chunk.resize(got);
  return chunk;
}

}  // namespace lumorel
