// What the host gives someone who does not hold its secret (another user of
// the machine, a web page in the user's browser), and what it gives a page
// that asks for files beyond the pictures its control listed.
#include <sys/stat.h>
#include <unistd.h>

#include "host/host_test_util.h"
#include "test_support/loopback_http_server.h"

namespace lumorel {
namespace {

constexpr char kGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00;";

std::string header(const HostAnswer& answer, const std::string& name) {
  auto it = answer.headers.find(name);
  return it == answer.headers.end() ? "" : it->second;
}

class SecretTest : public HostTest {
 protected:
  void SetUp() override {
    pages_.write("main.htm", "<html><head></head><body>main</body></html>");
    start();
  }
  // "Cookie" headers as a browser sends them.
  httplib::Headers withCookie(const std::string& cookie) { return {{"Cookie", cookie}}; }
};

TEST_F(SecretTest, TheFirstVisitTradesTheTokenForACookieThatOpensEveryRoute) {
  HostAnswer first = get("/lm:main?token=" + std::string(kTestToken), {});
  EXPECT_EQ(first.status, 303);
  EXPECT_EQ(header(first, "Location"), "/lm:main");
  const std::string setCookie = header(first, "Set-Cookie");
  const std::string name = "lumorel-" + std::to_string(port()) + "=";
  ASSERT_EQ(setCookie.rfind(name, 0), 0u) << setCookie;
  for (const char* attribute : {"; HttpOnly", "; SameSite=Strict", "; Path=/"})
    EXPECT_NE(setCookie.find(attribute), std::string::npos) << setCookie;
  const std::string cookie = setCookie.substr(0, setCookie.find(';'));
  EXPECT_EQ(cookie.find(kTestToken), std::string::npos) << "the cookie is not the token";

  // With the cookie: pages, the bridge, controls and their streams.
  HostAnswer page = get("/lm:main", withCookie(cookie));
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.body.find(kTestToken), std::string::npos);
  EXPECT_EQ(get("/.lumorel/bridge.js", withCookie("a=b; " + cookie)).status, 200);
  HostAnswer made = post("/.lumorel/controls", "", withCookie(cookie));
  ASSERT_EQ(made.status, 200);
  EXPECT_EQ(post(controlPath(made.json["id"], "/call"),
                 R"({"member":"Version","kind":"get","args":[]})", withCookie(cookie))
                .status,
            200);
}

// The desktop opens the browser on a file of the user's that sends it on to
// the address: a navigation from another site, let in only with the token
// and only as a page the browser shows.
TEST_F(SecretTest, ANavigationFromAnotherSiteGetsInWithTheTokenAndGoesOnFromThisOrigin) {
  const httplib::Headers navigation = {{"Sec-Fetch-Site", "cross-site"},
                                       {"Sec-Fetch-Mode", "navigate"},
                                       {"Sec-Fetch-Dest", "document"}};
  HostAnswer launched = get("/lm:main?x=</script>&token=" + std::string(kTestToken), navigation);
  EXPECT_EQ(launched.status, 200);
  const std::string setCookie = header(launched, "Set-Cookie");
  ASSERT_EQ(setCookie.rfind("lumorel-" + std::to_string(port()) + "=", 0), 0u) << setCookie;
  EXPECT_NE(launched.body.find(R"(location.replace("/lm:main?x=\u003c/script>");)"),
            std::string::npos) << launched.body;
  EXPECT_EQ(launched.body.find(kTestToken), std::string::npos);
  EXPECT_EQ(header(launched, "Referrer-Policy"), "no-referrer");
  const std::string cookie = setCookie.substr(0, setCookie.find(';'));
  EXPECT_EQ(get("/lm:main", {{"Cookie", cookie}, {"Sec-Fetch-Site", "same-origin"}}).status, 200);

  struct Case {
    const char* name;
    std::string target;
    httplib::Headers headers;
  };
  const std::string token = "token=" + std::string(kTestToken);
  const Case refused[] = {
      {"no token", "/lm:main", navigation},
      {"a wrong token", "/lm:main?token=wrong", navigation},
      {"a picture", "/lm:main?" + token,
       {{"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "no-cors"}, {"Sec-Fetch-Dest", "image"}}},
      {"a frame", "/lm:main?" + token,
       {{"Sec-Fetch-Site", "cross-site"}, {"Sec-Fetch-Mode", "navigate"}, {"Sec-Fetch-Dest", "iframe"}}},
      {"not a page", "/.lumorel/bridge.js?" + token, navigation},
  };
  for (const Case& c : refused) {
    HostAnswer answer = get(c.target, c.headers);
    EXPECT_EQ(answer.status, 403) << c.name;
    EXPECT_EQ(header(answer, "Set-Cookie"), "") << c.name;
  }
}

TEST_F(SecretTest, WithoutTheSecretEveryRouteIsRefusedAndTheRefusalTellsHowToGetIn) {
  const std::string otherPort =
      "lumorel-" + std::to_string(port() + 1) + "=" + std::string(kTestToken);
  const std::string thisPortWrongValue = "lumorel-" + std::to_string(port()) + "=guess";
  const std::string id = create();
  for (const httplib::Headers& h :
       {httplib::Headers{}, withCookie(otherPort), withCookie(thisPortWrongValue),
        httplib::Headers{{"X-Lumorel-Token", "wrong"}}}) {
    for (const std::string& path :
         {std::string("/lm:main"), std::string("/lm:main?token=wrong"),
          std::string("/.lumorel/bridge.js"), pictureRoute("/etc/passwd"),
          controlPath(id, "/events"), controlPath(id, "/folders?path=/"),
          std::string("/.lumorel/controls/events"),
          std::string("/lm:&save=/tmp/x.jpg&src=http://127.0.0.1:1/x.jpg")}) {
      HostAnswer answer = get(path, h);
      EXPECT_EQ(answer.status, 403) << path;
      EXPECT_EQ(answer.body.find(kTestToken), std::string::npos) << path;
      EXPECT_NE(answer.body.find("lumorel"), std::string::npos) << path << ": " << answer.body;
      EXPECT_EQ(header(answer, "Set-Cookie"), "") << path;
    }
    EXPECT_EQ(post("/.lumorel/controls", "", h).status, 403);
    EXPECT_EQ(post(controlPath(id, "/call"), R"({"member":"Version","kind":"get"})", h).status,
              403);
  }
  EXPECT_EQ(server_->registry().size(), 1u) << "no control was made";
}

TEST_F(SecretTest, TheRelayWritesNothingForAStranger) {
  LoopbackHttpServer web;
  web.answer("/x.jpg", HttpAnswer{.body = "\xFF\xD8\xFF planted"});
  const std::string target = pictures_ / "planted.jpg";
  const std::string relay = "/lm:&save=" + target + "&src=" + web.url("/x.jpg");
  EXPECT_EQ(get(relay, {}).status, 403);
  EXPECT_EQ(web.requests(), 0);
  EXPECT_EQ(readFile(target), "<missing>");
  // The user's own page may.
  EXPECT_EQ(get(relay).status, 200);
  EXPECT_EQ(readFile(target), "\xFF\xD8\xFF planted");
}

class PictureRouteTest : public HostTest {
 protected:
  void SetUp() override {
    start();
    id_ = create();
    stream_ = events(id_);
  }
  void scan(const std::string& folder, int recursive = 0) {
    value(id_, "SetParentDir", "method",
          dumpScriptJson(nlohmann::json::array({carriedText(folder), recursive, 0})));
    ASSERT_TRUE(stream_->next("OnLoadDone"));
  }
  std::string id_;
  std::unique_ptr<EventReader> stream_;
};

TEST_F(PictureRouteTest, AnAddressHandedInByScriptIsNeverServedAsAFile) {
  const std::string secret = pictures_.write("private/id_rsa", "KEY");
  value(id_, "AddUrlImage", "method", dumpScriptJson(nlohmann::json::array({"file://" + secret})));
  EXPECT_EQ(value(id_, "CurrentName"), "file://" + secret);
  EXPECT_EQ(get(pictureRoute(secret)).status, 404);
  // Nor as a bare path.
  value(id_, "AddUrlImage", "method", dumpScriptJson(nlohmann::json::array({secret})));
  EXPECT_EQ(value(id_, "NextName"), secret);
  EXPECT_EQ(get(pictureRoute(secret)).status, 404);
}

TEST_F(PictureRouteTest, AFolderReplacedByALinkAfterTheHandOutServesNothingFromThere) {
  const std::string shown = pictures_.write("album/a.gif", std::string(kGif, sizeof kGif - 1));
  pictures_.write("private/a.gif", "SECRET");
  scan(pictures_ / "album/");
  EXPECT_EQ(value(id_, "CurrentName"), "file://" + shown);
  EXPECT_EQ(get(pictureRoute(shown)).status, 200);

  ASSERT_EQ(::rename((pictures_ / "album").c_str(), (pictures_ / "gone").c_str()), 0);
  ASSERT_EQ(::symlink((pictures_ / "private").c_str(), (pictures_ / "album").c_str()), 0);
  HostAnswer answer = get(pictureRoute(shown));
  EXPECT_EQ(answer.status, 404);
  EXPECT_EQ(answer.body.find("SECRET"), std::string::npos);

  // The same name holding another file than the one handed out.
  ASSERT_EQ(::unlink((pictures_ / "album").c_str()), 0);
  pictures_.write("album/a.gif", "OTHER");
  EXPECT_EQ(get(pictureRoute(shown)).status, 404);
}

TEST_F(PictureRouteTest, AFolderReachedThroughALinkStillShowsItsPictures) {
  const std::string real = pictures_.write("real/a.jpg", "\xFF\xD8\xFF jpeg");
  ASSERT_EQ(::symlink((pictures_ / "real").c_str(), (pictures_ / "linked").c_str()), 0);
  scan(pictures_ / "linked/");
  const std::string path = pictures_ / "linked/a.jpg";
  EXPECT_EQ(value(id_, "CurrentName"), "file://" + path);
  HostAnswer answer = get(pictureRoute(path));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, readFile(real));
}

TEST_F(PictureRouteTest, APictureIsTypedByItsBytesAndNeverRunsAsAPage) {
  struct Case {
    std::string name, bytes, type;
  } cases[] = {
      {"page.jpg", "<html><script>alert(1)</script>", "application/octet-stream"},
      {"photo.gif", std::string(kGif, sizeof kGif - 1), "image/gif"},
      {"photo.png", "\x89PNG\r\n\x1A\n....", "image/png"},
      {"photo.bmp", "BM....", "image/bmp"},
      {"photo.jpeg", "\xFF\xD8\xFF\xE0", "image/jpeg"},
      {"vector.jpg", "<svg onload=alert(1)>", "application/octet-stream"},
  };
  for (const Case& c : cases) pictures_.write(c.name, c.bytes);
  scan(pictures_.path());
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string current = value(id_, "CurrentName").get<std::string>();
    const std::string path = current.substr(std::string("file://").size());
    const Case* c = nullptr;
    for (const Case& k : cases)
      if (path == pictures_ / k.name) c = &k;
    ASSERT_NE(c, nullptr) << current;
    HostAnswer answer = get(pictureRoute(path));
    EXPECT_EQ(answer.status, 200) << c->name;
    EXPECT_EQ(answer.contentType, c->type) << c->name;
    EXPECT_EQ(header(answer, "Content-Security-Policy"), "sandbox") << c->name;
    EXPECT_EQ(header(answer, "X-Content-Type-Options"), "nosniff") << c->name;
    value(id_, "Next", "method");
  }
}

}  // namespace
}  // namespace lumorel
