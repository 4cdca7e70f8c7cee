#include "host/deadline_http_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "host/connection_stream.h"
#include "host/serving_pool.h"

namespace lumorel {
namespace {

// The connection served by this thread, while process_and_close_socket
// runs on it.
thread_local std::shared_ptr<Connection> tCurrent;

// A request given from memory, its answer thrown away.
class MemoryStream final : public httplib::Stream {
 public:
  explicit MemoryStream(std::string request) : request_(std::move(request)) {}
  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override {
    const std::size_t n = std::min(size, request_.size() - at_);
    request_.copy(ptr, n, at_);
    at_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  int socket() const override { return -1; }

 private:
  const std::string request_;
  std::size_t at_ = 0;
};

class CurrentConnection {
 public:
  explicit CurrentConnection(std::shared_ptr<Connection> connection) {
    tCurrent = std::move(connection);
  }
  ~CurrentConnection() { tCurrent.reset(); }
  CurrentConnection(const CurrentConnection&) = delete;
  CurrentConnection& operator=(const CurrentConnection&) = delete;
};

}  // namespace

DeadlineHttpServer::DeadlineHttpServer(std::size_t threads, const ConnectionLimits& limits)
    : connections_(limits) {
  new_task_queue = [this, threads] {
    warmUp();
    return new ServingPool(threads, connections_);
  };
}

void DeadlineHttpServer::warmUp() {
  // The Host the routes accept: this address and port.
  sockaddr_in address{};
  socklen_t length = sizeof address;
  ::getsockname(svr_sock_, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "\r\n";
  for (const std::string& request :
       {"GET /favicon.ico HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n",
        std::string("GET / HTTP/1.1\r\nConnection: close\r\n\r\n")}) {
    MemoryStream stream(request);
    bool closed = false;
    (void)process_request(stream, true, closed, nullptr);
  }
}

DeadlineHttpServer::~DeadlineHttpServer() {
  halt();
  if (listening_ >= 0) ::close(listening_);
}

void DeadlineHttpServer::widenBacklog(int connections) { ::listen(svr_sock_, connections); }

void DeadlineHttpServer::halt() {
  const socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
  if (sock != INVALID_SOCKET) {
    // Wakes the accepting thread, which finds no socket and ends; the
    // number stays taken until the destructor.
    ::shutdown(sock, SHUT_RDWR);
    listening_ = sock;
  }
  connections_.stop();
  if (!connections_.waitUntilClosed(kAnswerGrace)) connections_.dropAll();
}

std::shared_ptr<Connection> DeadlineHttpServer::current() { return tCurrent; }

void DeadlineHttpServer::trustCurrent() {
  if (tCurrent) connections_.trust(*tCurrent);
}

bool DeadlineHttpServer::process_and_close_socket(socket_t sock) {
  std::shared_ptr<Connection> connection = connections_.open(sock);
  if (!connection) {
    ::close(sock);
    return false;
  }
  CurrentConnection current(connection);
  ConnectionStream stream(connections_, *connection);
  for (std::size_t left = keep_alive_max_count_; left > 0; --left) {
    if (!stream.waitForRequest()) break;
    bool closed = false;
    // The last request of the connection, or one served while stopping,
    // says so in its answer.
    const bool last = left == 1 || connection->stopping();
    const bool ok = process_request(stream, last, closed, nullptr);
    if (!ok || closed || last || stream.expired() || connection->gone()) break;
    connections_.setWaiting(*connection);
  }
  connections_.close(*connection);
  return true;
}

}  // namespace lumorel
