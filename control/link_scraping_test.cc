#include "control/link_scraping.h"

#include "control/control_test_util.h"

namespace lumorel {
namespace {

TEST(LastUrlSegment, IsTheTextAfterTheLastInnerSeparator) {
  struct Case {
    std::string url;
    std::string segment;
  } cases[] = {
      {"http://example.com/pics/page.htm", "page.htm"},
      {"http://example.com/dir/", "dir/"},  // the last character is not looked at
      {"page.htm", "page.htm"},
      {"/page.htm", "/page.htm"},           // nor is the first
      {"C:\\web\\page.htm", "page.htm"},
      {"ab", "ab"},
      {"", ""},
      {"/" + std::string(260, 'a') + "/b", ""},  // 263 characters: too long
      {std::string(261, 'a') + "/", std::string(261, 'a') + "/"},  // 262: looked at
  };
  for (const Case& c : cases) EXPECT_EQ(lastUrlSegment(c.url), c.segment) << c.url;
  // Length counts UTF-16 units, not bytes: 200 two-byte characters fit.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\xC3\xA9";
  EXPECT_EQ(lastUrlSegment("x/" + wide), wide);
}

TEST_F(ControlTest, ScrapeUrlCreatesASubscriptionAndStartsIt) {
  const std::string url = "http://example.com/pics/page.htm";
  ASSERT_EQ(method("ScrapeUrl", {url, 1u, 1}).hr, kSOk);
  EXPECT_EQ(subscriptions_.calls,
            (std::vector<std::string>{"default 0 61311",  // 0xEF7F
                                      "create " + url + " [Image links in page.htm] 4 0",
                                      "update " + url}));
  ASSERT_EQ(subscriptions_.records.size(), 1u);
  const SubscriptionInfo& info = subscriptions_.records[0];
  EXPECT_EQ(info.updateFlags, 0xE77Fu);
  EXPECT_EQ(info.schedule, 4u);
  EXPECT_TRUE(info.zeroTrigger);
  EXPECT_EQ(info.recurseLevels, 1u);
  EXPECT_EQ(info.webcrawlerFlags, 0x83u);
  EXPECT_TRUE(info.gleam);
  EXPECT_FALSE(info.changesOnly);
  EXPECT_EQ(info.friendlyName, "Image links in page.htm");
  EXPECT_EQ(info.subType, 0);
  EXPECT_EQ(info.taskFlags, 0x410u);
  EXPECT_EQ(info.maxSizeKB, 1234u) << "the manager's defaults stay";
  EXPECT_EQ(info.channelFlags, 7u);
}

TEST_F(ControlTest, ScrapeUrlReplacesASubscriptionThatCannotBeCreated) {
  struct Case {
    std::vector<bool> creations;
    int32_t startUpdate;
    std::vector<std::string> calls;
  } cases[] = {
      {{true}, 0, {"default 0 61311", "create u/p.htm [Image links in p.htm] 4 0"}},
      {{false, true},
       1,
       {"default 0 61311", "create u/p.htm [Image links in p.htm] 4 0", "delete u/p.htm",
        "create u/p.htm [u/p.htm] 4 0", "update u/p.htm"}},
      {{false, false},
       1,
       {"default 0 61311", "create u/p.htm [Image links in p.htm] 4 0", "delete u/p.htm",
        "create u/p.htm [u/p.htm] 4 0"}},
  };
  for (const Case& c : cases) {
    onUi([&] {
      subscriptions_.calls.clear();
      subscriptions_.records.clear();
      subscriptions_.createResults = c.creations;
    });
    ASSERT_EQ(method("ScrapeUrl", {"u/p.htm", 3u, c.startUpdate}).hr, kSOk);
    onUi([&] {
      EXPECT_EQ(subscriptions_.calls, c.calls);
      for (const SubscriptionInfo& info : subscriptions_.records) {
        EXPECT_EQ(info.friendlyName, "Image links in p.htm") << "the record keeps its name";
        EXPECT_EQ(info.recurseLevels, 3u);
      }
    });
  }
}

TEST_F(ControlTest, AddUrlImageMakesTheListsAndPutsTheCursorOnTheFirst) {
  const std::string first = "http://example.com/b.jpg";
  ASSERT_EQ(method("AddUrlImage", {first}).hr, kSOk);
  EXPECT_EQ(value("CurrentName"), Variant(first));
  EXPECT_EQ(value("FileCount"), Variant(1));
  EXPECT_EQ(value("DirCount"), Variant(0));
  EXPECT_EQ(value("CurrentFileSize"), Variant(0)) << "an address is no file";
  EXPECT_EQ(value("CurrentMidi", {0}), Variant("")) << "no scan has started";

  ASSERT_EQ(method("AddUrlImage", {"http://example.com/a.jpg"}).hr, kSOk);
  ASSERT_EQ(method("AddUrlImage", {first}).hr, kSOk);
  EXPECT_EQ(value("FileCount"), Variant(3)) << "the same address is listed twice";
  EXPECT_EQ(value("CurrentName"), Variant(first)) << "the cursor stays";
  EXPECT_EQ(value("NextName"), Variant("http://example.com/a.jpg")) << "in the order of the calls";
}

TEST_F(ControlTest, AfterAnOrganizerScanAddressesGoInTheOrderOfTheirNames) {
  tree_.write("m.jpg");
  scan(tree_.path(), 2, 0);
  for (const char* url : {"http://x/z.jpg", "http://x/a.jpg", "http://x/dir/"})
    ASSERT_EQ(method("AddUrlImage", {url}).hr, kSOk);
  std::vector<std::string> order;
  ASSERT_EQ(method("Rewind").hr, kSOk);
  for (int i = 0; i < 4; ++i) {
    std::string name;
    ASSERT_EQ(value("CurrentName").toText(name), kSOk);
    order.push_back(name);
    ASSERT_EQ(method("Next").hr, kSOk);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"http://x/a.jpg", "file://" + tree_ / "m.jpg",
                                             "http://x/z.jpg", "http://x/dir/"}))
      << "an address without a short name goes to the end";
}

class NoSubscriptionsTest : public ControlTest {
 protected:
  NoSubscriptionsTest() {
    onUi([&] {
      ControlEnv bare = env();
      bare.subscriptions = nullptr;
      control_ = std::make_unique<EnumImg>(bare);
    });
  }
};

TEST_F(NoSubscriptionsTest, ScrapeUrlWithoutASubscriptionManagerDoesNothing) {
  EXPECT_EQ(method("ScrapeUrl", {"http://example.com/", 1u, 1}).hr, kSOk);
  EXPECT_TRUE(subscriptions_.calls.empty());
}

}  // namespace
}  // namespace lumorel
