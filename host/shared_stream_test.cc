// The browsers' shared event streams and the calls that answer later,
// against a host on loopback: subscriptions, the messages of several
// controls on one stream, the controls' lifetimes, and dialogs that keep no
// request waiting.
#include <map>
#include <set>

#include "host/host_test_util.h"

namespace lumorel {
namespace {

class SharedStreamTest : public HostTest {
 protected:
  // A browser's shared stream, and its id from its first message.
  struct Shared {
    std::unique_ptr<EventReader> reader;
    std::string id;
  };
  Shared open() {
    Shared shared;
    shared.reader = std::make_unique<EventReader>(port(), "/.lumorel/controls/events");
    std::optional<SentEvent> first = shared.reader->next("stream");
    EXPECT_TRUE(first);
    if (first) shared.id = first->data.value("stream", "");
    return shared;
  }

  HostAnswer change(const std::string& stream, const nlohmann::json& body) {
    return post("/.lumorel/controls/events/" + stream, dumpScriptJson(body));
  }
  // Subscribes `ids`, which must all be live controls.
  void subscribe(const std::string& stream, const std::vector<std::string>& ids) {
    HostAnswer answer = change(stream, {{"subscribe", ids}});
    EXPECT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.json["unknown"], nlohmann::json::array()) << answer.body;
  }

