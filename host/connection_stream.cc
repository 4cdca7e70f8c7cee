#include "host/connection_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lumorel {
namespace {

// "\r\n\r\n" as the last four bytes seen: the blank line after the headers.
constexpr uint32_t kEndOfHead = 0x0D0A0D0A;

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  }
  ip = text;
}

}  // namespace

ConnectionStream::ConnectionStream(ConnectionTable& table, Connection& connection)
    : table_(table), connection_(connection) {}

bool ConnectionStream::waitForRequest() {
  inHead_ = true;
  headTail_ = 0;
  if (begin_ == end_ && !waitFor(POLLIN, Clock::now() + table_.limits().idle)) return false;
  deadline_ = Clock::now() + table_.limits().request;
  return true;
}

bool ConnectionStream::is_readable() const {
  return begin_ < end_ || waitFor(POLLIN, deadline_);
}

bool ConnectionStream::is_writable() const {
  return waitFor(POLLOUT, Clock::now() + table_.limits().write);
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (size == 0) return 0;
  if (begin_ == end_) {
    if (!waitFor(POLLIN, deadline_)) {
      expired_ = !connection_.dropped();
      return -1;
    }
    ssize_t got;
    do {
      got = ::recv(connection_.fd(), buffer_.data(), buffer_.size(), MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return got < 0 ? -1 : 0;
    begin_ = 0;
    end_ = static_cast<std::size_t>(got);
  }
  const std::size_t n = std::min(size, end_ - begin_);
  std::memcpy(ptr, buffer_.data() + begin_, n);
  begin_ += n;
  noteHead(ptr, n);
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (size == 0) return 0;
  const Clock::time_point deadline = Clock::now() + table_.limits().write;
  while (!connection_.dropped()) {
    const ssize_t sent = ::send(connection_.fd(), ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0) return sent;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (!waitFor(POLLOUT, deadline)) return -1;
  }
  return -1;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(connection_.fd(), reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, ip, port);
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(connection_.fd(), reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, ip, port);
}

bool ConnectionStream::waitFor(short events, Clock::time_point deadline) const {
  // A dropped connection's socket is shut down, which wakes the poll below
  // at once; the flag is looked at again after every wake.
  while (!connection_.dropped()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd entry{connection_.fd(), events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 60000)));
    if (ready > 0) return !connection_.dropped();
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

void ConnectionStream::noteHead(const char* bytes, std::size_t n) {
  for (std::size_t i = 0; inHead_ && i < n; ++i) {
    headTail_ = (headTail_ << 8) | static_cast<unsigned char>(bytes[i]);
    if (headTail_ == kEndOfHead) {
      inHead_ = false;
      table_.setServing(connection_);
    }
  }
}

}  // namespace lumorel
