// The routes of the browser host against a host on loopback: pages, calls,
// events, dialogs, pictures, closing, and the checks every request passes.
#include <sys/stat.h>

#include <future>
#include <optional>

#include "host/host_test_util.h"

namespace lumorel {
namespace {

constexpr char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00;";

// --- Pages ---

class PageRouteTest : public HostTest {
 protected:
  void SetUp() override {
    pages_.write("main.htm", "<html><HEAD lang=en><title>Main</title></head><body>m</body></html>");
    pages_.write("bare.htm", "<!DOCTYPE html><p>no head here");
    pages_.write("mainimg.formatted.htm", "<html><head></head><script>var a = '%2';</script>");
    pages_.write("logo.gif", std::string(kGif, sizeof kGif - 1));
    start();
  }
};

TEST_F(PageRouteTest, HtmlPagesGetTheBridgeAndNothingElseChanges) {
  const std::string element = "<script src=\"/.lumorel/bridge.js\"></script>";
  struct Case {
    std::string path, body;
  } cases[] = {
      {"/lm:main",
       "<html><HEAD lang=en>" + element + "<title>Main</title></head><body>m</body></html>"},
      {"/LM:Main",
       "<html><HEAD lang=en>" + element + "<title>Main</title></head><body>m</body></html>"},
      {"/lm:bare", "<!DOCTYPE html>" + element + "<p>no head here"},
      // A formatted page: its insert filled from the URL, then the NUL that
      // ends formatted text.
      {"/lm:&rsrc=mainimg&2=1&1=",
       "<html><head>" + element + "</head><script>var a = '1';</script>" + std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    HostAnswer answer = get(c.path);
    EXPECT_EQ(answer.status, 200) << c.path;
    EXPECT_EQ(answer.contentType, "text/html") << c.path;
    EXPECT_EQ(answer.body, c.body) << c.path;
    EXPECT_EQ(answer.body.find(kTestToken), std::string::npos) << "no page holds the token";
  }
}

TEST_F(PageRouteTest, PicturesAreServedAsTheyAreAndAnUnknownPageIsEmpty) {
  HostAnswer picture = get("/lm:logo.gif");
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.contentType, "image/gif");
  EXPECT_EQ(picture.body, std::string(kGif, sizeof kGif - 1));

  HostAnswer empty = get("/lm:nosuchpage");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body, "");
}


// --- Calls ---

class CallTest : public HostTest {
 protected:
  void SetUp() override {
    start();
    id_ = create();
    ASSERT_FALSE(id_.empty());
    stream_ = events(id_);  // as a page does: else the control goes after its grace
  }
  std::string id_;
  std::unique_ptr<EventReader> stream_;
};

TEST_F(CallTest, MembersAnswerWithTheirResultAndValue) {
  EXPECT_EQ(value(id_, "Version"), "1.4");
  EXPECT_EQ(value(id_, "version"), "1.4") << "names are found without case";
  EXPECT_EQ(value(id_, "FileCount"), 0);
  EXPECT_EQ(value(id_, "Preference", "put", "[\"Timer\", \"1\"]"), nullptr);
  EXPECT_EQ(value(id_, "Preference", "get", "[\"Timer\"]"), "1");
  EXPECT_EQ(value(id_, "Preference", "get", "[\"NeverWritten\"]"), "");
  EXPECT_EQ(value(id_, "Exists", "get", "[\"" + pictures_.path() + "\"]"), 1);
  EXPECT_EQ(value(id_, "Exists", "get", "[\"\"]"), 0);
  // A number where a text is asked for, and a text where a number is.
  EXPECT_EQ(value(id_, "Preference", "put", "[\"TimerSec\", 7]"), nullptr);
  EXPECT_EQ(value(id_, "Preference", "get", "[\"TimerSec\"]"), "7");
  EXPECT_EQ(value(id_, "JumpTo", "method", "[\"65\"]"), nullptr);
  // QuitIt and SaveWindowLoc have results of their own.
  HostAnswer saved = call(id_, "SaveWindowLoc", "method", "[\"Main\"]");
  EXPECT_EQ(saved.json.value("hr", -1), 0);
  EXPECT_EQ(value(id_, "Preference", "get", "[\"Main.Width\"]"), "")
      << "no placement reported yet: nothing written";
}

TEST_F(CallTest, BadCallsGetAClearErrorAndTheControlGoesOn) {
  struct Case {
    std::string body;
    int status;
    std::string error;  // a part of the message
  };
  std::vector<Case> cases = {
      {"{not json", 400, "bad JSON"},
      {"[1,2]", 400, "not a JSON object"},
      {"{\"kind\":\"get\"}", 400, "\"member\""},
      {"{\"member\":\"Version\",\"kind\":\"call\"}", 400, "\"kind\""},
      {"{\"member\":\"NoSuchMember\",\"kind\":\"get\",\"args\":[]}", 400, "unknown member"},
      {"{\"member\":\"Version\",\"kind\":\"method\",\"args\":[]}", 400, "no such kind"},
      {"{\"member\":\"Exists\",\"kind\":\"get\",\"args\":[]}", 400, "number of arguments"},
      {"{\"member\":\"JumpTo\",\"kind\":\"method\",\"args\":[\"x\"]}", 400, "wrong type"},
      {"{\"member\":\"JumpTo\",\"kind\":\"method\",\"args\":[70000]}", 400, "out of range"},
      {"{\"member\":\"JumpTo\",\"kind\":\"method\",\"args\":[1.5]}", 400, "whole number"},
      {"{\"member\":\"StartTimer\",\"kind\":\"method\",\"args\":[1e300]}", 400, "out of range"},
      {"{\"member\":\"StartTimer\",\"kind\":\"method\",\"args\":[-1e19]}", 400, "out of range"},
      {"{\"member\":\"StartTimer\",\"kind\":\"method\",\"args\":[4294967296]}", 400,
       "out of range"},
      {"{\"member\":\"Exists\",\"kind\":\"get\",\"args\":[{}]}", 400, "neither"},
      {"{\"member\":\"Exists\",\"kind\":\"get\",\"args\":\"x\"}", 400, "array"},
      {"{\"member\":\"Exists\",\"kind\":\"get\",\"args\":[\"a\\u0000b\"]}", 400, "NUL"},
      {"{\"member\":\"Exists\",\"kind\":\"get\",\"args\":[\"\\ud800\"]}", 400, "bad JSON"},
  };
  cases.push_back({std::string(400000, '['), 400, "bad JSON"});  // deep, never a crash
  for (const Case& c : cases) {
    HostAnswer answer = post(controlPath(id_, "/call"), c.body);
    const std::string shown = c.body.substr(0, 80);
    EXPECT_EQ(answer.status, c.status) << shown;
    ASSERT_TRUE(answer.json.is_object()) << shown << " gave " << answer.body;
    EXPECT_NE(engineText(answer.json.value("error", "")).find(c.error), std::string::npos)
        << shown << " gave " << answer.body;
  }
  EXPECT_EQ(value(id_, "Version"), "1.4");
  EXPECT_EQ(call("0000000000000000", "Version", "get").status, 404);
}

TEST_F(CallTest, QuitItAsksThePageToCloseItsWindow) {
  EXPECT_EQ(value(id_, "QuitIt", "method"), nullptr);
  EXPECT_TRUE(stream_->next("quit"));
}

TEST_F(HostTest, APreferenceTheStoreCannotKeepAnswersAFailure) {
  prefsFolder_.makeFolder("config/preferences.sqlite");  // a folder where the database goes
  start();
  const std::string id = create();
  auto stream = events(id);
  HostAnswer put = call(id, "Preference", "put", R"(["Timer", "1"])");
  EXPECT_EQ(put.status, 200);
  EXPECT_EQ(put.json.value("hr", 0), static_cast<int32_t>(kEFail)) << put.body;
  EXPECT_EQ(value(id, "Preference", "get", R"(["Timer"])"), "");
}

TEST_F(CallTest, SaveWindowLocWritesThePlacementThePageReported) {
  HostAnswer answer =
      post(controlPath(id_, "/call"),
           R"({"member":"SaveWindowLoc","kind":"method","args":["Main"],)"
           R"("window":{"left":-4,"top":0,"width":800,"height":600}})");
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.json.value("hr", -1), 0);
  EXPECT_EQ(value(id_, "Preference", "get", "[\"Main.Left\"]"), "-4");
  EXPECT_EQ(value(id_, "Preference", "get", "[\"Main.Width\"]"), "800");
}

