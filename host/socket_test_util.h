// Clients and servers at the socket level for the host's tests: a client
// that sends what it likes when it likes, and a web server that takes
// connections and never answers.
#ifndef LUMOREL_HOST_SOCKET_TEST_UTIL_H_
#define LUMOREL_HOST_SOCKET_TEST_UTIL_H_

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumorel {

using SteadyClock = std::chrono::steady_clock;

// The time since `start`, in milliseconds.
inline long long millisSince(SteadyClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
      .count();
}

// Waits until the socket `fd` is closed by its peer (end of stream or a
// reset), reading and dropping whatever comes before; false when `wait`
// passed first.
inline bool waitForPeerClose(int fd, std::chrono::milliseconds wait) {
  const auto deadline = SteadyClock::now() + wait;
  char buffer[4096];
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0))) > 0) {
      const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return true;
      if (got > 0) continue;
    }
    if (left.count() <= 0) return false;
  }
}

// A TCP connection to 127.0.0.1 that the test drives byte by byte.
class RawClient {
 public:
  explicit RawClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() {
    stopTrickle();
    close();
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return connected_; }

  // True when all of `bytes` went out.
  bool send(const std::string& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
  }

  // Sends `bytes` one at a time, the first at once and the others `every`
  // apart, on a thread of its own, until they are all out, a send fails, or
  // stopTrickle().
  void trickle(std::string bytes, std::chrono::milliseconds every) {
    trickler_ = std::thread([this, bytes = std::move(bytes), every] {
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        {
          std::unique_lock<std::mutex> lock(mu_);
          if (i > 0 && wake_.wait_for(lock, every, [this] { return stop_; })) return;
        }
        if (::send(fd_, &bytes[i], 1, MSG_NOSIGNAL) != 1) return;
        std::lock_guard<std::mutex> lock(mu_);
        ++trickled_;
        wake_.notify_all();
      }
    });
  }
  // Waits at most `wait` until the trickle has sent `n` bytes; false if not.
  bool waitForTrickled(std::size_t n, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mu_);
    return wake_.wait_for(lock, wait, [&] { return trickled_ >= n; });
  }
  void stopTrickle() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    wake_.notify_all();
    if (trickler_.joinable()) trickler_.join();
  }

  // Reads until the end of one answer with a Content-Length (or the close
  // of the connection), waiting at most `wait`; what came.
  std::string readAnswer(std::chrono::milliseconds wait) {
    const auto deadline = SteadyClock::now() + wait;
    std::string got;
    char buffer[4096];
    while (!complete(got)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
      if (left.count() <= 0) break;
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  // Waits for the host to close the connection; false when `wait` passed.
  bool waitForClose(std::chrono::milliseconds wait) { return waitForPeerClose(fd_, wait); }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  // True once `text` holds a head and as many body bytes as it announces.
  static bool complete(const std::string& text) {
    const std::size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const std::size_t at = text.find("Content-Length: ");
    if (at == std::string::npos || at > end) return true;
    const std::size_t length = std::stoul(text.substr(at + 16));
    return text.size() >= end + 4 + length;
  }

  int fd_ = -1;
  bool connected_ = false;
  std::mutex mu_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::size_t trickled_ = 0;
  std::thread trickler_;
};

// A web server on 127.0.0.1 that accepts connections, sends each the same
// `prelude` (nothing, or the start of an answer) and then falls silent: a
// relayed download from it waits until it is given up.
class SilentServer {
 public:
  explicit SilentServer(std::string prelude = "") {
    listening_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listening_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listening_, 16);
    ::getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, prelude = std::move(prelude)] {
      while (true) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;  // shut down
        if (!prelude.empty()) (void)::send(fd, prelude.data(), prelude.size(), MSG_NOSIGNAL);
        std::lock_guard<std::mutex> lock(mu_);
        accepted_.push_back(fd);
        wake_.notify_all();
      }
    });
  }
  ~SilentServer() {
    ::shutdown(listening_, SHUT_RDWR);
    thread_.join();
    ::close(listening_);
    for (int fd : accepted_) ::close(fd);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/picture.jpg"; }

  // Waits at most `wait` for the `n`th connection (from 1); its socket, or
  // -1 when it did not come.
  int waitForConnection(std::size_t n, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mu_);
    if (!wake_.wait_for(lock, wait, [&] { return accepted_.size() >= n; })) return -1;
    return accepted_[n - 1];
  }

 private:
  int listening_ = -1;
  uint16_t port_ = 0;
  std::mutex mu_;
  std::condition_variable wake_;
  std::vector<int> accepted_;
  std::thread thread_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_SOCKET_TEST_UTIL_H_
