// What the host's tests share: a host on loopback with a page set and
// preferences of its own, a client that speaks the bridge protocol, and a
// reader of a control's event stream.
#ifndef LUMOREL_HOST_HOST_TEST_UTIL_H_
#define LUMOREL_HOST_HOST_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/folder_page_store.h"
#include "host/host_server.h"
#include "host/script_json.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/posix/curl_url_fetcher.h"
#include "platform/posix/sqlite_preference_backend.h"
#include "platform/worker_thread.h"
#include "test_support/temp_folder.h"

namespace lumorel {

inline constexpr char kTestToken[] = "test-token-0123456789";

// Every byte of `bytes` percent-encoded.
inline std::string percentBytes(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back('%');
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 0xF]);
  }
  return out;
}

// The picture route's address for the file at `path`.
inline std::string pictureRoute(const std::string& path) {
  return "/.lumorel/picture?path=" + percentBytes(path);
}

// One server-sent event.
struct SentEvent {
  std::string name;
  nlohmann::json data;  // strings in carried form
};

// Reads one control's event stream on a thread of its own until stopped.
class EventReader {
 public:
  // `token` goes in the "X-Lumorel-Token" header.
  EventReader(uint16_t port, const std::string& path, const std::string& token = kTestToken) {
    thread_ = std::thread([this, port, path, token] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(30, 0);
      std::string pending;
      const httplib::Headers headers{{"X-Lumorel-Token", token}};
      auto result = client.Get(path, headers, [&](const char* data, std::size_t length) {
        pending.append(data, length);
        std::size_t end;
        while ((end = pending.find("\n\n")) != std::string::npos) {
          add(pending.substr(0, end));
          pending.erase(0, end + 2);
        }
        std::lock_guard<std::mutex> lock(mu_);
        return !stop_;
      });
      std::lock_guard<std::mutex> lock(mu_);
      ended_ = true;
      status_ = result ? result->status : -1;
      cv_.notify_all();
    });
  }
  ~EventReader() { stop(); }

  // Waits at most 10 s for the next event named `name` (events of other
  // names before it are skipped); nullopt when none came.
  std::optional<SentEvent> next(const std::string& name) {
    std::unique_lock<std::mutex> lock(mu_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (true) {
      while (!events_.empty()) {
        SentEvent event = std::move(events_.front());
        events_.pop_front();
        if (event.name == name) return event;
      }
      if (ended_ || cv_.wait_until(lock, deadline) == std::cv_status::timeout) {
        if (events_.empty()) return std::nullopt;
      }
    }
  }

  // Waits at most 10 s for the stream to end; its HTTP status or -1.
  std::optional<int> waitForEnd() {
    std::unique_lock<std::mutex> lock(mu_);
    if (!cv_.wait_for(lock, std::chrono::seconds(10), [this] { return ended_; }))
      return std::nullopt;
    return status_;
  }

  // Closes the stream (within a second: the host writes at least that often).
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  void add(const std::string& block) {
    SentEvent event;
    std::size_t at = 0;
    while (at < block.size()) {
      std::size_t end = block.find('\n', at);
      if (end == std::string::npos) end = block.size();
      const std::string line = block.substr(at, end - at);
      if (line.rfind("event: ", 0) == 0) event.name = line.substr(7);
      if (line.rfind("data: ", 0) == 0) {
        std::string error;
        event.data = parseScriptJson(line.substr(6), error).value_or(nullptr);
      }
      at = end + 1;
    }
    if (event.name.empty()) return;  // a comment or the retry line
    std::lock_guard<std::mutex> lock(mu_);
    events_.push_back(std::move(event));
    cv_.notify_all();
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<SentEvent> events_;
  bool stop_ = false;
  bool ended_ = false;
  int status_ = 0;
  std::thread thread_;
};

// An answer of the host: status and body (parsed when JSON).
struct HostAnswer {
  int status = -1;
  std::string body;
  std::string contentType;
  httplib::Headers headers;
  nlohmann::json json;  // strings in carried form; null when the body is not JSON
};

// A host on a free loopback port, with the pages in `pages_` (written by the
// test before start()) and preferences in a temporary folder.
class HostTest : public ::testing::Test {
 protected:
  HostTest() = default;
  ~HostTest() override {
    if (server_) server_->stop();
  }

  // Starts the host; `grace` as HostConfig's.
  void start(std::chrono::milliseconds grace = std::chrono::milliseconds(5000)) {
    std::string error;
    store_ = FolderPageStore::load(FileSystem::system(), pages_.path(), error);
    ASSERT_TRUE(store_) << error;
    server_ = std::make_unique<HostServer>(HostConfig{
        .port = 0,
        .token = kTestToken,
        .pages = store_.get(),
        .fetcher = &fetcher_,
        .session = SessionEnv{FileSystem::system(), Clock::system(), ThreadFactory::system(),
                              prefs_, kWorkerWaitMs, subscriptions_},
        .grace = grace,
        .threads = threads_,
        .limits = limits_,
    });
    ASSERT_TRUE(server_->bind(error)) << error;
    server_->start();
  }

  uint16_t port() const { return server_->port(); }

  httplib::Headers headers(const std::string& token = kTestToken) const {
    httplib::Headers h;
    if (!token.empty()) h.emplace("X-Lumorel-Token", token);
    return h;
  }

  static HostAnswer answerOf(const httplib::Result& result) {
    HostAnswer answer;
    if (!result) return answer;
    answer.status = result->status;
    answer.body = result->body;
    answer.contentType = result->get_header_value("Content-Type");
    answer.headers = result->headers;
    std::string error;
    if (answer.contentType == "application/json")
      answer.json = parseScriptJson(answer.body, error).value_or(nullptr);
    return answer;
  }

  HostAnswer get(const std::string& path, httplib::Headers h) {
    httplib::Client client("127.0.0.1", port());
    client.set_read_timeout(30, 0);  // sanitizer builds on a busy machine answer slowly
    return answerOf(client.Get(path, h));
  }
  HostAnswer get(const std::string& path) { return get(path, headers()); }

  HostAnswer post(const std::string& path, const std::string& body, httplib::Headers h) {
    httplib::Client client("127.0.0.1", port());
    client.set_read_timeout(30, 0);
    return answerOf(client.Post(path, h, body, "application/json"));
  }
  HostAnswer post(const std::string& path, const std::string& body) {
    return post(path, body, headers());
  }

  // A new control's id.
  std::string create() {
    HostAnswer answer = post("/.lumorel/controls", "");
    EXPECT_EQ(answer.status, 200) << answer.body;
    return answer.json.is_object() ? answer.json.value("id", "") : "";
  }

  std::string controlPath(const std::string& id, const std::string& rest = "") {
    return "/.lumorel/controls/" + id + rest;
  }

  // A call with `args` given as JSON text (strings as the bridge sends them).
  HostAnswer call(const std::string& id, const std::string& member, const std::string& kind,
                  const std::string& args = "[]") {
    return post(controlPath(id, "/call"),
                "{\"member\":\"" + member + "\",\"kind\":\"" + kind + "\",\"args\":" + args + "}");
  }

  // The value of a call that must succeed.
  nlohmann::json value(const std::string& id, const std::string& member,
                       const std::string& kind = "get", const std::string& args = "[]") {
    HostAnswer answer = call(id, member, kind, args);
    EXPECT_EQ(answer.status, 200) << member << ": " << answer.body;
    EXPECT_EQ(answer.json.value("hr", -1), 0) << member << ": " << answer.body;
    return answer.json.is_object() ? answer.json["value"] : nullptr;
  }

  std::unique_ptr<EventReader> events(const std::string& id) {
    return std::make_unique<EventReader>(port(), controlPath(id, "/events"));
  }

  HostAnswer answerDialog(const std::string& id, const std::string& body) {
    return post(controlPath(id, "/dialog"), body);
  }

  std::size_t threads_ = 300;  // serving threads: a stream and a call each, for 100 pages
  ConnectionLimits limits_;
  TempFolder pages_;
  TempFolder prefsFolder_;
  TempFolder pictures_;
  SqlitePreferenceBackend prefs_{prefsFolder_ / "config", prefsFolder_ / "run"};
  CurlUrlFetcher fetcher_;
  SubscriptionManager* subscriptions_ = nullptr;  // set before start(); outlives the host
  std::unique_ptr<FolderPageStore> store_;
  std::unique_ptr<HostServer> server_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_HOST_TEST_UTIL_H_
