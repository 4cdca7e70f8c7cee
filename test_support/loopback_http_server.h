// A small HTTP/1.1 server on 127.0.0.1 for tests of code that downloads:
// fixed answers by path, and answers that stop part way until the test
// lets them go on.
#ifndef LUMOREL_TEST_SUPPORT_LOOPBACK_HTTP_SERVER_H_
#define LUMOREL_TEST_SUPPORT_LOOPBACK_HTTP_SERVER_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace lumorel {

struct HttpAnswer {
  int status = 200;
  std::string body;
  // Header lines, each ending with "\r\n", added to the answer.
  std::string headers;
  // After this many bytes of the body the answer waits until release() (or
  // the server stops), then sends the rest. npos: never waits.
  std::size_t holdAfter = std::string::npos;
  // When true, nothing at all is sent (not even the status line) until
  // release(); then the connection is closed.
  bool silent = false;
};

// Serves one connection at a time on its own thread, from construction
// (listening on a port the system picks) until destruction. An unknown path
// gets 404. Each answer closes its connection.
class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Sets the answer for `path` (as in the request line, e.g. "/a.jpg").
  void answer(const std::string& path, HttpAnswer answer);

  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(const std::string& path) const;

  // Lets every held or silent answer go on, now and later.
  void release();

  // Waits at most 10 s until an answer has stopped at its hold point (or,
  // silent, has taken its request); true when it has.
  bool waitUntilHeld();

  // How many requests have been read so far.
  int requests();

 private:
  void serve();
  void handle(int fd);
  // Waits until release() or the end; false at the end.
  bool waitForRelease();

  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};  // a pipe that wakes the server thread to stop
  uint16_t port_ = 0;
  std::mutex mu_;
  std::condition_variable cv_;
  std::map<std::string, HttpAnswer> answers_;
  bool released_ = false;
  bool stopping_ = false;
  int held_ = 0;
  int requests_ = 0;
  std::thread thread_;
};

}  // namespace lumorel

#endif  // LUMOREL_TEST_SUPPORT_LOOPBACK_HTTP_SERVER_H_
