// Clients that are slow, silent or gone against a host on loopback: a
// request held to its deadline, idle connections that never keep the host
// from serving, relays given up when their client leaves, and a stop that
// ends every connection at once.
#include <future>

#include "host/host_test_util.h"
#include "host/socket_test_util.h"

namespace lumorel {
namespace {

using std::chrono::milliseconds;

// Generous against a busy machine and the sanitizers, and still far below
// the waits the host had before (the five seconds of a read, the 300 of a
// relay, forever for a trickle).
constexpr milliseconds kPrompt{2000};
// How long a test waits for an answer whose time it does not measure.
constexpr milliseconds kAnswerWait{10000};

class SlowClientTest : public HostTest {
 protected:
  SlowClientTest() { pages_.write("main.htm", "<html><head></head><body>main</body></html>"); }

  std::string hostLine() const { return "Host: 127.0.0.1:" + std::to_string(port()) + "\r\n"; }
  // A whole request head of the user's own pages, with the token.
  std::string getHead(const std::string& target, const std::string& more = "") const {
    return "GET " + target + " HTTP/1.1\r\n" + hostLine() + "X-Lumorel-Token: " + kTestToken +
           "\r\n" + more + "\r\n";
  }
  std::string relayTarget(const SilentServer& web) const { return "/lm:&src=" + web.url(); }
};

TEST_F(SlowClientTest, ARequestMustArriveWholeWithinItsDeadline) {
  limits_.idle = limits_.request = milliseconds(1500);
  start();
  const std::string call = "{\"member\":\"Version\",\"kind\":\"get\",\"args\":[]}";
  struct Case {
    const char* name;
    std::string sent;     // at once
    std::string trickle;  // then a byte every `every`
    milliseconds every;
    bool answered;
  } cases[] = {
      // About five seconds of head at ten bytes a second.
      {"a head a byte at a time", "", getHead("/lm:main"), milliseconds(100), false},
      {"a body a byte at a time",
       "POST /.lumorel/controls HTTP/1.1\r\n" + hostLine() +
           "X-Lumorel-Token: " + kTestToken + "\r\nContent-Type: application/json\r\n" +
           "Content-Length: " + std::to_string(call.size()) + "\r\n\r\n",
       call, milliseconds(100), false},
      {"nothing at all", "", "", milliseconds(0), false},
      // Slow bytes are fine while the whole comes in time.
      {"a head in a hurry, a byte at a time", "", getHead("/lm:main"), milliseconds(1), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawClient client(port());
    ASSERT_TRUE(client.connected());
    const auto begin = SteadyClock::now();
    ASSERT_TRUE(client.send(c.sent));
    if (!c.trickle.empty()) client.trickle(c.trickle, c.every);
    const std::string answer = client.readAnswer(kAnswerWait);
    if (c.answered) {
      EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
      continue;
    }
    EXPECT_TRUE(answer.empty() || answer.rfind("HTTP/1.1 400", 0) == 0) << answer;
    EXPECT_TRUE(client.waitForClose(kPrompt));
    // Dropped at the deadline (or the idle limit), not when the trickle ended.
    EXPECT_LT(millisSince(begin), 3500) << "dropped late";
    EXPECT_GE(millisSince(begin), 900) << "dropped before its time";
  }
  EXPECT_EQ(get("/lm:main").status, 200);
}

TEST_F(SlowClientTest, AKeptAliveConnectionIsClosedAfterItsIdleLimit) {
  limits_.idle = milliseconds(1000);
  start();
  RawClient client(port());
  ASSERT_TRUE(client.send(getHead("/lm:main")));
  EXPECT_EQ(client.readAnswer(kAnswerWait).rfind("HTTP/1.1 200", 0), 0u);
  const auto answered = SteadyClock::now();
  EXPECT_TRUE(client.waitForClose(milliseconds(4000)));
  // Not at once: this thread may have read the answer late on a busy machine.
  EXPECT_GE(millisSince(answered), 500);
}

TEST_F(SlowClientTest, IdleConnectionsNeverKeepAPageWaiting) {
  // Nothing runs out on its own here: only dropping idle connections lets
  // the page in.
  limits_.idle = limits_.request = milliseconds(60000);
  threads_ = 8;
  start();
  // A page's own connection, kept alive after a bridge request.
  RawClient page(port());
  const std::string bridge =
      getHead("/.lumorel/bridge.js?token=" + std::string(kTestToken));
  ASSERT_TRUE(page.send(bridge));
  ASSERT_EQ(page.readAnswer(kAnswerWait).rfind("HTTP/1.1 200", 0), 0u);

  constexpr int kIdle = 300;
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < kIdle; ++i) {
    idle.push_back(std::make_unique<RawClient>(port()));
    ASSERT_TRUE(idle.back()->connected());
    // Half say nothing, half begin a request and stop.
    if (i % 2 == 1) {
      ASSERT_TRUE(idle.back()->send("GET /lm:main HTTP/1.1\r\n"));
    }
  }
  const auto begin = SteadyClock::now();
  EXPECT_EQ(get("/lm:main").status, 200);
  // Far below the limits, which are what a page would wait for otherwise;
  // three hundred connections take a while to let go of under a sanitizer.
  EXPECT_LT(millisSince(begin), 5000);

  // The page's connection was kept: its next request is answered on it.
  ASSERT_TRUE(page.send(bridge));
  EXPECT_EQ(page.readAnswer(kAnswerWait).rfind("HTTP/1.1 200", 0), 0u);

  // Every idle connection beyond the threads has been dropped.
  int open = 0;
  for (auto& client : idle) open += client->waitForClose(milliseconds(0)) ? 0 : 1;
  EXPECT_LE(open, static_cast<int>(threads_));
}

TEST_F(SlowClientTest, ARelayIsGivenUpAsSoonAsItsClientLeaves) {
  start();
  struct Case {
    const char* name;
    std::string prelude;  // what the web server sends before it falls silent
  } cases[] = {
      {"while the fetch waits for an answer", ""},
      {"while the body comes",
       "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nGIF89a" + std::string(100, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SilentServer web(c.prelude);
    RawClient client(port());
    ASSERT_TRUE(client.send(getHead(relayTarget(web))));
    const int fetch = web.waitForConnection(1, milliseconds(10000));
    ASSERT_GE(fetch, 0) << "the relay never fetched";
    // Once the body comes, the client sees the answer begin.
    if (!c.prelude.empty()) {
      EXPECT_EQ(client.readAnswer(kAnswerWait).rfind("HTTP/1.1 200", 0), 0u);
    }
    client.close();
    const auto left = SteadyClock::now();
    EXPECT_TRUE(waitForPeerClose(fetch, kPrompt)) << "the fetch went on";
    EXPECT_LT(millisSince(left), kPrompt.count());
  }
  EXPECT_EQ(get("/lm:main").status, 200);
}

TEST_F(SlowClientTest, StopEndsEveryConnectionAtOnce) {
  limits_.idle = limits_.request = milliseconds(60000);
  start();
  SilentServer web;
  std::string id = create();
  ASSERT_FALSE(id.empty());
  std::unique_ptr<EventReader> stream = events(id);

  RawClient trickler(port());
  trickler.trickle(getHead("/lm:main"), milliseconds(500));
  RawClient silent(port());
  RawClient keptAlive(port());
  ASSERT_TRUE(keptAlive.send(getHead("/lm:main")));
  ASSERT_EQ(keptAlive.readAnswer(kAnswerWait).rfind("HTTP/1.1 200", 0), 0u);
  RawClient relay(port());
  ASSERT_TRUE(relay.send(getHead(relayTarget(web))));
  const int fetch = web.waitForConnection(1, milliseconds(10000));
  ASSERT_GE(fetch, 0);

  const auto begin = SteadyClock::now();
  server_->stop();
  EXPECT_LT(millisSince(begin), kPrompt.count());
  EXPECT_EQ(server_->registry().size(), 0u);
  for (RawClient* client : {&trickler, &silent, &keptAlive, &relay})
    EXPECT_TRUE(client->waitForClose(milliseconds(0)));
  EXPECT_TRUE(waitForPeerClose(fetch, milliseconds(500))) << "the fetch went on";
  EXPECT_TRUE(stream->waitForEnd().has_value());
}

}  // namespace
}  // namespace lumorel
