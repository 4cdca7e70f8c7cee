// A small web site on 127.0.0.1 for the tests of the offline store: fixed
// answers by request target, answers that stop part way until the test
// lets them go on, and a count of the requests for each target.
#ifndef LUMOREL_PLATFORM_POSIX_WEB_SITE_TEST_UTIL_H_
#define LUMOREL_PLATFORM_POSIX_WEB_SITE_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace lumorel {

// Serves from construction to destruction, one request at a time: the
// library sets up tables of its own on the first request it parses, in
// code a thread-sanitized build cannot see into, so a second serving thread
// would be reported as racing with the first. Targets are matched as the
// request line gives them, query included; an unknown one gets 404.
class TestWebSite {
 public:
  TestWebSite() {
    server_.new_task_queue = [] { return new httplib::ThreadPool(1); };
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      serve(request, response);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) ADD_FAILURE() << "the test web site could not listen";
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  ~TestWebSite() {
    release();
    const int sock = server_.halt();
    thread_.join();
    if (sock >= 0) ::close(sock);
  }

  TestWebSite(const TestWebSite&) = delete;
  TestWebSite& operator=(const TestWebSite&) = delete;

  // "http://127.0.0.1:<port>" followed by `target`.
  std::string url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
  }
  int port() const { return port_; }

  // Answers `target` with `body` of type `type`, its length given.
  void file(const std::string& target, std::string body, std::string type) {
    std::lock_guard<std::mutex> lock(mu_);
    answers_[target] = {.body = std::move(body), .type = std::move(type)};
  }
  void page(const std::string& target, std::string html) {
    file(target, std::move(html), "text/html");
  }
  // Answers `target` with `body` in chunks, its length not given first.
  void chunked(const std::string& target, std::string body, std::string type) {
    std::lock_guard<std::mutex> lock(mu_);
    answers_[target] = {.body = std::move(body), .type = std::move(type), .chunked = true};
  }
  // Answers `target` with a redirect (302) to `location`.
  void redirect(const std::string& target, std::string location) {
    std::lock_guard<std::mutex> lock(mu_);
    answers_[target] = {.location = std::move(location)};
  }
  // Answers `target` with the first chunk of `body`, then waits for
  // release() before it sends the rest; no other request is served
  // meanwhile.
  void held(const std::string& target, std::string body, std::string type) {
    std::lock_guard<std::mutex> lock(mu_);
    answers_[target] = {.body = std::move(body), .type = std::move(type), .held = true};
  }

  // Waits at most 10 s until a held answer has sent its first chunk.
  bool waitUntilHeld() {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return holds_ > 0; });
  }
  // Lets every held answer go on, now and later.
  void release() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      released_ = true;
    }
    cv_.notify_all();
  }

  // The requests for each target so far.
  std::map<std::string, int> hits() {
    std::lock_guard<std::mutex> lock(mu_);
    return hits_;
  }

 private:
  struct Answer {
    std::string body;
    std::string type;
    std::string location;  // not empty: a redirect
    bool chunked = false;
    bool held = false;
  };

  static constexpr std::size_t kChunk = 4096;

  // The library's stop() does nothing before listen_after_bind() has begun,
  // which then listens for ever; this ends it whenever it begins.
  class Server : public httplib::Server {
   public:
    // Takes the listening socket away, waking the accepting thread, and
    // returns it, for the caller to close once that thread has ended.
    int halt() {
      const socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
      if (sock != INVALID_SOCKET) ::shutdown(sock, SHUT_RDWR);
      return sock;
    }
  };

  void serve(const httplib::Request& request, httplib::Response& response) {
    Answer answer;
    {
      std::lock_guard<std::mutex> lock(mu_);
      ++hits_[request.target];
      auto it = answers_.find(request.target);
      if (it == answers_.end()) {
        response.status = 404;
        return;
      }
      answer = it->second;
    }
    if (!answer.location.empty()) {
      response.set_redirect(answer.location);
    } else if (answer.chunked || answer.held) {
      auto body = std::make_shared<std::string>(std::move(answer.body));
      const bool held = answer.held;
      response.set_chunked_content_provider(
          answer.type, [this, body, held](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= body->size()) {
              sink.done();
              return true;
            }
            if (held && offset > 0) waitForRelease();
            const std::size_t n = std::min(kChunk, body->size() - offset);
            return sink.write(body->data() + offset, n);
          });
    } else {
      response.set_content(answer.body, answer.type.c_str());
    }
  }

  // Counts a held answer and waits until release().
  void waitForRelease() {
    std::unique_lock<std::mutex> lock(mu_);
    ++holds_;
    cv_.notify_all();
    cv_.wait(lock, [this] { return released_; });
  }

  Server server_;
  int port_ = -1;
  std::mutex mu_;
  std::condition_variable cv_;
  std::map<std::string, Answer> answers_;
  std::map<std::string, int> hits_;
  int holds_ = 0;
  bool released_ = false;
  std::thread thread_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_WEB_SITE_TEST_UTIL_H_
