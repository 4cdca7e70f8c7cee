#include "platform/win32/moniker_url_fetcher.h"

#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace lumorel {
namespace {

// A tiny HTTP/1.0 server on 127.0.0.1 for the fetcher's tests, on a thread
// of its own. Paths: "/hello" a short body, "/big" kBigSize bytes, "/empty"
// no body, "/missing" a 404, "/file" a redirect to a file: address,
// "/stall" a first part and then nothing until the server goes.
class LoopbackServer {
 public:
  static constexpr std::size_t kBigSize = 300000;

  LoopbackServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (listener_ == INVALID_SOCKET ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    stalled_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] { serve(); });
  }

  ~LoopbackServer() {
    SetEvent(stop_);
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(stop_);
    CloseHandle(stalled_);
    WSACleanup();
  }

  bool running() const { return port_ != 0; }
  // True once "/stall" has sent its first part and sends no more.
  bool stalled() const { return WaitForSingleObject(stalled_, 0) == WAIT_OBJECT_0; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  static std::string bigBody() {
    std::string body(kBigSize, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>('a' + i % 23);
    return body;
  }

 private:
  void serve() {
    while (true) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      answer(client);
      closesocket(client);
    }
  }

  void answer(SOCKET client) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    auto send200 = [&](const std::string& body) {
      sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                      "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    };
    if (path == "/hello") {
      send200("hello, world");
    } else if (path == "/big") {
      send200(bigBody());
    } else if (path == "/empty") {
      send200("");
    } else if (path == "/file") {
      sendAll(client, "HTTP/1.0 302 Found\r\nLocation: file:///C:/windows/win.ini\r\n"
                      "Content-Length: 0\r\n\r\n");
    } else if (path == "/stall") {
      sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n"
                      "Content-Length: 100000\r\n\r\nfirst part");
      SetEvent(stalled_);
      WaitForSingleObject(stop_, INFINITE);
    } else {
      sendAll(client, "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n"
                      "Content-Length: 9\r\n\r\nnot found");
    }
  }

  static void sendAll(SOCKET client, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const int put = send(client, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
      if (put <= 0) return;
      done += static_cast<std::size_t>(put);
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  unsigned port_ = 0;
  HANDLE stop_ = nullptr;
  HANDLE stalled_ = nullptr;
  std::thread thread_;
};

// The whole body, or nullopt when a read failed.
std::optional<std::string> readAll(FetchStream& stream) {
  std::string body;
  char buffer[7000];
  while (true) {
    std::optional<std::size_t> got = stream.read(buffer, sizeof buffer);
    if (!got) return std::nullopt;
    if (*got == 0) return body;
    body.append(buffer, *got);
  }
}

TEST(MonikerUrlFetcher, DownloadsABodyWhole) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  MonikerUrlFetcher fetcher;
  struct Case {
    std::string path;
    std::string body;
  } cases[] = {
      {"/hello", "hello, world"},
      {"/big", LoopbackServer::bigBody()},
      {"/empty", ""},
  };
  for (const Case& c : cases) {
    auto stream = fetcher.fetch(server.url(c.path), nullptr);
    ASSERT_NE(stream, nullptr) << c.path;
    char none;
    EXPECT_EQ(stream->read(&none, 0), std::optional<std::size_t>(0)) << c.path;
    EXPECT_EQ(readAll(*stream), std::optional<std::string>(c.body)) << c.path;
    EXPECT_EQ(stream->read(&none, 1), std::optional<std::size_t>(0)) << c.path << ": stays ended";
  }
}

TEST(MonikerUrlFetcher, RefusesWhatItCannotFetch) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  // A port nobody listens on: one the system gave and took back.
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  closesocket(probe);
  const std::string closedPort = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

  MonikerUrlFetcher fetcher;
  const std::string refused[] = {
      "file:///C:/windows/win.ini",
      "C:\\windows\\win.ini",
      "ftp://127.0.0.1/x",
      "lm:main",
      "",
      std::string("http://127.0.0.1/\0x", 19),
      "http://127.0.0.1/" + std::string(3000, 'a'),
      server.url("/missing"),
      server.url("/file"),
      closedPort,
  };
  for (const std::string& url : refused) {
    EXPECT_EQ(fetcher.fetch(url, nullptr), nullptr) << url;
  }
  std::string upper = server.url("/hello");
  upper.replace(0, 4, "HTTP");
  auto stream = fetcher.fetch(upper, nullptr);
  ASSERT_NE(stream, nullptr) << "the scheme in any case";
  EXPECT_EQ(readAll(*stream), std::optional<std::string>("hello, world"));
}

// A download that waits for the network ends as soon as the cancel check
// says so, whether the moniker has handed over the first part by then
// (fetch gives a stream whose reading fails after it) or not (fetch fails).
TEST(MonikerUrlFetcher, StopsWaitingWhenCancelled) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  MonikerUrlFetcher fetcher;
  EXPECT_EQ(fetcher.fetch(server.url("/hello"), [] { return true; }), nullptr);

  auto stream = fetcher.fetch(server.url("/stall"), [&server] { return server.stalled(); });
  if (stream) {
    std::string body;
    char buffer[64];
    std::optional<std::size_t> got;
    while ((got = stream->read(buffer, sizeof buffer)) && *got > 0) body.append(buffer, *got);
    EXPECT_EQ(got, std::nullopt) << "a cancelled download is a failed one";
    EXPECT_EQ(body, std::string("first part").substr(0, body.size()));
  }
  EXPECT_TRUE(server.stalled());
}

TEST(MonikerUrlFetcher, GivesUpAtItsTimeLimit) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  MonikerUrlFetcher fetcher(MonikerFetchLimits{.totalTimeoutMs = 300});
  const uint32_t start = GetTickCount();
  auto stream = fetcher.fetch(server.url("/stall"), nullptr);
  if (stream) {
    EXPECT_EQ(readAll(*stream), std::nullopt);
  }
  EXPECT_LT(GetTickCount() - start, 5000u);
}

}  // namespace
}  // namespace lumorel