// --- Scans, events and pictures ---

class PictureTest : public HostTest {
 protected:
  void SetUp() override {
    start();
    id_ = create();
    stream_ = events(id_);
  }
  // Scans `folder` and waits for OnLoadDone.
  void scan(const std::string& folder) {
    EXPECT_EQ(value(id_, "SetParentDir", "method",
                    dumpScriptJson(nlohmann::json::array({carriedText(folder), 0, 0}))),
              nullptr);
    std::optional<SentEvent> done = stream_->next("OnLoadDone");
    ASSERT_TRUE(done);
    EXPECT_EQ(done->data, (nlohmann::json{{"dispid", 300}}));
  }
  std::string id_;
  std::unique_ptr<EventReader> stream_;
};

TEST_F(PictureTest, APictureTheControlHandedOutIsServedAndNothingElse) {
  const std::string a = pictures_.write("a.gif", std::string(kGif, sizeof kGif - 1));
  const std::string secret = pictures_.write("notes.txt", "secret");
  const std::string outside = pictures_.write("sub/b.gif", "GIF89a");
  // Not handed out yet.
  EXPECT_EQ(get(pictureRoute(a)).status, 404);
  scan(pictures_.path());
  EXPECT_EQ(value(id_, "CurrentName"), "file://" + a);
  HostAnswer shown = get(pictureRoute(a));
  EXPECT_EQ(shown.status, 200);
  EXPECT_EQ(shown.contentType, "image/gif");
  EXPECT_EQ(shown.body, std::string(kGif, sizeof kGif - 1));
  for (const std::string& path : {secret, outside, std::string("/etc/passwd"),
                                  pictures_.path() + "./a.gif", pictures_.path() + "../x"})
    EXPECT_EQ(get(pictureRoute(path)).status, 404) << path;
  EXPECT_EQ(get(pictureRoute(a), headers("wrong")).status, 403);
  // Once the control is gone, so is its picture.
  EXPECT_EQ(answerOf(httplib::Client("127.0.0.1", port())
                         .Delete(controlPath(id_), headers()))
                .status,
            204);
  EXPECT_EQ(get(pictureRoute(a)).status, 404);
  EXPECT_EQ(call(id_, "Version", "get").status, 404);
}