  // Waits at most 10 s for `ready` to hold.
  static bool eventually(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (ready()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ready();
  }
  bool live(const std::string& id) { return server_->registry().find(id) != nullptr; }
  bool connected(const std::string& id) {
    std::shared_ptr<ControlSession> session = server_->registry().find(id);
    return session && session->events().connected();
  }

  // The next message named `name` of each control in `ids` on `reader`;
  // a missing one is a failure.
  static std::map<std::string, nlohmann::json> nextOfEach(EventReader& reader,
                                                          const std::string& name,
                                                          const std::set<std::string>& ids) {
    std::map<std::string, nlohmann::json> seen;
    while (seen.size() < ids.size()) {
      std::optional<SentEvent> event = reader.next(name);
      if (!event) {
        ADD_FAILURE() << "only " << seen.size() << " of " << ids.size() << " " << name;
        break;
      }
      const std::string control = event->data.value("control", "");
      EXPECT_EQ(ids.count(control), 1u) << "a message of a control not subscribed: " << control;
      seen.emplace(control, event->data["data"]);
    }
    return seen;
  }
};

TEST_F(SharedStreamTest, OneStreamCarriesTheMessagesOfEverySubscribedControl) {
  start();
  Shared shared = open();
  std::set<std::string> ids;
  for (int i = 0; i < 5; ++i) ids.insert(create());
  subscribe(shared.id, std::vector<std::string>(ids.begin(), ids.end()));
  for (const std::string& id : ids) EXPECT_EQ(value(id, "QuitIt", "method"), nullptr);
  EXPECT_EQ(nextOfEach(*shared.reader, "quit", ids).size(), ids.size());
  // Ticks of every control, each naming its control.
  for (const std::string& id : ids) value(id, "StartTimer", "method", "[10]");
  std::map<std::string, nlohmann::json> ticks = nextOfEach(*shared.reader, "OnTimer", ids);
  for (const auto& [id, data] : ticks) EXPECT_EQ(data, (nlohmann::json{{"dispid", 301}})) << id;
}

TEST_F(SharedStreamTest, MessagesSentBeforeTheSubscriptionWaitForIt) {
  start();
  Shared shared = open();
  const std::string id = create();
  EXPECT_EQ(value(id, "QuitIt", "method"), nullptr);
  subscribe(shared.id, {id});
  EXPECT_EQ(nextOfEach(*shared.reader, "quit", {id}).size(), 1u);
}

TEST_F(SharedStreamTest, WrongChangesAreRefusedAndUnknownIdsAnswered) {
  start();
  Shared shared = open();
  const std::string id = create();
  const std::string other = create();
  subscribe(shared.id, {id});

  struct Case {
    std::string body;
    int status;
    nlohmann::json unknown;  // for 200
  } cases[] = {
      {R"({"subscribe":["0000000000000000","not an id"]})", 200,
       {"0000000000000000", "not an id"}},
      // Not carried by this stream: answered, and the control is not touched.
      {R"({"unsubscribe":[")" + other + R"("]})", 200, {other}},
      {R"({"unsubscribe":["0000000000000000"]})", 200, {"0000000000000000"}},
      {R"({})", 200, nlohmann::json::array()},
      {R"({"subscribe":")" + other + R"("})", 400, nullptr},
      {R"({"subscribe":[1]})", 400, nullptr},
      {R"({"unsubscribe":[null]})", 400, nullptr},
      {R"(["subscribe"])", 400, nullptr},
      {R"({"subscribe":)", 400, nullptr},
  };
  for (const Case& c : cases) {
    HostAnswer answer = post("/.lumorel/controls/events/" + shared.id, c.body);
    EXPECT_EQ(answer.status, c.status) << c.body << " gave " << answer.body;
    if (c.status == 200) {
      EXPECT_EQ(answer.json["unknown"], c.unknown) << c.body;
    }
  }
  EXPECT_EQ(change("0123456789abcdef", {{"subscribe", {id}}}).status, 404) << "no such stream";
  EXPECT_EQ(get("/.lumorel/controls/events/" + shared.id).status, 404) << "changes are posted";
  EXPECT_EQ(post("/.lumorel/controls/events/" + shared.id, R"({"subscribe":[")" + id + R"("]})",
                 headers("wrong"))
                .status,
            403);
  // The stream still carries its control, and nothing else.
  EXPECT_EQ(value(id, "QuitIt", "method"), nullptr);
  EXPECT_EQ(value(other, "QuitIt", "method"), nullptr);
  EXPECT_EQ(nextOfEach(*shared.reader, "quit", {id}).size(), 1u);
  EXPECT_TRUE(connected(id));
  EXPECT_FALSE(connected(other));
}

TEST_F(SharedStreamTest, AControlLivesWhileAStreamCarriesItAndGoesAfterItsGrace) {
  start(std::chrono::milliseconds(2000));
  Shared first = open();
  Shared second = open();
  const std::string ended = create();      // on the first stream, which ends
  const std::string dropped = create();    // unsubscribed
  const std::string moved = create();      // on the first, then on the second at once
  const std::string kept = create();       // on the second all along
  subscribe(first.id, {ended, dropped, moved});
  subscribe(second.id, {kept});
  for (const std::string& id : {ended, dropped, moved, kept})
    ASSERT_TRUE(eventually([&] { return connected(id); })) << id;

  HostAnswer answer = change(first.id, {{"unsubscribe", {dropped}}});
  EXPECT_EQ(answer.json["unknown"], nlohmann::json::array());
  EXPECT_FALSE(connected(dropped));
  first.reader->stop();  // the worker's connection broke, and it opened another
  subscribe(second.id, {moved});

  EXPECT_TRUE(eventually([&] { return !live(ended) && !live(dropped); }));
  EXPECT_TRUE(live(moved)) << "subscribed again within its grace";
  EXPECT_TRUE(live(kept));
  EXPECT_EQ(value(moved, "Version"), "1.4");
  EXPECT_EQ(call(ended, "Version", "get").status, 404);
  EXPECT_TRUE(eventually([&] { return !server_->registry().findStream(first.id); }));
  EXPECT_EQ(change(first.id, {{"subscribe", {kept}}}).status, 404) << "an ended stream";
}

TEST_F(SharedStreamTest, AControlTakenFromItsPagesStreamEndsThatStream) {
  start();
  const std::string id = create();
  std::unique_ptr<EventReader> own = events(id);
  ASSERT_TRUE(eventually([&] { return connected(id); }));
  Shared shared = open();
  subscribe(shared.id, {id});
  EXPECT_TRUE(own->waitForEnd()) << "replaced, as by a newer stream of its own";
  EXPECT_EQ(value(id, "QuitIt", "method"), nullptr);
  EXPECT_EQ(nextOfEach(*shared.reader, "quit", {id}).size(), 1u);
  EXPECT_TRUE(connected(id));
}

// What the host's main thread samples to end once the pages have gone.
TEST_F(SharedStreamTest, PagesAreConnectedWhileAnyStreamOfTheirsIsOpen) {
  start();
  ControlRegistry& registry = server_->registry();
  const std::string id = create();
  EXPECT_FALSE(registry.pagesConnected()) << "a control whose page opened no stream";
  Shared shared = open();
  EXPECT_TRUE(registry.pagesConnected()) << "a browser's shared stream, carrying nothing";
  std::unique_ptr<EventReader> own = events(id);
  ASSERT_TRUE(eventually([&] { return connected(id); }));

  shared.reader->stop();
  ASSERT_TRUE(eventually([&] { return !registry.findStream(shared.id); }));
  EXPECT_TRUE(registry.pagesConnected()) << "a page's own stream";
  own->stop();
  EXPECT_TRUE(eventually([&] { return !registry.pagesConnected(); }));
}

TEST_F(SharedStreamTest, StoppingTheHostEndsTheSharedStreams) {
  start();
  Shared shared = open();
  subscribe(shared.id, {create()});
  server_->stop();
  EXPECT_TRUE(shared.reader->waitForEnd());
}

// --- Calls that answer later ---

TEST_F(SharedStreamTest, TwentyOpenDialogsKeepNoRequestWaiting) {
  constexpr int kControls = 20;
  pictures_.makeFolder("one");
  start();
  Shared shared = open();
  std::vector<std::string> ids;
  for (int i = 0; i < kControls; ++i) ids.push_back(create());
  subscribe(shared.id, ids);
  // One connection for every request, as a browser whose other
  // connections are all taken: none may wait for a dialog.
  httplib::Client client("127.0.0.1", port());
  client.set_keep_alive(true);
  client.set_read_timeout(30, 0);
  auto send = [&](const std::string& path, const std::string& body) {
    return answerOf(client.Post(path, headers(), body, "application/json"));
  };
  for (int i = 0; i < kControls; ++i) {
    HostAnswer answer = send(controlPath(ids[i], "/call"),
                             R"({"member":"PromptForPath","kind":"method","later":)" +
                                 std::to_string(i + 1) + R"(,"args":[")" + pictures_.path() +
                                 R"(","Select folder"]})");
    EXPECT_EQ(answer.status, 202) << answer.body;
    EXPECT_EQ(answer.json, (nlohmann::json{{"later", i + 1}}));
  }
  const std::set<std::string> all(ids.begin(), ids.end());
  std::map<std::string, nlohmann::json> dialogs = nextOfEach(*shared.reader, "dialog", all);
  for (const auto& [id, request] : dialogs) EXPECT_EQ(request.value("dialog", 0), 200) << id;
  for (int i = 0; i < kControls; ++i) {
    // While every prompt is open: folders are listed and members answer.
    HostAnswer listing = answerOf(client.Get(
        controlPath(ids[i], "/folders") + "?path=" + pictures_.path(), headers()));
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.json["folders"], nlohmann::json{"one"});
    nlohmann::json version =
        send(controlPath(ids[i], "/call"), R"({"member":"Version","kind":"get"})").json;
    EXPECT_TRUE(version["version"].is_number()) << version;
    version.erase("version");
    EXPECT_EQ(version, (nlohmann::json{{"hr", 0}, {"value", "1.4"}}));
  }
  for (int i = 0; i < kControls; ++i) {
    const std::string answer = i % 2 ? "\"\"" : "\"" + pictures_.path() + "one\"";
    EXPECT_EQ(send(controlPath(ids[i], "/dialog"), R"({"dialog":200,"answer":)" + answer + "}")
                  .status,
              200);
  }
  std::map<std::string, nlohmann::json> results = nextOfEach(*shared.reader, "result", all);
  for (int i = 0; i < kControls; ++i) {
    const nlohmann::json chosen = i % 2 ? "" : pictures_.path() + "one/";
    EXPECT_EQ(results[ids[i]], (nlohmann::json{{"later", i + 1}, {"hr", 0}, {"value", chosen}}))
        << i;
  }
}

