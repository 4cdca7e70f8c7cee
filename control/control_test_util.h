// What the control's tests share: an EnumImg on the real POSIX platform, made,
// called and destroyed on a UI thread of its own as script would use it, and
// small fakes for what has no POSIX implementation or must be forced.
#ifndef LUMOREL_CONTROL_CONTROL_TEST_UTIL_H_
#define LUMOREL_CONTROL_CONTROL_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue_test_util.h"
#include "control/dispatcher.h"
#include "control/enum_img.h"
#include "control/event_sink.h"
#include "platform/host_window.h"
#include "platform/posix/sqlite_preference_backend.h"
#include "platform/subscription_manager.h"

namespace lumorel {

// The events that reached the sinks, as "sink:dispid", in order, and whether
// any reached a sink off the UI thread.
class EventLog {
 public:
  void record(const std::string& entry, bool onUiThread) {
    std::lock_guard<std::mutex> lock(mu_);
    entries_.push_back(entry);
    if (!onUiThread) ++offThread_;
    cv_.notify_all();
  }

  // Waits until `entry` has been recorded `times` times; false after 10 s.
  bool waitFor(const std::string& entry, std::size_t times = 1) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [&] {
      return static_cast<std::size_t>(std::count(entries_.begin(), entries_.end(), entry)) >=
             times;
    });
  }

  std::size_t count(const std::string& entry) {
    std::lock_guard<std::mutex> lock(mu_);
    return static_cast<std::size_t>(std::count(entries_.begin(), entries_.end(), entry));
  }

  std::vector<std::string> entries() {
    std::lock_guard<std::mutex> lock(mu_);
    return entries_;
  }

  int offThread() {
    std::lock_guard<std::mutex> lock(mu_);
    return offThread_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::string> entries_;
  int offThread_ = 0;
};

// A page's handlers: records each event under the sink's name.
class RecordingSink : public EventSink {
 public:
  RecordingSink(std::string name, EventLog& log, const EventLoop& loop)
      : name_(std::move(name)), log_(log), loop_(loop) {}
  HResult invoke(int32_t dispid) override {
    log_.record(name_ + ":" + std::to_string(dispid), loop_.isCurrent());
    return kSOk;
  }

 private:
  const std::string name_;
  EventLog& log_;
  const EventLoop& loop_;
};

// A host window with the placement a test gives it.
class FakeHostWindow final : public HostWindow {
 public:
  std::optional<int32_t> width() override { return width_; }
  std::optional<int32_t> height() override { return height_; }
  std::optional<int32_t> top() override { return top_; }
  std::optional<int32_t> left() override { return left_; }
  bool setHeight(int32_t height) override {
    resizes.push_back(height);
    height_ = height;
    return true;
  }
  bool quit() override {
    ++quits;
    return quitWorks;
  }

  std::optional<int32_t> width_ = 800, height_ = 600, top_ = 0, left_ = -4;
  std::vector<int32_t> resizes;
  int quits = 0;
  bool quitWorks = true;
};

// The real preference store in a temporary folder, which also notes every
// write in order.
class RecordingPreferences final : public PreferenceBackend {
 public:
  explicit RecordingPreferences(const TempFolder& folder)
      : real_(folder / "config/lumorel", folder / "run") {}

  std::optional<std::string> readValue(std::string_view key) override {
    return real_.readValue(key);
  }
  bool writeValue(std::string_view key, std::string_view value) override {
    note(std::string(key) + "=" + std::string(value));
    return real_.writeValue(key, value);
  }
  std::optional<std::string> readFile(std::string_view name) override {
    return real_.readFile(name);
  }
  bool replaceFile(std::string_view name, std::string_view bytes) override {
    note("file " + std::string(name));
    return real_.replaceFile(name, bytes);
  }
  bool removeFile(std::string_view name) override { return real_.removeFile(name); }

  std::vector<std::string> writes() {
    std::lock_guard<std::mutex> lock(mu_);
    return writes_;
  }

  SqlitePreferenceBackend& real() { return real_; }

 private:
  void note(std::string write) {
    std::lock_guard<std::mutex> lock(mu_);
    writes_.push_back(std::move(write));
  }

  SqlitePreferenceBackend real_;
  std::mutex mu_;
  std::vector<std::string> writes_;
};

// The UI thread of an EventLoop whose timer can be made to fail, and which
// counts the timer calls.
class ForwardingUiThread final : public UiThread {
 public:
  explicit ForwardingUiThread(EventLoop& loop) : loop_(loop) {}
  void post(std::function<void()> task) override { loop_.post(std::move(task)); }
  bool startTimer(uint32_t periodMs, std::function<void()> tick) override {
    ++starts;
    return timerWorks && loop_.startTimer(periodMs, std::move(tick));
  }
  void stopTimer() override {
    ++stops;
    loop_.stopTimer();
  }

