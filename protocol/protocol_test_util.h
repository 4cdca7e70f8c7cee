// What the protocol's tests share: a small page set of their own, a sink that
// records what the handler reports, and forwarding fakes.
#ifndef LUMOREL_PROTOCOL_PROTOCOL_TEST_UTIL_H_
#define LUMOREL_PROTOCOL_PROTOCOL_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/page_store.h"
#include "platform/posix/curl_url_fetcher.h"
#include "platform/worker_thread.h"
#include "protocol/protocol_sink.h"

namespace lumorel {

// Pages by name, found without regard to ASCII case.
class MapPageStore final : public PageStore {
 public:
  void add(const std::string& name, std::string bytes, bool formatted = false) {
    pages_[lower(name)] = {std::move(bytes), formatted};
  }

  std::optional<StoredPage> find(std::string_view name) const override {
    auto it = pages_.find(lower(std::string(name)));
    if (it == pages_.end()) return std::nullopt;
    return StoredPage{it->second.first, it->second.second};
  }

 private:
  static std::string lower(std::string s) {
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  }
  std::map<std::string, std::pair<std::string, bool>> pages_;
};

// One notification as the sink saw it.
struct Report {
  enum Kind { kProgress, kData, kResult } kind;
  int64_t a = 0, b = 0, c = 0;  // the call's numbers, in order
  bool operator==(const Report&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Report& r) {
  static const char* kNames[] = {"progress", "data", "result"};
  return out << kNames[r.kind] << "(" << r.a << ", " << r.b << ", " << r.c << ")";
}

// Records every notification; waitForResult lets a test wait for the end.
class RecordingSink final : public ProtocolSink {
 public:
  void ReportProgress(uint32_t statusCode, const char16_t* text) override {
    EXPECT_EQ(text, nullptr);
    add({Report::kProgress, statusCode});
  }
  void ReportData(uint32_t flags, uint32_t progress, uint32_t progressMax) override {
    add({Report::kData, flags, progress, progressMax});
  }
  void ReportResult(HResult result, uint32_t error, const char16_t* text) override {
    EXPECT_EQ(text, nullptr);
    add({Report::kResult, result, error});
  }

  // Waits at most 10 s for ReportResult; false when it did not come.
  bool waitForResult() {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [this] {
      return !reports_.empty() && reports_.back().kind == Report::kResult;
    });
  }

  std::vector<Report> reports() {
    std::lock_guard<std::mutex> lock(mu_);
    return reports_;
  }

 private:
  void add(Report r) {
    std::lock_guard<std::mutex> lock(mu_);
    reports_.push_back(r);
    cv_.notify_all();
  }
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Report> reports_;
};

// Gives binding information, or refuses to when told.
class FixedBindInfo final : public BindInfo {
 public:
  explicit FixedBindInfo(bool ok = true) : ok_(ok) {}
  bool GetBindInfo() override { return ok_; }

 private:
  bool ok_;
};

// The real thread factory, counting the threads it starts; told to, it
// makes none.
class CountingThreads final : public ThreadFactory {
 public:
  std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                      ThreadPriority priority) override {
    if (fail) return nullptr;
    started.fetch_add(1, std::memory_order_relaxed);
    lastPriority = priority;
    return ThreadFactory::system().start(std::move(body), priority);
  }
  bool fail = false;
  std::atomic<int> started{0};
  ThreadPriority lastPriority = ThreadPriority::kNormal;
};

// The real fetcher, counting the addresses it is asked for.
class CountingFetcher final : public UrlFetcher {
 public:
  explicit CountingFetcher(CurlFetchLimits limits = {}) : real_(limits) {}
  std::unique_ptr<FetchStream> fetch(std::string_view url, CancelCheck cancelled) override {
    {
      std::lock_guard<std::mutex> lock(mu_);
      asked_.emplace_back(url);
    }
    return real_.fetch(url, std::move(cancelled));
  }
  std::vector<std::string> asked() {
    std::lock_guard<std::mutex> lock(mu_);
    return asked_;
  }

 private:
  CurlUrlFetcher real_;
  std::mutex mu_;
  std::vector<std::string> asked_;
};

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PROTOCOL_TEST_UTIL_H_
