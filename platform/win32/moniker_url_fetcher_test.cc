// Winsock first: it must come before <windows.h>.
#include "platform/win32/loopback_http_server.h"
#include "platform/win32/moniker_url_fetcher.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>


namespace lumorel {
namespace {

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
