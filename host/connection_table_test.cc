// The rule of the host's connection table on socket pairs: which waiting
// connection goes first, the cap on untrusted ones, stopping, and telling
// whether a client has gone.
#include "host/connection_table.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

namespace lumorel {
namespace {

// One connection of the table with the client end of its socket pair.
struct Pair {
  std::shared_ptr<Connection> connection;
  int client = -1;
};

class ConnectionTableTest : public ::testing::Test {
 protected:
  ~ConnectionTableTest() override {
    for (Pair& pair : pairs_) {
      if (pair.connection) table_->close(*pair.connection);
      ::close(pair.client);
    }
  }

  void makeTable(std::size_t untrustedWaiting) {
    ConnectionLimits limits;
    limits.untrustedWaiting = untrustedWaiting;
    table_ = std::make_unique<ConnectionTable>(limits);
  }

  // Opens a connection (a new, waiting, untrusted one); its index.
  std::size_t open() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    pairs_.push_back(Pair{table_->open(fds[0]), fds[1]});
    EXPECT_TRUE(pairs_.back().connection);
    return pairs_.size() - 1;
  }

  Connection& at(std::size_t i) { return *pairs_[i].connection; }

  // The indexes of the dropped connections.
  std::vector<std::size_t> dropped() {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < pairs_.size(); ++i)
      if (pairs_[i].connection->dropped()) out.push_back(i);
    return out;
  }

  // True when the client end sees its connection shut down.
  bool clientSeesShutDown(std::size_t i) {
    pollfd entry{pairs_[i].client, POLLIN, 0};
    char byte;
    return ::poll(&entry, 1, 0) == 1 && ::recv(pairs_[i].client, &byte, 1, MSG_DONTWAIT) == 0;
  }

  std::unique_ptr<ConnectionTable> table_;
  std::vector<Pair> pairs_;
};

// Connections 0..3 in order of opening; the states given, then
// dropLongestWaiting(true) once per expected drop.
TEST_F(ConnectionTableTest, WaitingConnectionsGoLongestWaitingFirstUntrustedBeforeTrusted) {
  enum State { kUntrusted, kTrusted, kServing, kTrustedServing };
  struct Case {
    const char* name;
    std::vector<State> states;
    std::vector<std::size_t> order;  // indexes dropped, in order, then no more
  } cases[] = {
      {"all untrusted: oldest first", {kUntrusted, kUntrusted, kUntrusted}, {0, 1, 2}},
      {"trusted ones last", {kTrusted, kUntrusted, kTrusted, kUntrusted}, {1, 3, 0, 2}},
      {"serving ones never", {kServing, kUntrusted, kTrustedServing, kTrusted}, {1, 3}},
      {"nothing waits", {kServing, kTrustedServing}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pairs_.clear();
    makeTable(100);
    for (State state : c.states) {
      const std::size_t i = open();
      if (state == kTrusted || state == kTrustedServing) table_->trust(at(i));
      if (state == kServing || state == kTrustedServing) table_->setServing(at(i));
    }
    std::vector<std::size_t> order;
    for (std::size_t n = 0; n < c.states.size() && table_->dropLongestWaiting(true); ++n) {
      const std::vector<std::size_t> now = dropped();
      for (std::size_t i : now)
        if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    }
    EXPECT_EQ(order, c.order);
    EXPECT_FALSE(table_->dropLongestWaiting(true));
    for (std::size_t i : order) EXPECT_TRUE(clientSeesShutDown(i)) << i;
    for (Pair& pair : pairs_) {
      table_->close(*pair.connection);
      ::close(pair.client);
    }
  }
  pairs_.clear();
}

TEST_F(ConnectionTableTest, ATrustedConnectionIsDroppedOnlyWhenAllowed) {
  makeTable(100);
  table_->trust(at(open()));
  open();
  EXPECT_TRUE(table_->dropLongestWaiting(false));
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{1}));
  EXPECT_FALSE(table_->dropLongestWaiting(false));
  EXPECT_TRUE(table_->dropLongestWaiting(true));
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0, 1}));
}

TEST_F(ConnectionTableTest, UntrustedWaitingConnectionsAreCapped) {
  makeTable(2);
  open();
  open();
  EXPECT_TRUE(dropped().empty());
  // A third waits: the one that waited longest goes.
  open();
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0}));
  // Trusted and serving ones do not count.
  table_->trust(at(1));
  table_->setServing(at(2));
  open();
  open();
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0}));
  // One that is answered and waits again counts again, from now.
  table_->setWaiting(at(2));
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0, 3}));
  EXPECT_EQ(table_->size(), 5u);
}

TEST_F(ConnectionTableTest, StopDropsWaitingConnectionsAtOnceAndServingOnesLast) {
  makeTable(100);
  open();
  table_->setServing(at(open()));
  table_->stop();
  // The waiting one is dropped; the serving one may still write its answer,
  // but is gone for whatever watches it.
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0}));
  EXPECT_TRUE(clientSeesShutDown(0));
  EXPECT_TRUE(at(1).gone());
  EXPECT_TRUE(at(1).stopping());
  ASSERT_EQ(::send(at(1).fd(), "answer", 6, MSG_NOSIGNAL), 6);
  EXPECT_FALSE(table_->waitUntilClosed(std::chrono::milliseconds(10)));
  table_->dropAll();
  EXPECT_EQ(dropped(), (std::vector<std::size_t>{0, 1}));

  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  EXPECT_FALSE(table_->open(fds[0]));
  ::close(fds[0]);
  ::close(fds[1]);

  // Once the serving threads close their connections, the wait ends.
  std::thread closer([this] {
    for (Pair& pair : pairs_) table_->close(*pair.connection);
  });
  EXPECT_TRUE(table_->waitUntilClosed(std::chrono::milliseconds(10000)));
  closer.join();
  EXPECT_EQ(table_->size(), 0u);
}

TEST_F(ConnectionTableTest, AConnectionIsGoneWhenItsClientHangsUpNotWhenItSends) {
  makeTable(100);
  const std::size_t i = open();
  EXPECT_FALSE(at(i).gone());
  // A request sent ahead is no sign of leaving.
  ASSERT_EQ(::send(pairs_[i].client, "GET", 3, 0), 3);
  EXPECT_FALSE(at(i).gone());
  ::close(pairs_[i].client);
  pairs_[i].client = -1;
  EXPECT_TRUE(at(i).gone());

  const std::size_t j = open();
  table_->dropLongestWaiting(true);  // the first is gone but still waiting: it goes
  EXPECT_FALSE(at(j).dropped());
  EXPECT_TRUE(table_->dropLongestWaiting(true));
  EXPECT_TRUE(at(j).gone());

  // Closed: gone, and the socket is not polled any more.
  std::shared_ptr<Connection> kept = pairs_[j].connection;
  table_->close(*kept);
  EXPECT_TRUE(kept->gone());
}

}  // namespace
}  // namespace lumorel