  // Touched on the UI thread only.
  bool timerWorks = true;
  int starts = 0;
  int stops = 0;

 private:
  EventLoop& loop_;
};

// An EnumImg as a page has it: made on its UI thread with one sink ("page")
// connected, called through its member table, destroyed on its UI thread.
class ControlTest : public ::testing::Test {
 protected:
  explicit ControlTest(FileSystem& fs = FileSystem::system(), uint32_t waitMs = kWorkerWaitMs)
      : fs_(fs), waitMs_(waitMs) {
    onUi([&] {
      control_ = std::make_unique<EnumImg>(env(), waitMs_);
      control_->advise(std::make_shared<RecordingSink>("page", log_, loop_));
    });
  }
  ~ControlTest() override { onUi([&] { control_.reset(); }); }

  ControlEnv env() {
    return ControlEnv{fs_, Clock::system(), ThreadFactory::system(), ui_, dialogs_, prefs_,
                      &subscriptions_};
  }

  // Runs `f` on the UI thread and gives back what it returns.
  template <typename F>
  auto onUi(F f) -> decltype(f()) {
    std::packaged_task<decltype(f())()> task(std::move(f));
    auto result = task.get_future();
    loop_.post([&task] { task(); });
    return result.get();
  }

  struct Answer {
    HResult hr;
    Variant value;
  };

  // Calls the member `name` with `kinds` as script would: name to DISPID,
  // then invoke, on the UI thread.
  Answer call(std::string_view name, uint16_t kinds, std::vector<Variant> args = {}) {
    return onUi([&] {
      int32_t dispid = 0;
      Answer answer{idOfName(name, dispid), Variant()};
      if (answer.hr == kSOk)
        answer.hr = invoke(*control_, dispid, kinds, args, &answer.value);
      return answer;
    });
  }
  Answer get(std::string_view name, std::vector<Variant> args = {}) {
    return call(name, kPropertyGet, std::move(args));
  }
  Answer method(std::string_view name, std::vector<Variant> args = {}) {
    return call(name, kMethod, std::move(args));
  }
  HResult put(std::string_view name, std::vector<Variant> args) {
    return call(name, kPropertyPut, std::move(args)).hr;
  }

  // The value a property get gives, for tests that expect it to succeed.
  Variant value(std::string_view name, std::vector<Variant> args = {}) {
    Answer answer = get(name, std::move(args));
    EXPECT_EQ(answer.hr, kSOk) << name;
    return answer.value;
  }

  // Scans `folder` through SetParentDir and waits for the page's OnLoadDone.
  void scan(const std::string& folder, int16_t recurse = 0, int16_t order = 0) {
    const std::size_t before = log_.count("page:300");
    ASSERT_EQ(method("SetParentDir", {folder, recurse, order}).hr, kSOk);
    ASSERT_TRUE(log_.waitFor("page:300", before + 1)) << "no OnLoadDone for " << folder;
  }

  class RecordingSubscriptions final : public SubscriptionManager {
   public:
    void getDefaultInfo(int32_t type, SubscriptionInfo& info) override {
      calls.push_back("default " + std::to_string(type) + " " + std::to_string(info.updateFlags));
      info.maxSizeKB = 1234;  // a default that must survive
      info.channelFlags = 7;
    }
    bool createSubscription(std::string_view url, std::string_view friendlyName, uint32_t flags,
                            int32_t type, const SubscriptionInfo& info) override {
      calls.push_back("create " + std::string(url) + " [" + std::string(friendlyName) + "] " +
                      std::to_string(flags) + " " + std::to_string(type));
      records.push_back(info);
      bool ok = createResults.empty() || createResults.front();
      if (!createResults.empty()) createResults.erase(createResults.begin());
      return ok;
    }
    bool deleteSubscription(std::string_view url) override {
      calls.push_back("delete " + std::string(url));
      return true;
    }
    bool updateSubscription(std::string_view url) override {
      calls.push_back("update " + std::string(url));
      return true;
    }

    std::vector<std::string> calls;
    std::vector<SubscriptionInfo> records;
    std::vector<bool> createResults;  // one per creation, in order; empty: succeed
  };

  FileSystem& fs_;
  const uint32_t waitMs_;
  TempFolder tmp_;   // preferences
  TempFolder tree_;  // pictures
  RecordingPreferences prefs_{tmp_};
  ScriptedDialogs dialogs_;
  RecordingSubscriptions subscriptions_;
  FakeHostWindow host_;
  EventLog log_;
  EventLoop loop_;
  ForwardingUiThread ui_{loop_};
  std::unique_ptr<EnumImg> control_;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_CONTROL_TEST_UTIL_H_