TEST_F(SharedStreamTest, ACallThatAnswersLaterReportsItsFailureAsItsResult) {
  start();
  Shared shared = open();
  const std::string id = create();
  subscribe(shared.id, {id});
  struct Case {
    std::string body;
    int status;
    nlohmann::json result;  // for 202
  } cases[] = {
      {R"({"member":"PromptForPath","kind":"method","later":1,"args":["/"]})", 202,
       {{"later", 1}, {"hr", kDispEBadParamCount}, {"error", "wrong number of arguments"}}},
      {R"({"member":"Version","kind":"method","later":2})", 202,
       {{"later", 2}, {"hr", kDispEMemberNotFound}, {"error", "the member has no such kind"}}},
      // A member without a dialog answers later all the same.
      {R"({"member":"Version","kind":"get","later":3})", 202,
       {{"later", 3}, {"hr", 0}, {"value", "1.4"}}},
      {R"({"member":"Version","kind":"get","later":"soon"})", 400, nullptr},
      {R"({"member":"Version","kind":"get","later":1.5})", 400, nullptr},
      {R"({"member":"NoSuchMember","kind":"get","later":4})", 400, nullptr},
  };
  for (const Case& c : cases) {
    HostAnswer answer = post(controlPath(id, "/call"), c.body);
    EXPECT_EQ(answer.status, c.status) << c.body << " gave " << answer.body;
    if (c.status != 202) continue;
    std::map<std::string, nlohmann::json> result = nextOfEach(*shared.reader, "result", {id});
    EXPECT_EQ(result[id], c.result) << c.body;
  }
}

}  // namespace
}  // namespace lumorel
