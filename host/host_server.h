// The browser host's HTTP server on loopback: the "lm:" pages with the bridge
// in them, the controls' calls, events and dialogs, the pictures, and the
// checks every request passes first.
#ifndef LUMOREL_HOST_HOST_SERVER_H_
#define LUMOREL_HOST_HOST_SERVER_H_

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "host/authentication.h"
#include "host/connection_table.h"
#include "host/control_registry.h"
#include "host/menu_snapshots.h"
#include "platform/page_store.h"
#include "platform/url_fetcher.h"

namespace lumorel {

struct HostConfig {
  // The port on 127.0.0.1; 0 picks a free one.
  uint16_t port = 4714;
  // The run's token: the address the user opens carries it, and scripts
  // may send it in the "X-Lumorel-Token" header.
  std::string token;
  // The value of the cookie that lets a browser in; empty: a random one.
  std::string cookieSecret;
  // Borrowed; outlive the server.
  const PageStore* pages = nullptr;
  UrlFetcher* fetcher = nullptr;
  SessionEnv session;
  // How long a control may go without an event connection carrying it (its
  // page's own stream, or its browser's shared stream) before it goes.
  std::chrono::milliseconds grace{5000};
  // Threads that serve connections; an event stream holds one while open,
  // an idle connection only until a new one needs its thread.
  std::size_t threads = 256;
  // How long requests may take to come, and how many idle connections of
  // clients that never proved the token may wait.
  ConnectionLimits limits{};
};

// Thread safety: start() and stop() from one thread (not a serving one);
// requests are served on the server's own threads.
class HostServer {
 public:
  explicit HostServer(HostConfig config);
  // stop().
  ~HostServer();

  HostServer(const HostServer&) = delete;
  HostServer& operator=(const HostServer&) = delete;

  // Binds 127.0.0.1 at the configured port. False, with a message in
  // `error`, when it cannot (the port is taken, say).
  [[nodiscard]] bool bind(std::string& error);
  // The bound port.
  uint16_t port() const { return port_; }
  // Serves on a thread of its own until stop(). REQUIRES: bind() succeeded.
  void start();
  // Closes and destroys every control first (ending its event stream and
  // open dialog, and waiting for its worker), then stops taking requests
  // and drops every connection (see DeadlineHttpServer::halt): idle ones at
  // once, those writing an answer after a short grace; relayed downloads
  // are cancelled. Returns once every serving thread has ended. Idempotent.
  void stop();

  ControlRegistry& registry() { return registry_; }

 private:
  class Http;  // the HTTP library's server
  void routes();

  const HostConfig config_;
  const Authentication auth_;
  ControlRegistry registry_;
  MenuSnapshots menus_;
  std::unique_ptr<Http> server_;
  uint16_t port_ = 0;
  std::thread thread_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_HOST_SERVER_H_