TEST_F(PictureTest, ALatin1NameIsScannedShownRenamedAndDeletedLikeAnyOther) {
  const std::string name = "caf\xe9.jpg";  // Latin-1, not UTF-8
  const std::string path = pictures_.write(name, "\xFF\xD8\xFF\xE0 jpeg");
  scan(pictures_.path());
  HostAnswer current = call(id_, "CurrentName", "get");
  EXPECT_NE(current.body.find("caf\\udce9.jpg"), std::string::npos) << current.body;
  EXPECT_EQ(engineText(current.json["value"].get<std::string>()), "file://" + path);
  EXPECT_EQ(engineText(value(id_, "CurrentShortName").get<std::string>()), name);
  HostAnswer shown = get(pictureRoute(path));
  EXPECT_EQ(shown.status, 200);
  EXPECT_EQ(shown.contentType, "image/jpeg");

  // Renamed to another Latin-1 name, sent back as the bridge sends it.
  EXPECT_EQ(call(id_, "Rename", "method", "[\"na\\udeefve.jpg\"]").status, 400)
      << "an unpaired surrogate outside the byte range is not a text";
  EXPECT_EQ(value(id_, "Rename", "method", "[\"na\\udcefve.jpg\"]"), nullptr);
  EXPECT_EQ(listNames(pictures_.path()), (std::vector<std::string>{"na\xefve.jpg"}));

  std::future<HostAnswer> removing =
      std::async(std::launch::async, [&] { return call(id_, "RemoveCurrent", "method"); });
  ASSERT_TRUE(stream_->next("dialog"));
  EXPECT_EQ(answerDialog(id_, R"({"dialog":201,"answer":true})").status, 200);
  EXPECT_EQ(removing.get().status, 200);
  EXPECT_EQ(listNames(pictures_.path()), std::vector<std::string>{});
}

