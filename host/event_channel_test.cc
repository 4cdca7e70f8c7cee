// Event channels and the controls' streams attached to them: what a
// connection writes, when it ends, and when a control counts as connected.
#include "host/event_channel.h"

#include <gtest/gtest.h>

#include <thread>

namespace lumorel {
namespace {

constexpr std::chrono::milliseconds kNoWait{0};
constexpr std::chrono::milliseconds kLongWait{10000};

std::shared_ptr<EventStream> stream() { return std::make_shared<EventStream>(); }
std::shared_ptr<EventChannel> channel(EventChannel::Kind kind) {
  return std::make_shared<EventChannel>(kind);
}

TEST(EventChannel, APagesChannelWritesItsControlsMessagesAsTheyAre) {
  auto page = channel(EventChannel::Kind::kPage);
  auto control = stream();
  control->send("OnLoadDone", R"({"dispid":300})");  // before the page connects
  ASSERT_TRUE(page->add("00000000000000aa", control));
  control->send("quit", "{}");
  EXPECT_EQ(page->take(kNoWait),
            "event: OnLoadDone\ndata: {\"dispid\":300}\n\nevent: quit\ndata: {}\n\n");
  EXPECT_EQ(page->take(kNoWait), ":\n\n") << "nothing waits: a line that keeps it alive";
}

TEST(EventChannel, ASharedChannelNamesTheControlOfEachMessage) {
  auto shared = channel(EventChannel::Kind::kShared);
  auto a = stream(), b = stream();
  ASSERT_TRUE(shared->add("00000000000000aa", a));
  ASSERT_TRUE(shared->add("00000000000000bb", b));
  a->send("quit", "{}");
  b->send("dialog", R"({"dialog":201})");
  EXPECT_EQ(shared->take(kNoWait),
            "event: quit\ndata: {\"control\":\"00000000000000aa\",\"data\":{}}\n\n"
            "event: dialog\ndata: {\"control\":\"00000000000000bb\",\"data\":{\"dialog\":201}}\n\n");
}

TEST(EventChannel, ATimerMessageWaitsOnlyOnce) {
  auto page = channel(EventChannel::Kind::kPage);
  auto control = stream();
  for (int i = 0; i < 3; ++i) control->send("OnTimer", R"({"dispid":301})");
  ASSERT_TRUE(page->add("00000000000000aa", control));
  EXPECT_EQ(page->take(kNoWait), "event: OnTimer\ndata: {\"dispid\":301}\n\n");
  control->send("OnTimer", R"({"dispid":301})");
  EXPECT_EQ(page->take(kNoWait), "event: OnTimer\ndata: {\"dispid\":301}\n\n")
      << "taken, so queued again";
}

TEST(EventChannel, AControlAttachedElsewhereEndsItsPagesChannelButNotASharedOne) {
  for (EventChannel::Kind kind : {EventChannel::Kind::kPage, EventChannel::Kind::kShared}) {
    auto before = channel(kind);
    auto other = stream();
    auto control = stream();
    ASSERT_TRUE(before->add("00000000000000aa", control));
    if (kind == EventChannel::Kind::kShared) {
      ASSERT_TRUE(before->add("00000000000000bb", other));
    }
    auto after = channel(EventChannel::Kind::kShared);
    ASSERT_TRUE(after->add("00000000000000aa", control));
    control->send("quit", "{}");
    other->send("quit", "{}");
    if (kind == EventChannel::Kind::kPage) {
      EXPECT_EQ(before->take(kNoWait), std::nullopt);
    } else {
      EXPECT_EQ(before->take(kNoWait),
                "event: quit\ndata: {\"control\":\"00000000000000bb\",\"data\":{}}\n\n");
      EXPECT_EQ(before->size(), 1u);
    }
    EXPECT_EQ(after->take(kNoWait),
              "event: quit\ndata: {\"control\":\"00000000000000aa\",\"data\":{}}\n\n");
    // The channel it left ending does not detach it from the new one.
    before->end();
    EXPECT_TRUE(control->connected());
  }
}

TEST(EventChannel, AControlIsConnectedWhileAChannelCarriesIt) {
  auto shared = channel(EventChannel::Kind::kShared);
  auto control = stream();
  EXPECT_FALSE(control->connected());
  const auto made = control->lastChange();
  ASSERT_TRUE(shared->add("00000000000000aa", control));
  EXPECT_TRUE(control->connected());
  EXPECT_TRUE(shared->remove("00000000000000aa"));
  EXPECT_FALSE(shared->remove("00000000000000aa")) << "carried no more";
  EXPECT_FALSE(control->connected());
  EXPECT_GE(control->lastChange(), made);
  ASSERT_TRUE(shared->add("00000000000000aa", control));
  shared->end();
  EXPECT_FALSE(control->connected());
  EXPECT_FALSE(shared->add("00000000000000aa", control)) << "an ended channel takes none";
  EXPECT_FALSE(control->connected());
  EXPECT_EQ(shared->take(kNoWait), std::nullopt);
}

TEST(EventChannel, AClosedControlLeavesItsChannel) {
  for (EventChannel::Kind kind : {EventChannel::Kind::kPage, EventChannel::Kind::kShared}) {
    auto carrying = channel(kind);
    auto control = stream();
    ASSERT_TRUE(carrying->add("00000000000000aa", control));
    control->send("quit", "{}");
    control->close();  // what waited goes with it
    if (kind == EventChannel::Kind::kPage) {
      EXPECT_EQ(carrying->take(kNoWait), std::nullopt);
    } else {
      EXPECT_EQ(carrying->take(kNoWait), ":\n\n");
      EXPECT_EQ(carrying->size(), 0u);
    }
  }
}

TEST(EventChannel, ATakeThatWaitsIsWokenByAMessageOrTheEnd) {
  auto shared = channel(EventChannel::Kind::kShared);
  auto control = stream();
  ASSERT_TRUE(shared->add("00000000000000aa", control));
  EXPECT_EQ(shared->take(kNoWait), ":\n\n");
  std::thread sender([&] { control->send("quit", "{}"); });
  std::optional<std::string> text = shared->take(kLongWait);
  sender.join();
  EXPECT_EQ(text, "event: quit\ndata: {\"control\":\"00000000000000aa\",\"data\":{}}\n\n");
  std::thread ender([&] { shared->end(); });
  EXPECT_EQ(shared->take(kLongWait), std::nullopt);
  ender.join();
}

}  // namespace
}  // namespace lumorel
