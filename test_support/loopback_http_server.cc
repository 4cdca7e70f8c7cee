#include "test_support/loopback_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace lumorel {
namespace {

// Sends all of `data`; false when the peer has gone. MSG_NOSIGNAL: a peer
// that hangs up must not kill the test with SIGPIPE.
bool sendAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    ssize_t put = send(fd, data, n, MSG_NOSIGNAL);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

const char* reasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    default:
      return "Status";
  }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 16) != 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      pipe2(wakeFds_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "loopback server could not start: errno " << errno;
    return;
  }
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
  }
  cv_.notify_all();
  if (wakeFds_[1] >= 0) {
    char byte = 0;
    (void)!write(wakeFds_[1], &byte, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) {
    if (fd >= 0) close(fd);
  }
}

void LoopbackHttpServer::answer(const std::string& path, HttpAnswer answer) {
  std::lock_guard<std::mutex> lock(mu_);
  answers_[path] = std::move(answer);
}

std::string LoopbackHttpServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::release() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    released_ = true;
  }
  cv_.notify_all();
}

bool LoopbackHttpServer::waitUntilHeld() {
  std::unique_lock<std::mutex> lock(mu_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [this] { return held_ > 0; });
}

int LoopbackHttpServer::requests() {
  std::lock_guard<std::mutex> lock(mu_);
  return requests_;
}

bool LoopbackHttpServer::waitForRelease() {
  std::unique_lock<std::mutex> lock(mu_);
  ++held_;
  cv_.notify_all();
  cv_.wait(lock, [this] { return released_ || stopping_; });
  return !stopping_;
}

void LoopbackHttpServer::serve() {
  while (true) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    handle(fd);
    close(fd);
  }
}

void LoopbackHttpServer::handle(int fd) {
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (poll(fds, 2, 10000) <= 0 || fds[1].revents) return;
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return;
    request.append(buffer, static_cast<std::size_t>(got));
  }
  // "GET /path HTTP/1.1"
  std::size_t start = request.find(' ') + 1;
  std::string path = request.substr(start, request.find(' ', start) - start);
  HttpAnswer answer;
  {
    std::lock_guard<std::mutex> lock(mu_);
    ++requests_;
    auto it = answers_.find(path);
    if (it != answers_.end()) {
      answer = it->second;
    } else {
      answer.status = 404;
      answer.body = "not found";
    }
  }
  if (answer.silent) {
    waitForRelease();
    return;
  }
  std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reasonOf(answer.status) +
                     "\r\nContent-Length: " + std::to_string(answer.body.size()) +
                     "\r\nConnection: close\r\n" + answer.headers + "\r\n";
  std::size_t first = std::min(answer.holdAfter, answer.body.size());
  if (!sendAll(fd, (head + answer.body.substr(0, first)).data(), head.size() + first)) return;
  if (first == answer.body.size()) return;
  if (!waitForRelease()) return;
  (void)sendAll(fd, answer.body.data() + first, answer.body.size() - first);
}

}  // namespace lumorel
