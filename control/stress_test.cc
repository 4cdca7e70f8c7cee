// Script's calls while workers run: the members that never wait read while
// scans and duplicate searches change the lists, heartbeat ticks and
// completions fire in between, and the control goes while a scan runs. The
// sanitizer builds check that nothing races or is used after it is freed.
#include <thread>

#include "control/control_test_util.h"

namespace lumorel {
namespace {

class ControlStressTest : public ControlTest {
 protected:
  ControlStressTest() : ControlTest(slow_) {}
  inline static SlowListing slow_;
};

TEST_F(ControlStressTest, MembersCalledWhileWorkersRun) {
  for (int i = 0; i < 300; ++i)
    tree_.write("d" + std::to_string(i / 20) + "/p" + std::to_string(i % 20) + ".jpg", "data");
  ASSERT_EQ(method("StartTimer", {1u}).hr, kSOk);
  uint64_t reads = 0;
  for (int round = 0; round < 6; ++round) {
    const std::size_t loads = log_.count("page:300");
    ASSERT_EQ(method("SetParentDir", {tree_.path(), int16_t{1}, int16_t(round % 3)}).hr, kSOk);
    while (value("LoadDone") != Variant(1)) {
      // Each read is its own task on the UI thread, as script's calls are.
      EXPECT_GE(value("FileCount").int32(), 0);
      EXPECT_LE(value("DirCount").int32(), 16);
      const Variant name = value("CurrentShortName");
      EXPECT_TRUE(name == Variant("") || name.text()[0] == 'p') << describe(name);
      const int32_t size = value("CurrentFileSize").int32();
      EXPECT_TRUE(size == 0 || size == 4) << size;
      EXPECT_GE(value("DuplicateStatus").int32(), 0);
      EXPECT_EQ(value("Exists", {tree_.path()}), Variant(1));
      ++reads;
    }
    ASSERT_TRUE(log_.waitFor("page:300", loads + 1));
    EXPECT_EQ(value("FileCount"), Variant(300));

    // The duplicate finder (every name is in every folder), read while it
    // runs, then walked.
    const std::size_t dups = log_.count("page:302");
    ASSERT_EQ(method("RestrictOnlyDuplicates", {1, 0}).hr, kSOk);
    while (value("LoadDone") != Variant(1)) {
      EXPECT_GE(value("DuplicateStatus").int32(), 0);
      EXPECT_GE(value("FileCount").int32(), 0);
      ++reads;
    }
    ASSERT_TRUE(log_.waitFor("page:302", dups + 1));
    ASSERT_EQ(method("Next").hr, kSOk);
    EXPECT_NE(value("CurrentName"), Variant(""));
  }
  EXPECT_GT(reads, 0u);
  EXPECT_GT(log_.count("page:301"), 0u) << "the heartbeat ticked in between";
  EXPECT_EQ(log_.offThread(), 0);

  // The page goes while a scan runs and the heartbeat ticks.
  ASSERT_EQ(method("SetParentDir", {tree_.path(), int16_t{1}, int16_t{1}}).hr, kSOk);
  onUi([&] {
    control_->Close();
    control_.reset();
  });
  const std::size_t after = log_.entries().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  onUi([] {});
  EXPECT_EQ(log_.entries().size(), after) << "nothing fires once the control is gone";
}

}  // namespace
}  // namespace lumorel
