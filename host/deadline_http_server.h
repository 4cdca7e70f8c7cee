// The HTTP library's server as the browser host runs it: its connections
// kept in a ConnectionTable and served by a ServingPool, each request held
// to a deadline, and a stop that ends every connection at once.
#ifndef LUMOREL_HOST_DEADLINE_HTTP_SERVER_H_
#define LUMOREL_HOST_DEADLINE_HTTP_SERVER_H_

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>

#include "host/connection_table.h"

namespace lumorel {

// Routes and options are set as on the library's server. Thread safety:
// halt() from any thread; current() and trustCurrent() on serving threads.
class DeadlineHttpServer : public httplib::Server {
 public:
  DeadlineHttpServer(std::size_t threads, const ConnectionLimits& limits);
  // Closes the listening socket. REQUIRES: listen_after_bind() has returned
  // or was never called.
  ~DeadlineHttpServer() override;

  // Lets up to `connections` wait to be accepted (the library asks for 5,
  // and a hundred pages connecting at once would find the queue full).
  void widenBacklog(int connections);

  // How long answers being written when the host stops may take to finish.
  static constexpr std::chrono::milliseconds kAnswerGrace{500};

  // Stops accepting and drops every connection waiting for a request at
  // once; handlers that watch current()->gone() see it. Answers being
  // written get kAnswerGrace to finish, then their connections are dropped
  // too: blocked reads and writes fail at once. The serving threads end as
  // soon as their handlers return, and listen_after_bind() returns once
  // they have. Returns within about kAnswerGrace. Idempotent.
  void halt();

  // The connection the calling thread serves; null on any other thread.
  static std::shared_ptr<Connection> current();
  // The request the calling thread serves proved the token (see
  // ConnectionTable's rule). Nothing on other threads.
  void trustCurrent();

  ConnectionTable& connections() { return connections_; }

 private:
  // Serves the accepted socket `sock` until it closes, is dropped, or waits
  // idle too long; then closes it. Runs on a serving thread.
  bool process_and_close_socket(socket_t sock) override;
  // Serves two requests from memory on the accepting thread before any
  // serving thread starts. The library sets up tables of its own (the
  // methods it knows) on the first request it parses, behind guards whose
  // ordering a thread-sanitized build cannot see in the library's
  // uninstrumented code; set up here, they are ordered before every serving
  // thread by the threads' start. The answers (204 and 403) are dropped.
  void warmUp();

  ConnectionTable connections_;
  // The listening socket, kept open until the destructor, so that its number
  // is not handed out again while the accepting thread may still use it.
  int listening_ = -1;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_DEADLINE_HTTP_SERVER_H_
