#include "protocol/plug_prot.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "catalogue/picture_name.h"
#include "protocol/page_production.h"
#include "protocol/page_request.h"
#include "protocol/protocol_codes.h"

namespace lumorel {

std::shared_ptr<PlugProt> PlugProt::create(const ProtocolEnv& env) {
  return std::shared_ptr<PlugProt>(new PlugProt(env));
}

PlugProt::PlugProt(const ProtocolEnv& env) : env_(env) {}

PlugProt::~PlugProt() {
  aborted_.store(true, std::memory_order_relaxed);
  // The last owner is alone here; the lock is taken for the analysis only.
  MutexLock lock(mu_);
  if (saveFile_) {
    // The file stays: it holds what the client read. A close that fails
    // cannot be told to anyone now.
    (void)saveFile_->close();
    saveFile_.reset();
  }
}

HResult PlugProt::Start(std::string_view url, std::shared_ptr<ProtocolSink> sink,
                        BindInfo* bindInfo, uint32_t /*flags*/, uint32_t /*reserved*/) {
  if (!sink) return kInetEUseDefaultProtocolHandler;
  // A URL that does not fit the URL text is refused, never cut into another.
  if (url.size() >= kMaxUrlText || url.find('\0') != std::string_view::npos)
    return kInetEUseDefaultProtocolHandler;
  {
    MutexLock lock(mu_);
    readPosition_ = 0;
  }
  if (url.size() < 3 || !endsWithNoCase(url.substr(0, 3), "lm:"))
    return kInetEUseDefaultProtocolHandler;
  std::shared_ptr<ProtocolSink> replaced;  // let go outside the lock
  {
    MutexLock lock(sinkMu_);
    replaced = std::exchange(sink_, sink);
  }
  if (!bindInfo || !bindInfo->GetBindInfo()) return kInetEUseDefaultProtocolHandler;
  {
    MutexLock lock(mu_);
    if (worker_) return kInetEUseDefaultProtocolHandler;
    // The URL goes to the worker by value, so a refused later Start cannot
    // change what the worker reads.
    worker_ = env_.threads.start(
        [self = shared_from_this(), url = std::string(url), hooks = env_.hooks]() mutable {
          if (hooks) hooks->workerStarted();
          self->runWorker(url);
          self.reset();  // may destroy the handler, here on its worker
          if (hooks) hooks->workerEnded();
        },
        ThreadPriority::kAboveNormal);
    if (worker_) return kSOk;
  }
  // The factory does not say why; there is no system error code to give.
  sink->ReportResult(kEFail, 0, nullptr);
  return kInetEUseDefaultProtocolHandler;
}

void PlugProt::runWorker(const std::string& url) {
  std::shared_ptr<ProtocolSink> sink;
  {
    MutexLock lock(sinkMu_);
    sink = sink_;
  }
  if (!sink) return;
  sink->ReportProgress(kBindStatusSendingRequest, nullptr);
  PageContent content = produceContent(url, ProductionEnv{env_.pages, env_.fetcher},
                                       [this] { return aborted(); });
  uint32_t size;
  {
    MutexLock lock(mu_);
    // An Abort that came while the download started keeps no stream.
    if (aborted()) content.relay.reset();
    pageData_ = content.pageData;
    dataSize_ = content.dataSize();
    formattedText_ = std::move(content.formattedText);
    relay_ = std::move(content.relay);
    if (relay_) savePath_ = std::move(content.savePath);
    size = dataSize_;
  }
  sink->ReportProgress(kBindStatusEndDownloadData, nullptr);
  sink->ReportData(kBscfLastDataNotification | kBscfDataFullyAvailable, size, size);
  sink->ReportResult(content.result, 0, nullptr);
}

HResult PlugProt::Read(void* buffer, uint32_t count, uint32_t* countRead) {
  if (aborted()) return kSFalse;
  MutexLock lock(mu_);
  if (aborted()) return kSFalse;  // Abort came while this Read waited
  if (!buffer) count = 0;
  if (relay_) return readRelay(static_cast<char*>(buffer), count, countRead);
  if (count == 0) return kSFalse;
  const char* source = formattedText_ ? formattedText_->c_str() : pageData_.data();
  if (!source) return kSFalse;
  const uint32_t n = std::min(count, dataSize_ - readPosition_);
  if (n == 0) return kSFalse;
  std::memcpy(buffer, source + readPosition_, n);
  if (countRead) *countRead = n;
  readPosition_ += n;
  return kSOk;
}

HResult PlugProt::readRelay(char* buffer, uint32_t count, uint32_t* countRead) {
  if (!savePath_.empty() && !saveFile_ && isPictureName(savePath_)) {
    saveFile_ = env_.fs.createNewFile(savePath_.c_str());
    if (!saveFile_) savePath_.clear();  // no later Read tries again
  }
  if (count == 0) {
    // Nothing asked, nothing read: the stream is not waited for.
    if (countRead) *countRead = 0;
    return kSFalse;
  }
  std::optional<std::size_t> got = relay_->read(buffer, count);
  const uint32_t n = static_cast<uint32_t>(got.value_or(0));
  if (countRead) *countRead = n;
  if (saveFile_) {
    // A download that failed part way, or bytes that could not be written,
    // would leave a cut picture behind: the file goes instead.
    if (!got || (n > 0 && !saveFile_->append(buffer, n))) discardSaveFile();
  }
  return kSFalse;
}

void PlugProt::discardSaveFile() {
  // The file this handler made goes, through the file itself: whatever has
  // taken its name or its folder's name since stays.
  (void)saveFile_->discard();
  saveFile_.reset();
  savePath_.clear();
}

HResult PlugProt::Abort(HResult /*reason*/, uint32_t /*options*/) {
  // The flag first: a relay waiting for the network stops at it, and a Read
  // that waits for the lock sees it and writes nothing after this.
  aborted_.store(true, std::memory_order_relaxed);
  MutexLock lock(mu_);
  if (saveFile_) discardSaveFile();
  return kSOk;
}

HResult PlugProt::Terminate(uint32_t /*options*/) {
  std::shared_ptr<ProtocolSink> released;
  {
    MutexLock lock(sinkMu_);
    released = std::move(sink_);
  }
  return kSOk;  // `released` lets go outside the lock
}

HResult PlugProt::Continue(const void*) { return kENotImpl; }
HResult PlugProt::Suspend() { return kENotImpl; }
HResult PlugProt::Resume() { return kENotImpl; }
HResult PlugProt::Seek(int64_t, uint32_t, uint64_t*) { return kENotImpl; }
HResult PlugProt::LockRequest(uint32_t) { return kENotImpl; }
HResult PlugProt::UnlockRequest() { return kENotImpl; }

}  // namespace lumorel
