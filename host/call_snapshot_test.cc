// The snapshot a call's answer carries to the page, against a host on
// loopback: what it holds, the pictures it hands out, and the version that
// tells the page how long it holds.
#include <future>

#include "host/host_test_util.h"

namespace lumorel {
namespace {

class CallSnapshotTest : public HostTest {
 protected:
  void SetUp() override {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
      pictures_.write(name, "\xFF\xD8\xFF\xE0 jpeg");
    start();
    id_ = create();
    stream_ = events(id_);
    EXPECT_EQ(value(id_, "SetParentDir", "method",
                    dumpScriptJson(nlohmann::json::array({carriedText(pictures_.path()), 0, 0}))),
              nullptr);
    EXPECT_TRUE(stream_->next("OnLoadDone"));
  }

  // A call that must succeed: its whole answer.
  nlohmann::json answer(const std::string& member, const std::string& kind = "get",
                        const std::string& args = "[]") {
    HostAnswer answer = call(id_, member, kind, args);
    EXPECT_EQ(answer.status, 200) << member << ": " << answer.body;
    return answer.json;
  }

  std::string id_;
  std::unique_ptr<EventReader> stream_;
};

TEST_F(CallSnapshotTest, AMoveCarriesTheReadsAndHandsOutTheirPictures) {
  // The scan ended but nothing has waited for it: StopTimer, which does not
  // wait, carries no snapshot.
  EXPECT_FALSE(answer("StopTimer", "method").contains("snapshot"));
  nlohmann::json moved = answer("Next", "method");
  ASSERT_TRUE(moved.contains("snapshot")) << moved;
  const nlohmann::json& snapshot = moved["snapshot"];
  EXPECT_EQ(snapshot["version"], moved["version"]);
  const nlohmann::json& answers = snapshot["answers"];
  EXPECT_EQ(answers["PreviousName"], "file://" + pictures_ / "a.jpg");
  EXPECT_EQ(answers["CurrentName"], "file://" + pictures_ / "b.jpg");
  EXPECT_EQ(answers["NextName"], "file://" + pictures_ / "c.jpg");
  EXPECT_EQ(answers["CurrentShortName"], "b.jpg");
  EXPECT_EQ(answers["FileCount"], 3);
  EXPECT_EQ(answers["DirCount"], 1);
  EXPECT_EQ(answers["StopTimer"], nullptr) << "no heartbeat runs: StopTimer does nothing";
  EXPECT_FALSE(answers.contains("CurrentFileSize")) << "read from the disk at each call";
  // The page shows and preloads what the snapshot named without asking the
  // control for the names: the pictures are handed out.
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    EXPECT_EQ(get(pictureRoute(pictures_ / name)).status, 200) << name;
}

TEST_F(CallSnapshotTest, TheVersionStaysForReadsAndMovesWithChangesAndEvents) {
  const nlohmann::json moved = answer("Next", "method");
  const nlohmann::json version = moved["version"];
  // Reads, and a preference written, leave it.
  EXPECT_EQ(answer("CurrentFileSize")["version"], version);
  EXPECT_EQ(answer("Preference", "get", "[\"Timer\"]")["version"], version);
  EXPECT_EQ(answer("Preference", "put", "[\"Timer\", \"0\"]")["version"], version);
  EXPECT_EQ(answer("NextName")["version"], version);
  // A change moves it.
  const nlohmann::json previous = answer("Previous", "method");
  EXPECT_NE(previous["version"], version);
  EXPECT_EQ(previous["snapshot"]["answers"]["CurrentName"], "file://" + pictures_ / "a.jpg");
  // So does an event: a heartbeat tick.
  const nlohmann::json started = answer("StartTimer", "method", "[5]");
  EXPECT_FALSE(started["snapshot"]["answers"].contains("StopTimer"))
      << "StopTimer must reach the control while the heartbeat runs";
  ASSERT_TRUE(stream_->next("OnTimer"));
  EXPECT_NE(answer("CurrentFileSize")["version"], started["version"]);
  EXPECT_TRUE(answer("StopTimer", "method")["snapshot"]["answers"].contains("StopTimer"));
}

TEST_F(CallSnapshotTest, NoSnapshotWhileADialogIsOpenAndTheVersionMovesWhenItCloses) {
  answer("NextName");  // waits for the scan: the control is quiet
  std::future<HostAnswer> removing =
      std::async(std::launch::async, [&] { return call(id_, "RemoveCurrent", "method"); });
  ASSERT_TRUE(stream_->next("dialog"));
  // The delete has not happened yet; a call made now carries no snapshot,
  // for the delete changes the list once the dialog is answered.
  const nlohmann::json during = answer("StopTimer", "method");
  EXPECT_FALSE(during.contains("snapshot")) << during;
  EXPECT_EQ(answerDialog(id_, R"({"dialog":201,"answer":true})").status, 200);
  EXPECT_EQ(removing.get().status, 200);
  const nlohmann::json after = answer("CurrentFileSize");
  EXPECT_NE(after["version"], during["version"]) << "the delete came after that answer";
  const nlohmann::json moved = answer("Rewind", "method");
  ASSERT_TRUE(moved.contains("snapshot"));
  EXPECT_EQ(moved["snapshot"]["answers"]["FileCount"], 2) << moved;
  EXPECT_EQ(listNames(pictures_.path()).size(), 2u);
}

}  // namespace
}  // namespace lumorel
