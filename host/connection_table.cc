#include "host/connection_table.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumorel {

Connection::~Connection() { closeSocket(); }

bool Connection::gone() {
  if (dropped() || stopping()) return true;
  MutexLock lock(fdMu_);
  if (closed_) return true;
  // Only the hang-up events are asked for: a request the client sent ahead
  // is readable data, not a sign that it left.
  pollfd entry{fd_, POLLRDHUP, 0};
  if (::poll(&entry, 1, 0) <= 0) return false;
  return (entry.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void Connection::drop() {
  // Release: a thread that sees the flag also finds the socket shut down.
  MutexLock lock(fdMu_);
  if (!closed_) ::shutdown(fd_, SHUT_RDWR);
  dropped_.store(true, std::memory_order_release);
}

void Connection::closeSocket() {
  MutexLock lock(fdMu_);
  if (closed_) return;
  closed_ = true;
  ::close(fd_);
}

std::shared_ptr<Connection> ConnectionTable::open(int fd) {
  MutexLock lock(mu_);
  if (stopped_) return nullptr;
  auto connection = std::make_shared<Connection>(fd, std::chrono::steady_clock::now());
  open_.push_back(connection);
  enforceUntrustedLimit();
  return connection;
}

void ConnectionTable::setServing(Connection& connection) {
  MutexLock lock(mu_);
  connection.serving_ = true;
}

void ConnectionTable::setWaiting(Connection& connection) {
  MutexLock lock(mu_);
  connection.serving_ = false;
  if (stopped_) connection.drop();
  connection.waitingSince_ = std::chrono::steady_clock::now();
  if (!connection.trusted_) enforceUntrustedLimit();
}

void ConnectionTable::trust(Connection& connection) {
  MutexLock lock(mu_);
  connection.trusted_ = true;
}

void ConnectionTable::close(Connection& connection) {
  connection.closeSocket();
  {
    MutexLock lock(mu_);
    open_.remove_if([&](const std::shared_ptr<Connection>& c) { return c.get() == &connection; });
  }
  closedOne_.notify_all();
}

bool ConnectionTable::dropLongestWaiting(bool trustedToo) {
  MutexLock lock(mu_);
  std::shared_ptr<Connection> victim = longestWaiting(false);
  if (!victim && trustedToo) victim = longestWaiting(true);
  if (!victim) return false;
  victim->drop();
  return true;
}

void ConnectionTable::stop() {
  MutexLock lock(mu_);
  stopped_ = true;
  for (const std::shared_ptr<Connection>& connection : open_) {
    connection->stopping_.store(true, std::memory_order_release);
    if (!connection->serving_) connection->drop();
  }
}

bool ConnectionTable::waitUntilClosed(std::chrono::milliseconds wait) {
  std::unique_lock<Mutex> lock(mu_);
  return closedOne_.wait_for(lock, wait,
                             [this]() LM_NO_THREAD_SAFETY_ANALYSIS { return open_.empty(); });
}

void ConnectionTable::dropAll() {
  MutexLock lock(mu_);
  for (const std::shared_ptr<Connection>& connection : open_) connection->drop();
}

bool ConnectionTable::stopped() {
  MutexLock lock(mu_);
  return stopped_;
}

std::size_t ConnectionTable::size() {
  MutexLock lock(mu_);
  return open_.size();
}

std::shared_ptr<Connection> ConnectionTable::longestWaiting(bool trusted) {
  std::shared_ptr<Connection> longest;
  for (const std::shared_ptr<Connection>& c : open_) {
    if (c->serving_ || c->trusted_ != trusted || c->dropped()) continue;
    if (!longest || c->waitingSince_ < longest->waitingSince_) longest = c;
  }
  return longest;
}

void ConnectionTable::enforceUntrustedLimit() {
  std::size_t waiting = 0;
  for (const std::shared_ptr<Connection>& c : open_)
    if (!c->serving_ && !c->trusted_ && !c->dropped()) ++waiting;
  for (; waiting > limits_.untrustedWaiting; --waiting) longestWaiting(false)->drop();
}

}  // namespace lumorel
