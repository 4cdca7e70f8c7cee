// ScrapeUrl called from a page, against a host on loopback whose controls
// share an offline store: the subscription it makes and the copy it starts.
#include <sstream>

#include "host/host_test_util.h"
#include "platform/posix/offline_store.h"
#include "platform/posix/web_site_test_util.h"

namespace lumorel {
namespace {

constexpr uint32_t kIdleBoundMs = 30000;

class ScrapeUrlTest : public HostTest {
 protected:
  void SetUp() override {
    std::string error;
    offline_ = OfflineStore::open(cache_ / "offline", log_, {}, error);
    ASSERT_TRUE(offline_) << error;
    subscriptions_ = offline_.get();
    start();
  }
  // The controls go before the store they use.
  ~ScrapeUrlTest() override {
    if (server_) server_->stop();
  }

  // Calls ScrapeUrl on a new control; true when it answered success.
  bool scrape(const std::string& url, uint32_t depth, int32_t startUpdate) {
    HostAnswer answer =
        call(create(), "ScrapeUrl", "method",
             dumpScriptJson(nlohmann::json::array({carriedText(url), depth, startUpdate})));
    EXPECT_EQ(answer.status, 200) << answer.body;
    return answer.json.is_object() && answer.json.value("hr", -1) == 0;
  }

  TestWebSite site_;
  TempFolder cache_;
  std::ostringstream log_;
  std::unique_ptr<OfflineStore> offline_;
};

TEST_F(ScrapeUrlTest, CopiesThePageAndItsPicturesIntoTheStore) {
  site_.page("/gallery/index.html", "<a href=big.jpg><img src=small.jpg></a>");
  site_.file("/gallery/big.jpg", "big", "image/jpeg");
  site_.file("/gallery/small.jpg", "small", "image/jpeg");
  const std::string url = site_.url("/gallery/index.html");

  ASSERT_TRUE(scrape(url, 1, 1));
  ASSERT_TRUE(offline_->waitForIdle(kIdleBoundMs));
  const std::string folder = offline_->subscriptionFolder(url) + "/";
  const std::string record = readFile(folder + "subscription");
  EXPECT_NE(record.find("friendly_name=Image links in index.html\n"), std::string::npos) << record;
  EXPECT_NE(record.find("recurse_levels=1\n"), std::string::npos) << record;
  EXPECT_EQ(readFile(folder + "copy/index"), "000001.html\t" + url + "\n000002.jpg\t" +
                                                 site_.url("/gallery/big.jpg") + "\n000003.jpg\t" +
                                                 site_.url("/gallery/small.jpg") + "\n");

  // Again from another page, without starting it: the subscription is
  // made anew (its copy goes with the old one) and nothing is fetched.
  ASSERT_TRUE(scrape(url, 0, 0));
  ASSERT_TRUE(offline_->waitForIdle(kIdleBoundMs));
  EXPECT_NE(readFile(folder + "subscription").find("recurse_levels=0\n"), std::string::npos);
  EXPECT_EQ(listNames(folder), std::vector<std::string>{"subscription"});
  EXPECT_EQ(site_.hits()["/gallery/index.html"], 1);
}

}  // namespace
}  // namespace lumorel
