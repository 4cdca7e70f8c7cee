#include "platform/posix/offline_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/posix/subscription_record.h"
#include "platform/posix/web_site_test_util.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

// Long enough for any update of the tests' small sites on a loaded machine.
constexpr uint32_t kIdleBoundMs = 30000;

// The fields ScrapeUrl asks for and sets, as it sets them.
SubscriptionInfo scrapeInfo(uint32_t depth) {
  SubscriptionInfo info;
  info.updateFlags = 0xE77F;  // every field but the channel flags
  info.schedule = kSubscriptionScheduleManual;
  info.recurseLevels = depth;
  info.webcrawlerFlags = kWebcrawlDontMakeSticky | kWebcrawlGetImages | kWebcrawlIgnoreRobotsTxt;
  info.gleam = true;
  info.taskFlags = 0x410;
  info.maxSizeKB = 1024;
  info.friendlyName = "Image links in index.html";
  return info;
}

// Every file below `root`, relative to it, sorted; folders left out.
std::vector<std::string> filesBelow(const std::string& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.push_back(entry.path().lexically_relative(root).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class OfflineStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    store_ = OfflineStore::open(folder_ / "cache/lumorel/offline", log_, {}, error);
    ASSERT_TRUE(store_) << error;
  }

  bool create(const std::string& url, uint32_t depth = 1) {
    return store_->createSubscription(url, "Image links in index.html", kCreateSubscriptionNoUi,
                                      kSubscriptionTypeUrl, scrapeInfo(depth));
  }

  std::string folderOf(const std::string& url) { return store_->subscriptionFolder(url) + "/"; }

  std::optional<SubscriptionRecord> record(const std::string& url) {
    return parseSubscriptionRecord(readFile(folderOf(url) + "subscription"));
  }

  std::string log() {
    EXPECT_TRUE(store_->waitForIdle(kIdleBoundMs));
    return log_.str();
  }

  // Declared first, so it goes last: the store's downloads end before it.
  TestWebSite site_;
  TempFolder folder_;
  std::ostringstream log_;
  std::unique_ptr<OfflineStore> store_;
};

TEST(OfflineStoreFolder, LiesInTheUsersCache) {
  const struct {
    const char* xdgCacheHome;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/xdg/cache", "/home/me", "/xdg/cache/lumorel/offline"},
      {"relative/cache", "/home/me", "/home/me/.cache/lumorel/offline"},
      {"", "/home/me", "/home/me/.cache/lumorel/offline"},
      {nullptr, "/home/me", "/home/me/.cache/lumorel/offline"},
      {nullptr, "relative", ""},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OfflineStore::defaultFolder(c.xdgCacheHome, c.home), c.expected)
        << (c.xdgCacheHome ? c.xdgCacheHome : "(none)") << ", " << (c.home ? c.home : "(none)");
  }
}

