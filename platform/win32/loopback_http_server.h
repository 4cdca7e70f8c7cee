// A web server on loopback for the tests of downloads under Wine.
#ifndef LUMOREL_PLATFORM_WIN32_LOOPBACK_HTTP_SERVER_H_
#define LUMOREL_PLATFORM_WIN32_LOOPBACK_HTTP_SERVER_H_

#include <winsock2.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <thread>

namespace lumorel {

// A tiny HTTP/1.0 server on 127.0.0.1 for tests of downloads, on a thread
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

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_LOOPBACK_HTTP_SERVER_H_
