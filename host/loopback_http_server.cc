#include "host/loopback_http_server.h"

#include <sys/socket.h>
#include <unistd.h>

#include "host/connection_stream.h"
#include "host/serving_pool.h"

namespace lumorel {
namespace {

// The connection served by this thread, while process_and_close_socket
// runs on it.
thread_local std::shared_ptr<Connection> tCurrent;

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

LoopbackHttpServer::LoopbackHttpServer(std::size_t threads, const ConnectionLimits& limits)
    : connections_(limits) {
  new_task_queue = [this, threads] { return new ServingPool(threads, connections_); };
}

LoopbackHttpServer::~LoopbackHttpServer() {
  halt();
  if (listening_ >= 0) ::close(listening_);
}

void LoopbackHttpServer::widenBacklog(int connections) { ::listen(svr_sock_, connections); }

void LoopbackHttpServer::halt() {
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

std::shared_ptr<Connection> LoopbackHttpServer::current() { return tCurrent; }

void LoopbackHttpServer::trustCurrent() {
  if (tCurrent) connections_.trust(*tCurrent);
}

bool LoopbackHttpServer::process_and_close_socket(socket_t sock) {
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
