// The browser host's open connections and the rule that keeps idle ones
// from holding it: which connections wait for a request and which serve
// one, which have proven the run's token, and which go first when the host
// runs short.
#ifndef LUMOREL_HOST_CONNECTION_TABLE_H_
#define LUMOREL_HOST_CONNECTION_TABLE_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <memory>

#include "platform/mutex.h"

namespace lumorel {

// Every client of the host is on 127.0.0.1, and a TCP peer on loopback
// cannot be told apart by its address (and its process not reliably by
// anything), so the rules below are about what a connection does, not who
// holds it.
struct ConnectionLimits {
  // How long a connection may wait for the first byte of a request: a new
  // one, or one kept alive after an answer.
  std::chrono::milliseconds idle{5000};
  // How long a request may take to arrive whole, head and body, from its
  // first byte. A total, not a per-read time-out: a byte now and then does
  // not keep a request alive.
  std::chrono::milliseconds request{5000};
  // How long one write may wait for the client to take bytes.
  std::chrono::milliseconds write{5000};
  // How many connections that have never proven the token may wait for a
  // request at once; when one more waits, the one that has waited longest
  // is dropped. The pages' own connections prove the token with their first
  // bridge request; a browser keeps at most six connections to the host.
  std::size_t untrustedWaiting = 128;
};

// One open connection: its socket and the state the table keeps for it.
// Made by ConnectionTable::open; shared by the serving thread and whatever
// it hands the connection to (a relay's fetch asks gone()).
class Connection {
 public:
  Connection(int fd, std::chrono::steady_clock::time_point now) : fd_(fd), waitingSince_(now) {}
  ~Connection();

  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The socket; valid until ConnectionTable::close. Serving thread only.
  int fd() const { return fd_; }

  // True once the table dropped the connection (the host is stopping, or
  // the connection waited idle while others needed its place): its socket
  // is shut down and every read and write fails. Any thread.
  bool dropped() const {
    // Acquire pairs with drop()'s release; it guards no other data.
    return dropped_.load(std::memory_order_acquire);
  }

  // True once the host is stopping: the answer being served may still be
  // written, but the connection takes no further request. Any thread.
  bool stopping() const {
    // Acquire pairs with ConnectionTable::stop()'s release; only a yes/no.
    return stopping_.load(std::memory_order_acquire);
  }

  // True when nothing should be produced for this connection any more: the
  // host is stopping, the connection was dropped or closed, or the client
  // hung up (closed its end or reset it). Bytes the client sent ahead do
  // not count. Any thread; never blocks.
  bool gone() LM_EXCLUDES(fdMu_);

 private:
  friend class ConnectionTable;

  // Shuts the socket down so that a thread blocked on it wakes at once.
  void drop() LM_EXCLUDES(fdMu_);
  // Closes the socket; gone() is true from now on.
  void closeSocket() LM_EXCLUDES(fdMu_);

  const int fd_;
  std::atomic<bool> dropped_{false};
  std::atomic<bool> stopping_{false};
  // The socket is closed under this lock, so gone() on another thread
  // never polls a number the system has handed out again.
  Mutex fdMu_;
  bool closed_ LM_GUARDED_BY(fdMu_) = false;

  // Guarded by the owning table's mutex.
  bool serving_ = false;  // a whole request head has come; not yet answered
  bool trusted_ = false;  // has carried a request that proved the token
  std::chrono::steady_clock::time_point waitingSince_;
};

// Thread safety: every member from any thread.
//
// The rule: a connection is waiting from the moment it is opened or its
// last answer was written until the head of its next request has come
// whole; then it is serving until its answer is written. Only waiting
// connections are ever dropped, longest waiting first, those that have
// never proven the token before those that have:
// - when more untrusted connections wait than ConnectionLimits allows, and
// - when the serving threads are all taken and a new connection needs one
//   (dropLongestWaiting), so idle sockets never keep a request from being
//   served: only requests being served hold threads for good.
// When the host stops, waiting connections are dropped at once; serving
// ones may finish the answer they are writing (a call that was waiting for
// the control, say) for a short grace, and are then dropped too.
class ConnectionTable {
 public:
  explicit ConnectionTable(const ConnectionLimits& limits) : limits_(limits) {}
  // REQUIRES: every connection closed.
  ~ConnectionTable() = default;

  ConnectionTable(const ConnectionTable&) = delete;
  ConnectionTable& operator=(const ConnectionTable&) = delete;

  const ConnectionLimits& limits() const { return limits_; }

  // Takes the accepted socket `fd` in as a waiting, untrusted connection
  // (which may drop another: see the rule). Null when the table is
  // stopped; the caller then closes `fd` itself.
  std::shared_ptr<Connection> open(int fd) LM_EXCLUDES(mu_);
  // The head of a request has come whole: the connection is serving.
  void setServing(Connection& connection) LM_EXCLUDES(mu_);
  // The answer is written: the connection waits for its next request.
  void setWaiting(Connection& connection) LM_EXCLUDES(mu_);
  // The connection carried a request that proved the token.
  void trust(Connection& connection) LM_EXCLUDES(mu_);
  // Forgets the connection and closes its socket.
  void close(Connection& connection) LM_EXCLUDES(mu_);

  // Drops the waiting connection that goes first by the rule, a trusted one
  // only when `trustedToo` and no untrusted one waits; false when none is
  // dropped.
  bool dropLongestWaiting(bool trustedToo) LM_EXCLUDES(mu_);

  // Refuses new connections, drops every waiting one, and marks every
  // serving one as stopping. Idempotent.
  void stop() LM_EXCLUDES(mu_);
  bool stopped() LM_EXCLUDES(mu_);
  // Waits at most `wait` for every connection to be closed; true when they
  // all were.
  bool waitUntilClosed(std::chrono::milliseconds wait) LM_NO_THREAD_SAFETY_ANALYSIS;
  // Drops every connection still open, serving ones too.
  void dropAll() LM_EXCLUDES(mu_);

  // How many connections are open.
  std::size_t size() LM_EXCLUDES(mu_);

 private:
  // The waiting connection to drop first among those whose trust is
  // `trusted`; null when there is none.
  std::shared_ptr<Connection> longestWaiting(bool trusted) LM_REQUIRES(mu_);
  // Drops untrusted waiting connections, longest waiting first, until no
  // more wait than the limit.
  void enforceUntrustedLimit() LM_REQUIRES(mu_);

  const ConnectionLimits limits_;
  Mutex mu_;
  std::condition_variable_any closedOne_;  // a connection was closed
  std::list<std::shared_ptr<Connection>> open_ LM_GUARDED_BY(mu_);
  bool stopped_ LM_GUARDED_BY(mu_) = false;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_CONNECTION_TABLE_H_
