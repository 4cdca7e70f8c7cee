#include "control/page_snapshot.h"

#include <cstring>
#include <map>
#include <random>

#include "control/control_test_util.h"

namespace lumorel {
namespace {

// A control over a small tree of pictures, called the way the browser host
// calls it: each member between the tracker's beginCall and endCall.
class PageSnapshotTest : public ControlTest {
 protected:
  PageSnapshotTest() {
    for (const char* name : {"a1.jpg", "a2.jpg", "b1.jpg", "sub/c1.jpg", "sub/c2.png",
                             "sub/deeper/d1.gif", "z9.jpg"})
      tree_.write(name, std::string(std::strlen(name) * 100, 'x'));
  }

  struct Tracked {
    HResult hr;
    std::optional<PageSnapshot> snapshot;
    uint64_t version;  // the tracker's version after the call
  };

  // Calls `name` of kind `kinds` between beginCall and endCall.
  Tracked tracked(std::string_view name, uint16_t kinds, std::vector<Variant> args = {}) {
    return onUi([&] {
      int32_t dispid = -1;
      EXPECT_EQ(idOfName(name, dispid), kSOk) << name;
      const Member* member = findMember(dispid, kinds);
      tracker_.beginCall(member, *control_);
      Variant value;
      const HResult hr = invoke(*control_, dispid, kinds, args, &value);
      std::optional<PageSnapshot> snapshot = tracker_.endCall(member, hr, *control_);
      return Tracked{hr, std::move(snapshot), tracker_.version()};
    });
  }

  // The snapshot's answers by member name.
  static std::map<std::string, Variant> byName(const PageSnapshot& snapshot) {
    std::map<std::string, Variant> answers;
    for (const SnapshotAnswer& answer : snapshot.answers)
      answers[std::string(answer.member->name)] = answer.value;
    return answers;
  }

  // Scans the tree with sub-folders, in `order`, and reads NextName, which
  // waits for the ended scan: the control is quiet after.
  void scanQuietly(int16_t order = 0) {
    scan(tree_.path(), 1, order);
    value("NextName");
    ASSERT_TRUE(onUi([&] { return control_->quiet(); }));
  }

  // Checks every answer of `snapshot` against the member called now, and
  // that the snapshot holds every read it should.
  void expectAnswersAsCalled(const PageSnapshot& snapshot, const std::string& step) {
    const std::map<std::string, Variant> answers = byName(snapshot);
    for (const char* read : {"PreviousName", "CurrentName", "NextName", "CurrentShortName",
                             "FileCount", "DirCount"}) {
      auto it = answers.find(read);
      ASSERT_NE(it, answers.end()) << read << " missing after " << step;
      EXPECT_EQ(it->second, value(read)) << read << " after " << step;
    }
  }