TEST(OfflineStoreOpen, MakesAPrivateFolderOrSaysWhyNot) {
  TempFolder folder;
  std::ostringstream log;
  std::string error;
  ASSERT_TRUE(OfflineStore::open(folder / "a/b/offline/", log, {}, error)) << error;
  struct stat st {};
  ASSERT_EQ(stat((folder / "a/b/offline").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  folder.write("file", "x");
  std::filesystem::create_directory_symlink(folder / "a", folder / "link");
  for (const std::string& bad : {folder / "file/offline", folder / "link", std::string()}) {
    error.clear();
    EXPECT_EQ(OfflineStore::open(bad, log, {}, error), nullptr) << bad;
    EXPECT_NE(error, "") << bad;
  }
}

TEST_F(OfflineStoreTest, DefaultsFillOnlyTheFieldsNamed) {
  SubscriptionInfo info;
  info.updateFlags = kSubscriptionInfoSchedule | kSubscriptionInfoWebcrawl |
                     kSubscriptionInfoMaxSizeKB | kSubscriptionInfoPassword;
  info.recurseLevels = 7;
  info.password = "secret";
  info.userName = "me";
  store_->getDefaultInfo(kSubscriptionTypeUrl, info);
  EXPECT_EQ(info.schedule, kSubscriptionScheduleManual);
  EXPECT_EQ(info.webcrawlerFlags, kWebcrawlGetImages);
  EXPECT_EQ(info.maxSizeKB, 256u * 1024) << "the store's own bound on an update";
  EXPECT_EQ(info.password, "");
  EXPECT_EQ(info.recurseLevels, 7u) << "not named";
  EXPECT_EQ(info.userName, "me") << "not named";

  SubscriptionInfo other;
  other.updateFlags = 0xFFFF;
  other.schedule = 9;
  store_->getDefaultInfo(1, other);
  EXPECT_EQ(other.schedule, 9u) << "a type the store does not keep";
}

TEST_F(OfflineStoreTest, CreateWritesTheRecordAndNoPassword) {
  const std::string url = site_.url("/index.html");
  SubscriptionInfo info = scrapeInfo(2);
  info.userName = "reader";
  info.password = "secret";
  info.mailNotification = true;
  const int64_t before = std::time(nullptr);
  ASSERT_TRUE(store_->createSubscription(url, "Image links in index.html", kCreateSubscriptionNoUi,
                                         kSubscriptionTypeUrl, info));
  const int64_t after = std::time(nullptr);

  std::optional<SubscriptionRecord> written = record(url);
  ASSERT_TRUE(written);
  EXPECT_GE(written->created, before);
  EXPECT_LE(written->created, after);
  written->created = 0;
  EXPECT_EQ(*written, (SubscriptionRecord{.url = url,
                                          .friendlyName = "Image links in index.html",
                                          .recurseLevels = 2,
                                          .webcrawlerFlags = 0x83,
                                          .schedule = kSubscriptionScheduleManual,
                                          .taskFlags = 0x410,
                                          .gleam = true,
                                          .changesOnly = false,
                                          .userName = "reader",
                                          .maxSizeKB = 1024}));
  EXPECT_EQ(readFile(folderOf(url) + "subscription").find("secret"), std::string::npos);
  EXPECT_EQ(listNames(folderOf(url)), std::vector<std::string>{"subscription"});
  struct stat st {};
  ASSERT_EQ(stat(folderOf(url).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(OfflineStoreTest, FieldsNotNamedTakeTheDefaults) {
  const std::string url = site_.url("/index.html");
  SubscriptionInfo info;
  info.updateFlags = kSubscriptionInfoRecurse;
  info.recurseLevels = 3;
  info.webcrawlerFlags = 0xFF;  // not named: the default
  info.friendlyName = "from the info";
  ASSERT_TRUE(
      store_->createSubscription(url, "", kCreateSubscriptionNoUi, kSubscriptionTypeUrl, info));
  std::optional<SubscriptionRecord> written = record(url);
  ASSERT_TRUE(written);
  EXPECT_EQ(written->recurseLevels, 3u);
  EXPECT_EQ(written->webcrawlerFlags, kWebcrawlGetImages);
  EXPECT_EQ(written->maxSizeKB, 256u * 1024);
  EXPECT_EQ(written->friendlyName, url) << "no name given, none named in the info";

  const std::string named = site_.url("/named.html");
  info.updateFlags |= kSubscriptionInfoFriendlyName;
  ASSERT_TRUE(
      store_->createSubscription(named, "", kCreateSubscriptionNoUi, kSubscriptionTypeUrl, info));
  EXPECT_EQ(record(named)->friendlyName, "from the info");
}

TEST_F(OfflineStoreTest, CreateRefusesWhatItCannotKeep) {
  const std::string cases[] = {
      "",
      "ftp://example.com/x.html",
      "file:///etc/passwd",
      "javascript:alert(1)",
      "example.com/index.html",
      "http://",
      "http:///x",
      "http://example.com/a\nb",
      std::string("http://example.com/a\0b", 22),
      "http://example.com/" + std::string(OfflineStore::kMaxAddressLength, 'x'),
  };
  for (const std::string& url : cases) EXPECT_FALSE(create(url)) << url;
  EXPECT_EQ(filesBelow(folder_ / "cache/lumorel/offline"), std::vector<std::string>{});

  EXPECT_FALSE(
      store_->createSubscription(site_.url("/"), "x", kCreateSubscriptionNoUi, 1, scrapeInfo(0)))
      << "not a URL subscription";
  const std::string longest =
      "HTTPS://Example.com/" + std::string(OfflineStore::kMaxAddressLength - 20, 'x');
  EXPECT_TRUE(create(longest)) << "any case, and as long as it may be";
}

TEST_F(OfflineStoreTest, CreateTwiceIsRefusedUntilDeleted) {
  // As the control does: create; when refused, delete and create again.
  const std::string url = site_.url("/index.html");
  ASSERT_TRUE(create(url, 1));
  EXPECT_FALSE(create(url, 2));
  EXPECT_EQ(record(url)->recurseLevels, 1u) << "the first record stays";
  EXPECT_TRUE(store_->deleteSubscription(url));
  EXPECT_TRUE(create(url, 2));
  EXPECT_EQ(record(url)->recurseLevels, 2u);
}

TEST_F(OfflineStoreTest, UpdateCopiesThePageAndReplacesTheLastCopy) {
  site_.page("/index.html", "<img src=one.png><a href=/../../x.jpg>up</a>");
  site_.file("/one.png", "one", "image/png");
  site_.file("/x.jpg", "x", "image/jpeg");
  const std::string url = site_.url("/index.html");
  ASSERT_TRUE(create(url));
  ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  const std::string name = std::filesystem::path(store_->subscriptionFolder(url)).filename();
  EXPECT_EQ(filesBelow(folder_.path()), (std::vector<std::string>{
                                            "cache/lumorel/offline/" + name + "/copy/000001.html",
                                            "cache/lumorel/offline/" + name + "/copy/000002.png",
                                            "cache/lumorel/offline/" + name + "/copy/000003.jpg",
                                            "cache/lumorel/offline/" + name + "/copy/index",
                                            "cache/lumorel/offline/" + name + "/subscription",
                                        }));
  EXPECT_EQ(readFile(folderOf(url) + "copy/index"), "000001.html\t" + url + "\n000002.png\t" +
                                                        site_.url("/one.png") + "\n000003.jpg\t" +
                                                        site_.url("/x.jpg") + "\n");
  EXPECT_EQ(log(), "lumorel: offline copy of " + url + ": " +
                       std::to_string(readFile(folderOf(url) + "copy/000001.html").size() + 4) +
                       " bytes, 2 pictures\n");

  // The site changes: the next copy replaces the last one whole.
  site_.page("/index.html", "<img src=two.png>");
  site_.file("/two.png", "two", "image/png");
  ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  EXPECT_EQ(listNames(folderOf(url)), (std::vector<std::string>{"copy", "subscription"}));
  EXPECT_EQ(listNames(folderOf(url) + "copy"),
            (std::vector<std::string>{"000001.html", "000002.png", "index"}));
  EXPECT_EQ(readFile(folderOf(url) + "copy/000002.png"), "two");

  // A page that fails now leaves the last copy as it was.
  site_.file("/index.html", "gone", "text/plain");
  ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  EXPECT_EQ(readFile(folderOf(url) + "copy/000002.png"), "two");
  EXPECT_EQ(listNames(folderOf(url)), (std::vector<std::string>{"copy", "subscription"}));
}

TEST_F(OfflineStoreTest, UpdateAndDeleteNeedASubscription) {
  const std::string url = site_.url("/index.html");
  EXPECT_FALSE(store_->updateSubscription(url));
  EXPECT_FALSE(store_->deleteSubscription(url));
  EXPECT_TRUE(store_->waitForIdle(kIdleBoundMs));
  EXPECT_EQ(site_.hits(), (std::map<std::string, int>{}));
}

TEST_F(OfflineStoreTest, DeleteRemovesTheRecordAndEveryCopy) {
  site_.page("/index.html", "<img src=one.png>");
  site_.file("/one.png", "one", "image/png");
  const std::string url = site_.url("/index.html"), other = site_.url("/one.png");
  ASSERT_TRUE(create(url));
  ASSERT_TRUE(create(other));
  ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  ASSERT_EQ(listNames(folderOf(url) + "copy").size(), 3u);

  EXPECT_TRUE(store_->deleteSubscription(url));
  EXPECT_FALSE(std::filesystem::exists(folderOf(url)));
  EXPECT_EQ(
      listNames(folder_ / "cache/lumorel/offline"),
      std::vector<std::string>{std::filesystem::path(store_->subscriptionFolder(other)).filename()})
      << "the other subscription stays";
  EXPECT_FALSE(store_->deleteSubscription(url)) << "gone already";
  EXPECT_FALSE(store_->updateSubscription(url));
}

TEST_F(OfflineStoreTest, AnUpdateAskedForWhileOneRunsRunsOnceAfterIt) {
  site_.held("/slow.html", "<p>" + std::string(20000, 's') + "</p>", "text/html");
  const std::string url = site_.url("/slow.html");
  ASSERT_TRUE(create(url));
  ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(site_.waitUntilHeld());
  EXPECT_TRUE(store_->updateSubscription(url));
  EXPECT_TRUE(store_->updateSubscription(url));
  site_.release();
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  EXPECT_EQ(site_.hits()["/slow.html"], 2) << "the one running and one more after it";
  EXPECT_EQ(listNames(folderOf(url) + "copy"), (std::vector<std::string>{"000001.html", "index"}));
}

TEST_F(OfflineStoreTest, ManySubscriptionsUpdateAtOnce) {
  std::vector<std::string> urls;
  for (int i = 0; i < 8; ++i) {
    const std::string target = "/page" + std::to_string(i) + ".html";
    site_.page(target, "<img src=p" + std::to_string(i) + ".png>");
    site_.file("/p" + std::to_string(i) + ".png", "png", "image/png");
    urls.push_back(site_.url(target));
    ASSERT_TRUE(create(urls.back()));
  }
  for (const std::string& url : urls) ASSERT_TRUE(store_->updateSubscription(url));
  ASSERT_TRUE(store_->waitForIdle(kIdleBoundMs));
  for (const std::string& url : urls) {
    EXPECT_EQ(listNames(folderOf(url) + "copy").size(), 3u) << url;
  }
}

// Starts an update whose picture download is held until the test ends, and
// waits until it is; returns the subscription's address.
std::string startSlowUpdate(TestWebSite& site, OfflineStore& store) {
  site.page("/index.html", "<img src=slow.png>");
  site.held("/slow.png", std::string(100000, 'p'), "image/png");
  const std::string url = site.url("/index.html");
  EXPECT_TRUE(store.createSubscription(url, "slow", kCreateSubscriptionNoUi, kSubscriptionTypeUrl,
                                       scrapeInfo(0)));
  EXPECT_TRUE(store.updateSubscription(url));
  EXPECT_TRUE(site.waitUntilHeld());
  return url;
}

// Far sooner than the held answer (never) or the download's time-out (two
// minutes) would end it.
constexpr std::chrono::seconds kPromptly{5};

TEST_F(OfflineStoreTest, TheDestructorStopsARunningDownload) {
  const std::string url = startSlowUpdate(site_, *store_);
  const auto asked = std::chrono::steady_clock::now();
  store_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, kPromptly);

  // The copy that was stopped is discarded; the record stays.
  std::string error;
  store_ = OfflineStore::open(folder_ / "cache/lumorel/offline", log_, {}, error);
  ASSERT_TRUE(store_) << error;
  EXPECT_EQ(listNames(folderOf(url)), std::vector<std::string>{"subscription"});
}

TEST_F(OfflineStoreTest, DeleteStopsARunningDownload) {
  const std::string url = startSlowUpdate(site_, *store_);
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_TRUE(store_->deleteSubscription(url));
  EXPECT_LT(std::chrono::steady_clock::now() - asked, kPromptly);
  EXPECT_TRUE(store_->waitForIdle(kIdleBoundMs));
  EXPECT_EQ(listNames(folder_ / "cache/lumorel/offline"), std::vector<std::string>{});
}

}  // namespace
}  // namespace lumorel
