#include "control/enum_img.h"

#include <thread>

#include "control/control_test_util.h"

namespace lumorel {
namespace {

TEST_F(ControlTest, AScanStartedBySetParentDirEndsInOnLoadDoneOnTheUiThread) {
  tree_.write("a.jpg");
  tree_.write("b.png");
  tree_.write("notes.txt");
  scan(tree_.path());
  EXPECT_EQ(value("FileCount"), Variant(2));
  const Variant current = value("CurrentName");
  EXPECT_TRUE(current == Variant("file://" + tree_ / "a.jpg") ||
              current == Variant("file://" + tree_ / "b.png"))
      << describe(current);
  EXPECT_EQ(log_.entries(), std::vector<std::string>{"page:300"});
  EXPECT_EQ(log_.offThread(), 0);
}

TEST_F(ControlTest, EventsReachEverySinkInConnectionOrder) {
  tree_.write("a.jpg");
  const uint32_t second = onUi([&] {
    return control_->advise(std::make_shared<RecordingSink>("second", log_, loop_));
  });
  scan(tree_.path());
  ASSERT_TRUE(log_.waitFor("second:300"));
  // A completion with any DISPID fires that DISPID; 301 is OnTimer.
  onUi([&] {
    control_->fireEvent(301);
    control_->fireEvent(999);
  });
  EXPECT_EQ(log_.entries(), (std::vector<std::string>{"page:300", "second:300", "page:301",
                                                      "second:301", "page:999", "second:999"}));

  // After the first disconnects, the second still receives events.
  EXPECT_TRUE(onUi([&] { return control_->unadvise(1); }));
  onUi([&] { control_->fireEvent(302); });
  EXPECT_EQ(log_.entries().back(), "second:302");
  EXPECT_EQ(log_.count("page:302"), 0u);
  EXPECT_FALSE(onUi([&] { return control_->unadvise(1); })) << "already disconnected";
  EXPECT_TRUE(onUi([&] { return control_->unadvise(second); }));
  EXPECT_EQ(log_.offThread(), 0);
}

TEST_F(ControlTest, ANewHeartbeatReplacesTheRunningOne) {
  ASSERT_EQ(method("StartTimer", {3600000u}).hr, kSOk);
  ASSERT_EQ(method("StartTimer", {5u}).hr, kSOk);
  EXPECT_EQ(onUi([&] { return control_->heartbeatTimer(); }), EnumImg::kHeartbeatTimerId);
  ASSERT_TRUE(log_.waitFor("page:301", 3)) << "the hour-long heartbeat still runs";
  ASSERT_EQ(method("StopTimer").hr, kSOk);
  const std::size_t stoppedAt = log_.count("page:301");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  onUi([] {});
  EXPECT_LE(log_.count("page:301"), stoppedAt + 1) << "at most one tick queued before the stop";
  EXPECT_EQ(onUi([&] { return control_->heartbeatTimer(); }), 0u);

  // A second stop, like a stop without a start, calls nothing.
  const int stops = onUi([&] { return ui_.stops; });
  ASSERT_EQ(method("StopTimer").hr, kSOk);
  EXPECT_EQ(onUi([&] { return ui_.stops; }), stops);
  EXPECT_EQ(log_.offThread(), 0);
}

TEST_F(ControlTest, StopTimerWithoutAHeartbeatCallsNothing) {
  ASSERT_EQ(method("StopTimer").hr, kSOk);
  EXPECT_EQ(onUi([&] { return ui_.stops; }), 0);
}

TEST_F(ControlTest, AHeartbeatThatCannotStartFiresNothing) {
  onUi([&] { ui_.timerWorks = false; });
  EXPECT_EQ(method("StartTimer", {1u}).hr, kSOk);
  EXPECT_EQ(onUi([&] { return control_->heartbeatTimer(); }), 0u);
  ASSERT_EQ(method("StopTimer").hr, kSOk);
  EXPECT_EQ(onUi([&] { return ui_.stops; }), 0) << "nothing ran, nothing to stop";
  EXPECT_EQ(log_.count("page:301"), 0u);
}

// The loop queues a due tick between two tasks; a stop posted behind a task
// that outlasts the period then runs with a tick queued behind it.
TEST_F(ControlTest, ATickQueuedBeforeTheStopStillFires) {
  loop_.post([&] {
    control_->StartTimer(1);
    Clock::system().sleep(10);
  });
  loop_.post([&] { control_->StopTimer(); });
  ASSERT_TRUE(log_.waitFor("page:301"));
  onUi([] {});
  EXPECT_EQ(log_.count("page:301"), 1u);
}

TEST_F(ControlTest, ATickQueuedBeforeDestructionFiresNothing) {
  loop_.post([&] {
    control_->StartTimer(1);
    Clock::system().sleep(10);
  });
  loop_.post([&] { control_.reset(); });
  onUi([] {});
  onUi([] {});
  EXPECT_EQ(log_.count("page:301"), 0u);
}

TEST_F(ControlTest, LoadDoneTellsAnEndedWorkerUntilItIsWaitedFor) {
  tree_.write("a.jpg");
  tree_.write("b.jpg");
  EXPECT_EQ(value("LoadDone"), Variant(0)) << "no worker yet";
  scan(tree_.path());
  Variant done;
  for (int i = 0; i < 1000 && (done = value("LoadDone")) != Variant(1); ++i)
    Clock::system().sleep(1);
  EXPECT_EQ(done, Variant(1));
  ASSERT_EQ(method("Next").hr, kSOk);
  EXPECT_EQ(value("LoadDone"), Variant(0)) << "Next waited for the worker";
}

TEST_F(ControlTest, QuitItClosesTheHostWindowAndFailsWithoutOne) {
  EXPECT_EQ(method("QuitIt").hr, kEFail) << "made outside a browser";
  onUi([&] { control_->setHostWindow(&host_); });
  EXPECT_EQ(method("QuitIt").hr, kSOk);
  EXPECT_EQ(host_.quits, 1);
  host_.quitWorks = false;
  EXPECT_EQ(method("QuitIt").hr, kEFail);
  onUi([&] { control_->setHostWindow(nullptr); });
}

class SlowControlTest : public ControlTest {
 protected:
  SlowControlTest() : ControlTest(slow_) {}
  inline static SlowListing slow_;
};

TEST_F(SlowControlTest, CloseEndsARunningScanEarlyAndDestructionWaitsForIt) {
  for (int i = 0; i < 200; ++i) tree_.write("d" + std::to_string(i) + "/p.jpg");
  ASSERT_EQ(method("SetParentDir", {tree_.path(), int16_t{1}, int16_t{0}}).hr, kSOk);
  ASSERT_EQ(onUi([&] { return control_->Close(); }), kSOk);
  for (int i = 0; i < 5000 && value("LoadDone") != Variant(1); ++i) Clock::system().sleep(1);
  EXPECT_EQ(value("LoadDone"), Variant(1)) << "the scan did not end after Close";
  EXPECT_LT(value("FileCount").int32(), 200);
}

TEST_F(SlowControlTest, DestroyingTheControlWhileAScanRunsFiresNothingAfterwards) {
  for (int i = 0; i < 200; ++i) tree_.write("d" + std::to_string(i) + "/p.jpg");
  ASSERT_EQ(method("SetParentDir", {tree_.path(), int16_t{1}, int16_t{0}}).hr, kSOk);
  onUi([&] { control_.reset(); });
  onUi([] {});
  EXPECT_EQ(log_.count("page:300"), 0u);
}

}  // namespace
}  // namespace lumorel
