#include "platform/posix/curl_url_fetcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "test_support/loopback_http_server.h"

namespace lumorel {
namespace {

// Everything the stream gives, read `chunk` bytes at a time; "<failed>"
// appended when a read fails.
std::string readAll(FetchStream& stream, std::size_t chunk = 1000) {
  std::string all, buffer(chunk, '\0');
  while (true) {
    std::optional<std::size_t> got = stream.read(buffer.data(), chunk);
    if (!got) return all + "<failed>";
    if (*got == 0) return all;
    EXPECT_LE(*got, chunk);
    all.append(buffer.data(), *got);
  }
}

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST(CurlUrlFetcher, StreamsABodyInTheReadersPieces) {
  LoopbackHttpServer server;
  std::string body = pattern(300000);
  server.answer("/big.jpg", {.body = body});
  server.answer("/empty.gif", {.body = ""});
  CurlUrlFetcher fetcher;

  auto stream = fetcher.fetch(server.url("/big.jpg"), nullptr);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(readAll(*stream, 4096), body);
  EXPECT_EQ(stream->read(nullptr, 0), std::optional<std::size_t>(0)) << "still at the end";

  auto empty = fetcher.fetch(server.url("/empty.gif"), nullptr);
  ASSERT_NE(empty, nullptr) << "an empty body is a body";
  EXPECT_EQ(readAll(*empty), "");
}

TEST(CurlUrlFetcher, FollowsRedirectsOnlyToTheWeb) {
  LoopbackHttpServer server;
  server.answer("/a.jpg", {.body = "picture"});
  server.answer("/moved", {.status = 302, .headers = "Location: /a.jpg\r\n"});
  server.answer("/to-file", {.status = 302, .headers = "Location: file:///etc/passwd\r\n"});
  CurlUrlFetcher fetcher;

  auto moved = fetcher.fetch(server.url("/moved"), nullptr);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(readAll(*moved), "picture");
  EXPECT_EQ(fetcher.fetch(server.url("/to-file"), nullptr), nullptr);
}

TEST(CurlUrlFetcher, RefusesWhatCannotBeFetched) {
  LoopbackHttpServer server;
  CurlUrlFetcher fetcher({.connectTimeoutMs = 2000, .totalTimeoutMs = 5000});
  const std::string refused = [] {
    LoopbackHttpServer gone;
    return gone.url("/x.jpg");
  }();  // that server has stopped: its port now refuses
  for (const std::string& url : {server.url("/missing.jpg"), std::string("file:///etc/hostname"),
                                 std::string("ftp://127.0.0.1/x.jpg"), std::string("not a url"),
                                 std::string(""), refused,
                                 server.url("/a") + std::string("\0b.jpg", 6)}) {
    EXPECT_EQ(fetcher.fetch(url, nullptr), nullptr) << url;
  }
}

TEST(CurlUrlFetcher, TimesOutAServerThatSaysNothing) {
  LoopbackHttpServer server;
  server.answer("/silent", {.silent = true});
  CurlUrlFetcher fetcher({.connectTimeoutMs = 2000, .totalTimeoutMs = 300});
  EXPECT_EQ(fetcher.fetch(server.url("/silent"), nullptr), nullptr);
  server.release();
}

TEST(CurlUrlFetcher, ATimeOutPartWayFailsTheRead) {
  LoopbackHttpServer server;
  server.answer("/stalls.jpg", {.body = pattern(10000), .holdAfter = 100});
  CurlUrlFetcher fetcher({.connectTimeoutMs = 2000, .totalTimeoutMs = 500});
  auto stream = fetcher.fetch(server.url("/stalls.jpg"), nullptr);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(readAll(*stream), pattern(100) + "<failed>");
  server.release();
}

TEST(CurlUrlFetcher, CancellingStopsAWaitingRead) {
  LoopbackHttpServer server;
  server.answer("/stalls.jpg", {.body = pattern(10000), .holdAfter = 100});
  std::atomic<bool> cancel{false};
  CurlUrlFetcher fetcher;
  auto stream = fetcher.fetch(server.url("/stalls.jpg"),
                              [&cancel] { return cancel.load(std::memory_order_relaxed); });
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(server.waitUntilHeld());
  std::thread canceller([&cancel] { cancel.store(true, std::memory_order_relaxed); });
  EXPECT_EQ(readAll(*stream), pattern(100) + "<failed>");
  canceller.join();
  server.release();

  EXPECT_EQ(fetcher.fetch(server.url("/stalls.jpg"), [] { return true; }), nullptr)
      << "cancelled before the body began";
}

}  // namespace
}  // namespace lumorel