  SnapshotTracker tracker_;  // used on the UI thread only
};

TEST_F(PageSnapshotTest, HoldsWhatTheReadsGiveAfterEveryMove) {
  scanQuietly();
  // Moves as a slide show makes them, at random, each answer checked against
  // the reads made right after it (in random order too: a read that moved
  // anything would show).
  const std::vector<std::pair<std::string, std::vector<Variant>>> moves = {
      {"Next", {}},          {"Previous", {}},      {"Rewind", {}},
      {"JumpToNextDir", {}}, {"JumpToPreviousDir", {}}, {"JumpToRandom", {}},
      {"JumpTo", {int16_t{'Z'}}}, {"JumpTo", {int16_t{'c'}}}, {"StopTimer", {}},
  };
  std::mt19937 random(7);
  for (int i = 0; i < 200; ++i) {
    const auto& [name, args] = moves[random() % moves.size()];
    Tracked moved = tracked(name, kMethod, args);
    ASSERT_EQ(moved.hr, kSOk) << name;
    ASSERT_TRUE(moved.snapshot) << name << " carries no snapshot";
    EXPECT_EQ(moved.snapshot->version, moved.version);
    expectAnswersAsCalled(*moved.snapshot, name);
    // The reads changed nothing: the same snapshot again.
    std::optional<PageSnapshot> again = onUi([&] { return takeSnapshot(*control_, 0); });
    ASSERT_TRUE(again);
    EXPECT_EQ(byName(*again), byName(*moved.snapshot)) << "after " << name;
  }
}

TEST_F(PageSnapshotTest, ListsOnlyReadsAndStopTimerWhileNoHeartbeatRuns) {
  scanQuietly();
  std::optional<PageSnapshot> stopped = tracked("StopTimer", kMethod).snapshot;
  ASSERT_TRUE(stopped);
  for (const SnapshotAnswer& answer : stopped->answers) {
    EXPECT_EQ(answer.member->paramCount, 0u) << answer.member->name;
    const bool read = answer.member->kind == kPropertyGet;
    EXPECT_TRUE(read || answer.member->name == "StopTimer") << answer.member->name;
  }
  EXPECT_EQ(byName(*stopped).count("StopTimer"), 1u);
  // Not what reads the file on disk, nor what has parameters.
  EXPECT_EQ(byName(*stopped).count("CurrentFileSize"), 0u);
  EXPECT_EQ(byName(*stopped).count("Preference"), 0u);

  std::optional<PageSnapshot> running = tracked("StartTimer", kMethod, {3600000u}).snapshot;
  ASSERT_TRUE(running);
  EXPECT_EQ(byName(*running).count("StopTimer"), 0u)
      << "StopTimer stops a running heartbeat: it must reach the control";
  expectAnswersAsCalled(*running, "StartTimer");
  std::optional<PageSnapshot> again = tracked("StopTimer", kMethod).snapshot;
  ASSERT_TRUE(again);
  EXPECT_EQ(byName(*again).count("StopTimer"), 1u);
}

TEST_F(PageSnapshotTest, NoneWhileTheCatalogueHasAWorker) {
  // Started, running or ended: until a member has waited for it, reads may
  // wait for it or see the scan's lists change.
  Tracked started = tracked("SetParentDir", kMethod, {tree_.path(), int16_t{1}, int16_t{0}});
  EXPECT_FALSE(started.snapshot) << "SetParentDir carries none";
  EXPECT_FALSE(tracked("StopTimer", kMethod).snapshot) << "taken while the scan ran";
  ASSERT_TRUE(log_.waitFor("page:300"));
  EXPECT_EQ(value("LoadDone"), Variant(1));
  // StopTimer does not wait for the worker.
  EXPECT_FALSE(tracked("StopTimer", kMethod).snapshot)
      << "taken before the ended scan was waited for";
  EXPECT_FALSE(onUi([&] { return takeSnapshot(*control_, 0); }));
  EXPECT_EQ(value("LoadDone"), Variant(1)) << "trying to take one waited for the worker";
  // Next waits for it first, and the control is quiet when it returns.
  Tracked after = tracked("Next", kMethod);
  ASSERT_TRUE(after.snapshot);
  expectAnswersAsCalled(*after.snapshot, "Next after the scan");
}

TEST_F(PageSnapshotTest, TheVersionMovesWithWhatMayChangeTheSnapshot) {
  scanQuietly();
  struct Case {
    const char* member;
    uint16_t kinds;
    std::vector<Variant> args;
    bool moves;
  };
  const std::vector<Case> cases = {
      {"CurrentName", kPropertyGet, {}, false},
      {"NextName", kPropertyGet, {}, false},
      {"FileCount", kPropertyGet, {}, false},
      {"CurrentFileSize", kPropertyGet, {}, false},
      {"Preference", kPropertyGet, {std::string("Timer")}, false},
      {"Preference", kPropertyPut, {std::string("Timer"), std::string("1")}, false},
      {"Exists", kPropertyGet, {tree_.path()}, false},
      {"Version", kPropertyGet, {}, false},
      {"Next", kMethod, {}, true},
      {"StopTimer", kMethod, {}, true},
      {"StartTimer", kMethod, {3600000u}, true},
      {"JumpTo", kMethod, {int16_t{'a'}}, true},
      {"Rename", kMethod, {std::string("renamed.jpg")}, true},
      {"AddUrlImage", kMethod, {std::string("http://example.invalid/x.jpg")}, true},
  };
  for (const Case& c : cases) {
    const uint64_t before = onUi([&] { return tracker_.version(); });
    const Tracked after = tracked(c.member, c.kinds, c.args);
    EXPECT_EQ(after.hr, kSOk) << c.member;
    EXPECT_EQ(after.version != before, c.moves) << c.member;
  }
  const uint64_t before = onUi([&] { return tracker_.version(); });
  onUi([&] { tracker_.eventFired(); });
  EXPECT_NE(onUi([&] { return tracker_.version(); }), before) << "an event";
}

TEST_F(PageSnapshotTest, AReadWhileAWorkerExistsMovesTheVersion) {
  ASSERT_EQ(tracked("SetParentDir", kMethod, {tree_.path(), int16_t{1}, int16_t{0}}).hr, kSOk);
  ASSERT_TRUE(log_.waitFor("page:300"));
  const uint64_t before = onUi([&] { return tracker_.version(); });
  // NextName waits for the ended scan: the catalogue changes under it.
  EXPECT_NE(tracked("NextName", kPropertyGet).version, before);
}

TEST_F(PageSnapshotTest, ACallMadeDuringAnotherCarriesNoneAndTheOuterMovesAgainAtItsEnd) {
  scanQuietly();
  // As a dialog of RemoveCurrent lets the page's calls run before it
  // returns: the outer call's change comes after the inner call's answer.
  int32_t removeId = -1, nextId = -1;
  ASSERT_EQ(idOfName("RemoveCurrent", removeId), kSOk);
  ASSERT_EQ(idOfName("Next", nextId), kSOk);
  const Member* remove = findMember(removeId, kMethod);
  const Member* next = findMember(nextId, kMethod);
  onUi([&] {
    tracker_.beginCall(remove, *control_);
    tracker_.beginCall(next, *control_);
    control_->Next();
    EXPECT_FALSE(tracker_.endCall(next, kSOk, *control_)) << "a call inside another";
    const uint64_t innerAnswer = tracker_.version();
    EXPECT_FALSE(tracker_.endCall(remove, kSOk, *control_));
    EXPECT_NE(tracker_.version(), innerAnswer);
  });
  EXPECT_TRUE(tracked("Next", kMethod).snapshot) << "at the outer level again";
}

TEST_F(PageSnapshotTest, AFailedCallCarriesNone) {
  scanQuietly();
  // A wrong argument: the member is not called.
  EXPECT_EQ(tracked("JumpTo", kMethod, {std::string("not a number")}).hr, kDispETypeMismatch);
  EXPECT_FALSE(tracked("JumpTo", kMethod, {std::string("not a number")}).snapshot);
}

TEST_F(PageSnapshotTest, AnEmptyControlHasEmptyAnswers) {
  // No scan yet: the reads give absence, and a snapshot says so.
  std::optional<PageSnapshot> snapshot = tracked("Next", kMethod).snapshot;
  ASSERT_TRUE(snapshot);
  expectAnswersAsCalled(*snapshot, "Next without pictures");
  EXPECT_EQ(byName(*snapshot).at("CurrentName"), Variant(std::string()));
}

}  // namespace
}  // namespace lumorel
