// PlugProt, the handler of one "lm:" URL: Start hands it the URL and a sink,
// a worker thread of its own produces the content (a page of the page set,
// a formatted page, or a relayed download) and reports it, and the client
// pulls the bytes with Read. A relayed download may also be written into a
// new file whose path the URL gives.
//
// The same object answers the protocol information (ParseUrl and friends),
// which touches none of its download state.
#ifndef LUMOREL_PROTOCOL_PLUG_PROT_H_
#define LUMOREL_PROTOCOL_PLUG_PROT_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/hresult.h"
#include "platform/mutex.h"
#include "platform/url_fetcher.h"
#include "platform/worker_thread.h"
#include "protocol/protocol_info.h"
#include "protocol/protocol_sink.h"

namespace lumorel {

class PageStore;

// The services a handler uses; all borrowed, outliving every handler and its
// worker (a worker may run on after the client let go of the handler).
struct ProtocolEnv {
  const PageStore& pages;
  UrlFetcher& fetcher;
  FileSystem& fs;
  ThreadFactory& threads;
  ProtocolWorkerHooks* hooks = nullptr;  // none when null
};

// Threads: the client calls Start, Read, Abort, Terminate and the rest from
// its own thread (any one thread, or several in turn); the worker runs once,
// at above-normal priority. The worker shares ownership of the handler while
// it runs, so the last owner (and the destructor, the final release) may be
// the worker thread.
//
// Life: created; started (sink kept, worker running); reported (Read serves
// the content); terminated (sink dropped; what remains can still be read);
// aborted (Read gives nothing; a partly written save file is gone);
// destroyed.
class PlugProt : public std::enable_shared_from_this<PlugProt> {
 public:
  static std::shared_ptr<PlugProt> create(const ProtocolEnv& env);

  // The final release: the sink is let go, a save file is closed and kept.
  ~PlugProt();

  PlugProt(const PlugProt&) = delete;
  PlugProt& operator=(const PlugProt&) = delete;

  // Begins producing `url` (the engine's 8-bit text). Keeps `sink` and
  // starts the worker, which reports to it; `bindInfo` is asked during the
  // call only. Returns kSOk when the worker runs, else
  // kInetEUseDefaultProtocolHandler, starting nothing: no sink, a URL that
  // does not begin with "lm:" (any case) or is too long for the URL text
  // (kMaxUrlText bytes with its NUL) or holds a NUL, no bind information or
  // a failing GetBindInfo, a handler that already has its worker, or a
  // worker that could not be made (then after ReportResult(kEFail, 0)).
  // The read position goes back to 0 once the URL fits; after a refusal
  // past the scheme check the new sink is kept until Terminate.
  HResult Start(std::string_view url, std::shared_ptr<ProtocolSink> sink, BindInfo* bindInfo,
                uint32_t flags, uint32_t reserved);

  // Gives up to `count` bytes into `buffer` and their number in `*countRead`
  // (when given). After Abort: kSFalse, nothing given.
  // A page: kSOk while bytes come; kSFalse when none are left (or `count` is
  // 0). A relayed download: always kSFalse; `*countRead` 0 marks its end.
  // The first Read of a relay whose save path is a picture name creates the
  // save file (never over an existing name; no later Read tries again after
  // a failure) and every Read appends what it gave. A download that fails
  // part way, or a save file that cannot be written, leaves no file.
  HResult Read(void* buffer, uint32_t count, uint32_t* countRead);

  // Any time after Start: an open save file is closed and deleted, and Read
  // gives nothing more; a relay the worker is starting is dropped. Does not
  // wait for the worker. Always kSOk.
  HResult Abort(HResult reason, uint32_t options);

  // Lets go of the kept sink (a running worker keeps reporting to the
  // reference it took). An open save file stays open. Always kSOk.
  HResult Terminate(uint32_t options);

  // Not offered: kENotImpl, nothing happens.
  HResult Continue(const void* protocolData);
  HResult Suspend();
  HResult Resume();
  HResult Seek(int64_t move, uint32_t origin, uint64_t* newPosition);
  HResult LockRequest(uint32_t options);
  HResult UnlockRequest();

  // Protocol information; see protocol_info.h. Any thread, concurrently.
  HResult ParseUrl(std::u16string_view url, uint32_t action, uint32_t flags, char16_t* result,
                   uint32_t resultSize, uint32_t* resultLength) const {
    return lumorel::ParseUrl(url, action, flags, result, resultSize, resultLength);
  }
  HResult CombineUrl(std::u16string_view baseUrl, std::u16string_view relativeUrl,
                     uint32_t flags, char16_t* result, uint32_t resultSize,
                     uint32_t* resultLength) const {
    return lumorel::CombineUrl(baseUrl, relativeUrl, flags, result, resultSize, resultLength);
  }
  HResult CompareUrl(std::u16string_view url1, std::u16string_view url2, uint32_t flags) const {
    return lumorel::CompareUrl(url1, url2, flags);
  }
  HResult QueryInfo(std::u16string_view url, uint32_t option, uint32_t flags, void* buffer,
                    uint32_t bufferSize, uint32_t* sizeOut) const {
    return lumorel::QueryInfo(url, option, flags, buffer, bufferSize, sizeOut);
  }

 private:
  explicit PlugProt(const ProtocolEnv& env);

  // The worker's work for `url`, reported to the sink it takes.
  void runWorker(const std::string& url);
  // Relays a download's bytes into the caller's buffer and the save file.
  HResult readRelay(char* buffer, uint32_t count, uint32_t* countRead) LM_REQUIRES(mu_);
  // Closes the save file and deletes it from disk.
  void discardSaveFile() LM_REQUIRES(mu_);

  bool aborted() const {
    // Relaxed is enough: the flag only asks to stop early, and Read, which
    // must not write after Abort, looks at it again under mu_, which Abort
    // takes after setting it.
    return aborted_.load(std::memory_order_relaxed);
  }

  // Constant after construction.
  const ProtocolEnv env_;

  std::atomic<bool> aborted_{false};

  // The sink has a lock of its own so that Terminate never waits for a Read
  // that waits for the network.
  Mutex sinkMu_;
  std::shared_ptr<ProtocolSink> sink_ LM_GUARDED_BY(sinkMu_);

  Mutex mu_;
  std::unique_ptr<WorkerThread> worker_ LM_GUARDED_BY(mu_);
  // Content, set by the worker before it reports the data.
  std::string_view pageData_ LM_GUARDED_BY(mu_);
  std::optional<std::string> formattedText_ LM_GUARDED_BY(mu_);
  uint32_t dataSize_ LM_GUARDED_BY(mu_) = 0;
  uint32_t readPosition_ LM_GUARDED_BY(mu_) = 0;
  std::unique_ptr<FetchStream> relay_ LM_GUARDED_BY(mu_);
  std::string savePath_ LM_GUARDED_BY(mu_);
  std::unique_ptr<WritableFile> saveFile_ LM_GUARDED_BY(mu_);
};

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PLUG_PROT_H_