// --- Dialogs ---

TEST_F(PictureTest, ADeleteWaitsForItsConfirmationWhileTheControlServesOtherCalls) {
  pictures_.write("a.jpg", "\xFF\xD8\xFF");
  pictures_.write("b.jpg", "\xFF\xD8\xFF");
  scan(pictures_.path());
  const std::string current = value(id_, "CurrentShortName").get<std::string>();
  value(id_, "StartTimer", "method", "[5]");

  for (bool confirmed : {false, true}) {
    std::future<HostAnswer> removing =
        std::async(std::launch::async, [&] { return call(id_, "RemoveCurrent", "method"); });
    std::optional<SentEvent> request = stream_->next("dialog");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data.value("dialog", 0), 201);
    EXPECT_EQ(request->data.value("title", ""), "Confirm File Delete");
    EXPECT_EQ(request->data.value("ok", ""), "Delete");
    // While the dialog is open: calls are answered and ticks arrive.
    EXPECT_EQ(value(id_, "FileCount"), 2);
    EXPECT_TRUE(stream_->next("OnTimer"));
    EXPECT_EQ(removing.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout)
        << "the delete answers only once its dialog is answered";
    // An answer to a dialog that is not open changes nothing.
    EXPECT_EQ(answerDialog(id_, R"({"dialog":219,"answer":true})").status, 409);
    EXPECT_EQ(answerDialog(id_, R"({"dialog":201,"answer":"yes"})").status, 400);
    EXPECT_EQ(answerDialog(id_, confirmed ? R"({"dialog":201,"answer":true})"
                                          : R"({"dialog":201,"answer":false})")
                  .status,
              200);
    EXPECT_EQ(removing.get().status, 200);
    EXPECT_EQ(answerDialog(id_, R"({"dialog":201,"answer":true})").status, 409)
        << "answered once";
  }
  EXPECT_EQ(listNames(pictures_.path()),
            std::vector<std::string>{current == "a.jpg" ? "b.jpg" : "a.jpg"});
  EXPECT_EQ(value(id_, "FileCount"), 1);
}

TEST_F(PictureTest, DecliningTheOrganizerGivesOnOrganizeDone) {
  pictures_.write("x1.jpg", "1");
  scan(pictures_.path());
  std::future<HostAnswer> organizing =
      std::async(std::launch::async, [&] { return call(id_, "OrganizeImages", "method"); });
  std::optional<SentEvent> request = stream_->next("dialog");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->data.value("dialog", 0), 219);
  EXPECT_EQ(request->data.value("ok", ""), "Move Files");
  EXPECT_EQ(request->data.value("default", ""), "cancel");
  EXPECT_EQ(answerDialog(id_, R"({"dialog":219,"answer":false})").status, 200);
  EXPECT_EQ(organizing.get().status, 200);
  EXPECT_TRUE(stream_->next("OnOrganizeDone"));
  EXPECT_EQ(listNames(pictures_.path()), std::vector<std::string>{"x1.jpg"});
}

