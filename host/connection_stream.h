// One connection of the host as the HTTP library's stream: reads held to the
// request's deadline, writes to the write limit, and both ended at once
// when the connection is dropped.
#ifndef LUMOREL_HOST_CONNECTION_STREAM_H_
#define LUMOREL_HOST_CONNECTION_STREAM_H_

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>

#include "host/connection_table.h"

namespace lumorel {

// Serves the requests of one connection, one after another, on the serving
// thread that owns it. Bytes read ahead are kept for the next request.
class ConnectionStream final : public httplib::Stream {
 public:
  // Borrows both; they outlive the stream.
  ConnectionStream(ConnectionTable& table, Connection& connection);

  // Waits for the first byte of the next request, at most the idle limit.
  // True when it came (or the client closed: the read then says so); false
  // when the limit passed or the connection was dropped. Starts the
  // request's deadline.
  bool waitForRequest();
  // True when a read failed because the request's deadline passed.
  bool expired() const { return expired_; }

  bool is_readable() const override;
  bool is_writable() const override;
  // Fails (-1) once the deadline has passed or the connection is dropped.
  ssize_t read(char* ptr, size_t size) override;
  // Writes at least one byte, waiting at most the write limit for the
  // client to take them; -1 when it does not, or the connection is dropped.
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return connection_.fd(); }

 private:
  using Clock = std::chrono::steady_clock;

  // Waits until the socket has `events` or `deadline` passes; false then,
  // or when the connection is dropped.
  bool waitFor(short events, Clock::time_point deadline) const;
  // Notes the bytes handed to the library; once the blank line that ends
  // the request head has gone by, the connection is serving.
  void noteHead(const char* bytes, std::size_t n);

  ConnectionTable& table_;
  Connection& connection_;
  Clock::time_point deadline_;
  bool expired_ = false;
  bool inHead_ = false;
  // The last bytes of the head handed out, to find its end ("\r\n\r\n").
  uint32_t headTail_ = 0;
  std::array<char, 4096> buffer_;
  std::size_t begin_ = 0;  // unread bytes are buffer_[begin_, end_)
  std::size_t end_ = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_CONNECTION_STREAM_H_
