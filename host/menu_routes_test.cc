// The context menu's routes against a host on loopback: snapshots kept as
// the pages read them, refused when they are not what a menu gives, and
// navigations streamed to the relay.
#include "host/host_test_util.h"

namespace lumorel {
namespace {

class MenuRouteTest : public HostTest {
 protected:
  void SetUp() override { start(); }

  // Keeps `snapshot` and gives its id ("" when refused).
  std::string keep(const nlohmann::json& snapshot) {
    HostAnswer answer = post("/.lumorel/menu", snapshot.dump());
    if (answer.status != 200) return "";
    return answer.json["id"].get<std::string>();
  }
};

const nlohmann::json kGallery = {
    {"page", "lm_listimg"},
    {"tab", 7},
    {"document",
     {{"url", "http://example.com/g.html"},
      {"title", "Gallery"},
      {"links", {"http://example.com/a.jpg", "http://example.com/b.txt"}}}},
    {"element", nullptr}};

TEST_F(MenuRouteTest, APageReadsTheSnapshotItsAddressNames) {
  HostAnswer kept = post("/.lumorel/menu", kGallery.dump());
  ASSERT_EQ(kept.status, 200);
  const std::string id = kept.json["id"];
  EXPECT_EQ(kept.json["page"], "/lm:lm_listimg#menu=" + id);
  HostAnswer read = get("/.lumorel/menu/" + id);
  ASSERT_EQ(read.status, 200);
  EXPECT_EQ(read.json, kGallery);

  nlohmann::json picture = kGallery;
  picture["page"] = "lm_resize";
  picture["element"] = {{"tagName", "IMG"}, {"src", "http://example.com/a.jpg"},
                        {"title", "A"}, {"width", 2000}, {"height", 1500},
                        {"onclick", "dropped: not a field pages read"}};
  const std::string other = keep(picture);
  ASSERT_FALSE(other.empty());
  EXPECT_NE(other, id);
  nlohmann::json element = get("/.lumorel/menu/" + other).json["element"];
  EXPECT_EQ(element["width"], 2000);
  EXPECT_FALSE(element.contains("onclick"));

  EXPECT_EQ(get("/.lumorel/menu/0123456789abcdef").status, 404);
}

TEST_F(MenuRouteTest, WhatNoMenuGivesIsRefused) {
  struct Case {
    const char* what;
    nlohmann::json snapshot;
  };
  auto with = [](const char* key, nlohmann::json value) {
    nlohmann::json s = kGallery;
    s[key] = std::move(value);
    return s;
  };
  auto withDocument = [](const char* key, nlohmann::json value) {
    nlohmann::json s = kGallery;
    s["document"][key] = std::move(value);
    return s;
  };
  const Case cases[] = {
      {"a page no entry opens", with("page", "main")},
      {"no page", nlohmann::json{{"document", kGallery["document"]}}},
      {"no document", with("document", nullptr)},
      {"a document without its address", withDocument("url", nullptr)},
      {"links that are not texts", withDocument("links", {1, 2})},
      {"too many links", withDocument("links", std::vector<std::string>(20001, "http://x/a.jpg"))},
      {"an element that is a text", with("element", "IMG")},
      {"a size that is not a number", with("element", {{"width", "wide"}})},
      {"a tab that is not a number", with("tab", "seven")},
  };
  for (const Case& c : cases) {
    HostAnswer answer = post("/.lumorel/menu", c.snapshot.dump());
    EXPECT_EQ(answer.status, 400) << c.what;
  }
  EXPECT_EQ(post("/.lumorel/menu", "not json").status, 400);
}

TEST_F(MenuRouteTest, OnlyTheTokensHolderKeepsOrReadsASnapshot) {
  const std::string id = keep(kGallery);
  ASSERT_FALSE(id.empty());
  const httplib::Headers stranger{{"X-Lumorel-Token", "not-the-token"}};
  EXPECT_EQ(post("/.lumorel/menu", kGallery.dump(), stranger).status, 403);
  EXPECT_EQ(get("/.lumorel/menu/" + id, stranger).status, 403);
  EXPECT_EQ(post("/.lumorel/menu/" + id + "/navigate",
                 R"({"url": "http://example.com/a.jpg"})", stranger).status, 403);
}

TEST_F(MenuRouteTest, NavigationsReachTheRelayInOrderAndOnlyToWebAddresses) {
  const std::string id = keep(kGallery);
  ASSERT_FALSE(id.empty());
  EventReader relay(port(), "/.lumorel/menu/" + id + "/events");
  const char* refused[] = {"javascript:alert(1)", "file:///etc/passwd", "lm:main", "http://",
                           "http://example.com/\n"};
  for (const char* url : refused) {
    EXPECT_EQ(post("/.lumorel/menu/" + id + "/navigate", nlohmann::json{{"url", url}}.dump()).status,
              400)
        << url;
  }
  for (const char* url : {"http://example.com/a.jpg", "HTTPS://example.com/b.png"})
    EXPECT_EQ(post("/.lumorel/menu/" + id + "/navigate", nlohmann::json{{"url", url}}.dump()).status,
              200);
  std::optional<SentEvent> first = relay.next("navigate");
  std::optional<SentEvent> second = relay.next("navigate");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->data["url"], "http://example.com/a.jpg");
  EXPECT_EQ(second->data["url"], "HTTPS://example.com/b.png");
}

TEST_F(MenuRouteTest, TheOldestSnapshotsMakeRoomAndTheirStreamsEnd) {
  const std::string oldest = keep(kGallery);
  ASSERT_FALSE(oldest.empty());
  EventReader relay(port(), "/.lumorel/menu/" + oldest + "/events");
  for (std::size_t i = 0; i < MenuSnapshots::kMaxKept; ++i) ASSERT_FALSE(keep(kGallery).empty());
  EXPECT_EQ(get("/.lumorel/menu/" + oldest).status, 404);
  EXPECT_EQ(relay.waitForEnd(), std::optional<int>(200));
}

}  // namespace
}  // namespace lumorel