TEST_F(PictureTest, TheFolderPromptListsFoldersOnlyWhileItIsOpen) {
  pictures_.makeFolder("one");
  pictures_.makeFolder("two/deeper");
  pictures_.write("file.jpg", "x");
  const std::string folders =
      controlPath(id_, "/folders") + "?path=" + percentBytes(pictures_.path());
  EXPECT_EQ(get(folders).status, 403) << "no prompt open";

  struct Case {
    std::string answer;
    std::string result;
  } cases[] = {
      {"\"" + pictures_.path() + "one\"", pictures_.path() + "one/"},
      {"\"\"", ""},
  };
  for (const Case& c : cases) {
    std::future<HostAnswer> prompting = std::async(std::launch::async, [&] {
      return call(id_, "PromptForPath", "method",
                  "[\"" + pictures_.path() + "\", \"Select folder to display image\"]");
    });
    std::optional<SentEvent> request = stream_->next("dialog");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->data.value("dialog", 0), 200);
    EXPECT_EQ(request->data.value("caption", ""), "Select folder to display image");
    EXPECT_EQ(request->data.value("start", ""), pictures_.path());
    HostAnswer listing = get(folders);
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.json["folders"], (nlohmann::json{"one", "two"}));
    EXPECT_EQ(listing.json["places"][0], "/");
    // A typed path: below the folder shown, or why it cannot be shown.
    struct Typed {
      std::string query;
      int status;
      std::string path, problem;
    } typed[] = {
        {"two&from=" + percentBytes(pictures_.path()), 200, pictures_.path() + "two/", ""},
        {"two/deeper/..&from=" + percentBytes(pictures_.path()), 200, pictures_.path() + "two/",
         ""},
        {"file.jpg&from=" + percentBytes(pictures_.path()), 404, "", "notFolder"},
        {percentBytes(pictures_.path() + "gone"), 404, "", "missing"},
        {"relative", 404, "", "missing"},
    };
    for (const Typed& t : typed) {
      HostAnswer typedListing = get(controlPath(id_, "/folders") + "?path=" + t.query);
      EXPECT_EQ(typedListing.status, t.status) << t.query;
      if (t.status == 200) {
        EXPECT_EQ(typedListing.json["path"], t.path) << t.query;
      } else {
        EXPECT_EQ(typedListing.json["problem"], t.problem) << t.query;
      }
    }
    // Not a folder: refused, and the prompt stays open.
    EXPECT_EQ(answerDialog(id_, "{\"dialog\":200,\"answer\":\"" + pictures_.path() +
                                    "file.jpg\"}")
                  .status,
              400);
    EXPECT_EQ(answerDialog(id_, "{\"dialog\":200,\"answer\":" + c.answer + "}").status, 200);
    HostAnswer answer = prompting.get();
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.json["value"], c.result);
    EXPECT_EQ(get(folders).status, 403) << "closed again";
  }
}

TEST_F(PictureTest, TheMountPointRouteTellsAFileSystemsRoot) {
  struct Case {
    std::string path;
    int status;
    std::optional<bool> mountPoint;
  };
  const Case cases[] = {
      {"/", 200, true},
      {"/proc/", 200, true},
      {pictures_.path(), 200, false},
      {"relative/", 400, std::nullopt},
  };
  for (const Case& c : cases) {
    HostAnswer answer = get(controlPath(id_, "/mount-point") + "?path=" + percentBytes(c.path));
    EXPECT_EQ(answer.status, c.status) << c.path;
    if (c.mountPoint) {
      EXPECT_EQ(answer.json["mountPoint"], *c.mountPoint) << c.path;
    }
  }
  EXPECT_EQ(get(controlPath("0000000000000000", "/mount-point") + "?path=%2F").status, 404);
}

TEST_F(PictureTest, TheFolderPromptOpensAtTheNearestFolderThatIsThere) {
  pictures_.makeFolder("one");
  std::future<HostAnswer> prompting = std::async(std::launch::async, [&] {
    return call(id_, "PromptForPath", "method",
                "[\"" + pictures_.path() + "one/gone/deeper/\", \"Select folder\"]");
  });
  std::optional<SentEvent> request = stream_->next("dialog");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->data.value("start", ""), pictures_.path() + "one/");
  EXPECT_EQ(request->data["problems"].value("notFolder", ""), "This is a file, not a folder.");
  EXPECT_EQ(answerDialog(id_, R"({"dialog":200,"answer":""})").status, 200);
  EXPECT_EQ(prompting.get().json["value"], "");
}

// --- Closing ---

TEST_F(HostTest, APageThatIsGoneHasItsControlClosed) {
  start(std::chrono::milliseconds(2000));
  auto connected = [&](const std::string& id) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      std::shared_ptr<ControlSession> session = server_->registry().find(id);
      if (session && session->events().connected()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  const std::string kept = create();
  auto keptStream = events(kept);
  ASSERT_TRUE(connected(kept));
  const std::string gone = create();
  {
    auto goneStream = events(gone);
    ASSERT_TRUE(connected(gone));
    EXPECT_EQ(value(gone, "Version"), "1.4");
  }  // the page's stream closes and does not come back
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server_->registry().find(gone) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(call(gone, "Version", "get").status, 404);
  EXPECT_EQ(value(kept, "Version"), "1.4");
  EXPECT_EQ(server_->registry().size(), 1u);
}

TEST_F(PictureTest, StoppingTheHostDeclinesAnOpenDialogAndClosesEveryControl) {
  pictures_.write("a.jpg", "\xFF\xD8\xFF");
  scan(pictures_.path());
  std::future<HostAnswer> removing =
      std::async(std::launch::async, [&] { return call(id_, "RemoveCurrent", "method"); });
  ASSERT_TRUE(stream_->next("dialog"));
  server_->stop();
  EXPECT_EQ(removing.get().status, 200) << "declined, so nothing happened";
  EXPECT_EQ(listNames(pictures_.path()), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(stream_->waitForEnd());
  EXPECT_EQ(server_->registry().size(), 0u);
}

// --- The checks every request passes ---

TEST_F(HostTest, ASecondHostFindsThePortTaken) {
  start();
  HostServer second(HostConfig{
      .port = port(),
      .token = kTestToken,
      .pages = store_.get(),
      .fetcher = &fetcher_,
      .session = SessionEnv{FileSystem::system(), Clock::system(), ThreadFactory::system(),
                            prefs_},
  });
  std::string error;
  EXPECT_FALSE(second.bind(error));
  EXPECT_NE(error.find(std::to_string(port())), std::string::npos) << error;
}

TEST_F(CallTest, ARequestWithoutTheRightTokenIsRefusedAndChangesNothing) {
  const std::string put = R"({"member":"Preference","kind":"put","args":["Timer","9"]})";
  for (const std::string& token : {std::string(""), std::string("wrong"),
                                   std::string(kTestToken) + "x"}) {
    EXPECT_EQ(post(controlPath(id_, "/call"), put, headers(token)).status, 403) << token;
    EXPECT_EQ(post("/.lumorel/controls", "", headers(token)).status, 403) << token;
  }
  // Only the first visit of an address may carry it there.
  EXPECT_EQ(post(controlPath(id_, "/call") + "?token=" + kTestToken, put, {}).status, 403);
  EXPECT_EQ(value(id_, "Preference", "get", "[\"Timer\"]"), "");
  EXPECT_EQ(server_->registry().size(), 1u);
}

TEST_F(CallTest, RequestsFromOtherSitesAndNamesAreRefused) {
  const std::string self = "127.0.0.1:" + std::to_string(port());
  const std::string put = R"({"member":"Preference","kind":"put","args":["Timer","9"]})";
  struct Case {
    std::string header, value;
    int status;
  } cases[] = {
      {"Host", "evil.example:" + std::to_string(port()), 403},  // a rebound name
      {"Host", "localhost:" + std::to_string(port()), 403},
      {"Host", "127.0.0.1:1", 403},
      {"Origin", "http://evil.example", 403},
      {"Origin", "http://127.0.0.1:1", 403},
      {"Origin", "null", 403},
      {"Sec-Fetch-Site", "cross-site", 403},
      {"Sec-Fetch-Site", "same-site", 403},
      {"Origin", "http://" + self, 200},
      {"Sec-Fetch-Site", "same-origin", 200},
  };
  for (const Case& c : cases) {
    httplib::Headers h = headers();
    h.emplace(c.header, c.value);
    EXPECT_EQ(post(controlPath(id_, "/call"), put, h).status, c.status)
        << c.header << ": " << c.value;
    h = headers();
    h.emplace(c.header, c.value);
    EXPECT_EQ(get("/lm:main", h).status, c.status == 200 ? 200 : 403) << c.header;
  }
}

}  // namespace
}  // namespace lumorel
