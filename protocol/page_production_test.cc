#include "protocol/page_production.h"

#include <gtest/gtest.h>

#include "protocol/page_request.h"
#include "protocol/protocol_test_util.h"
#include "test_support/loopback_http_server.h"

namespace lumorel {
namespace {

constexpr std::string_view kSlideShow = "<script>var s='%1!s!',l='%2!s!',d='%3!s!';</script>";

class PageProductionTest : public ::testing::Test {
 protected:
  PageProductionTest() {
    pages_.add("ABOUT", "<p>about 100%1</p>");
    pages_.add("MAIN", "<div style='width:100%;'>%1</div>");
    pages_.add("KEYS", "keys");
    pages_.add("LOGO.GIF", std::string("GIF89a\0\x01%", 9));
    pages_.add("MAINIMG", std::string(kSlideShow), true);
    pages_.add("BROKEN", "<script>var x='%7';</script>", true);
    pages_.add(std::string(kMaxPageNameLength, 'n'), "longest");
  }

  PageContent produce(const std::string& url) {
    return produceContent(url, {pages_, fetcher_}, [this] { return aborted_; });
  }

  // What Read would serve.
  static std::string served(const PageContent& c) {
    if (c.formattedText) return std::string(c.formattedText->c_str(), c.dataSize());
    return std::string(c.pageData);
  }

  MapPageStore pages_;
  CountingFetcher fetcher_;
  bool aborted_ = false;
};

TEST_F(PageProductionTest, ServesPagesByName) {
  struct Case {
    std::string url;
    HResult result;
    std::string served;
  };
  const Case cases[] = {
      {"lm:", kSOk, "<p>about 100%1</p>"},
      {"lm:&", kSFalse, "<p>about 100%1</p>"},
      {"lm:main", kSOk, "<div style='width:100%;'>%1</div>"},
      {"lm:logo.gif", kSOk, std::string("GIF89a\0\x01%", 9)},
      {"lm:&a=1&rsrc=keys", kSFalse, "keys"},
      {"lm:&rsrc=keys&rsrc=about", kSFalse, "<p>about 100%1</p>"},
      {"lm:&x!rsrc=keys", kSFalse, "keys"},
      {"lm:nothing", kSOk, ""},
      {"lm:&rsrc=nothing&1=x", kSFalse, ""},
      {"lm:keys?x", kSOk, ""},
      {"lm:" + std::string(kMaxPageNameLength, 'N'), kSOk, "longest"},
      {"lm:" + std::string(kMaxPageNameLength + 1, 'n'), kSOk, ""},
      {"lm:&rsrc=" + std::string(kMaxPageNameLength + 1, 'n'), kSFalse, ""},
      {"lm:&save=a.jpg&src=", kSFalse, "<p>about 100%1</p>"},
  };
  for (const Case& c : cases) {
    PageContent content = produce(c.url);
    EXPECT_EQ(content.result, c.result) << c.url;
    EXPECT_EQ(served(content), c.served) << c.url;
    EXPECT_EQ(content.dataSize(), c.served.size()) << c.url;
    EXPECT_EQ(content.relay, nullptr);
  }
  EXPECT_TRUE(fetcher_.asked().empty());
}

TEST_F(PageProductionTest, FormatsAPageWhenTheAddressGivesInserts) {
  const std::pair<std::string, std::string> cases[] = {
      {"lm:&rsrc=mainimg&2=0&1=", "<script>var s='',l='0',d=' ';</script>"},
      {"lm:&rsrc=MAINIMG&2=1", "<script>var s=' ',l='1',d=' ';</script>"},
      {"lm:&rsrc=mainimg&1=&2=0&3=1", "<script>var s='',l='0',d='1';</script>"},
      {"lm:&rsrc=mainimg&2=1&1=http://h/p?a='b'", "<script>var s='http://h/p?a=\\x27b\\x27',"
                                                  "l='1',d=' ';</script>"},
      {"lm:&rsrc=mainimg&1=</script><script>alert(1)//",
       "<script>var s='\\x3C/script\\x3E\\x3Cscript\\x3Ealert(1)//',l=' ',d=' ';</script>"},
  };
  for (const auto& [url, text] : cases) {
    PageContent content = produce(url);
    EXPECT_EQ(content.result, kSFalse);
    ASSERT_TRUE(content.formattedText) << url;
    EXPECT_EQ(*content.formattedText, text) << url;
    EXPECT_EQ(content.dataSize(), text.size() + 1) << "the text and one NUL byte";
  }
  // Without inserts the template is served as it stands.
  EXPECT_EQ(served(produce("lm:mainimg")), kSlideShow);
  EXPECT_EQ(served(produce("lm:&rsrc=mainimg")), kSlideShow);
  // Any page an address gives inserts is formatted, the default one too; a
  // "%" before another character gives that character.
  for (const auto& [url, text] : {std::pair{"lm:&1=x", "<p>about 100x</p>"},
                                  {"lm:&rsrc=main&1=x", "<div style='width:100;'>x</div>"},
                                  {"lm:&rsrc=keys&4=", "keys"}}) {
    PageContent content = produce(url);
    ASSERT_TRUE(content.formattedText) << url;
    EXPECT_EQ(*content.formattedText, text) << url;
  }
  // A template that cannot be formatted gives the empty document.
  PageContent broken = produce("lm:&rsrc=broken&1=x");
  EXPECT_EQ(broken.result, kSFalse);
  EXPECT_EQ(broken.dataSize(), 0u);
}

TEST_F(PageProductionTest, RelaysOnlyWebAddresses) {
  LoopbackHttpServer server;
  server.answer("/a.jpg", {.body = "JPEG"});
  const std::string src = server.url("/a.jpg");

  PageContent relayed = produce("lm:&save=C%3A%5Cp%5Ca.jpg&src=" + src + "&rsrc=keys");
  EXPECT_EQ(relayed.result, kSFalse);
  ASSERT_NE(relayed.relay, nullptr);
  EXPECT_EQ(relayed.savePath, "C:\\p\\a.jpg");
  EXPECT_EQ(relayed.dataSize(), 0u) << "no page is looked up";
  char buffer[16];
  EXPECT_EQ(relayed.relay->read(buffer, sizeof buffer), std::optional<std::size_t>(4));

  // A "&" in the address ends it; the rest is scanned as pairs.
  PageContent cut = produce("lm:&src=" + src + "&x=1");
  ASSERT_NE(cut.relay, nullptr);

  for (const std::string& other :
       {std::string("file:///etc/passwd"), std::string("FILE:/etc/passwd"),
        std::string("javascript:alert(1)"), std::string("//127.0.0.1/a.jpg"),
        std::string("ftp://127.0.0.1/a.jpg"), std::string("httpx://h/")}) {
    PageContent refused = produce("lm:&save=x.jpg&src=" + other);
    EXPECT_EQ(refused.relay, nullptr) << other;
    EXPECT_EQ(refused.dataSize(), 0u) << other;
    EXPECT_EQ(refused.result, kSFalse);
  }
  EXPECT_EQ(fetcher_.asked(), (std::vector<std::string>{src, src})) << "others never fetched";

  PageContent failed = produce("lm:&src=" + server.url("/missing.jpg"));
  EXPECT_EQ(failed.relay, nullptr);
  EXPECT_EQ(failed.dataSize(), 0u);
  EXPECT_EQ(failed.result, kSFalse);

  aborted_ = true;
  EXPECT_EQ(produce("lm:&src=" + src).relay, nullptr);
  EXPECT_EQ(fetcher_.asked().size(), 3u) << "an aborted handler fetches nothing";
}

TEST_F(PageProductionTest, ASavePathThatCannotBeWrittenIsDropped) {
  LoopbackHttpServer server;
  server.answer("/a.jpg", {.body = "JPEG"});
  const std::string src = server.url("/a.jpg");
  EXPECT_EQ(produce("lm:&save=a.jpg%00.txt&src=" + src).savePath, "");
  EXPECT_EQ(produce("lm:&save=" + std::string(260, 'p') + "&src=" + src).savePath, "");
  EXPECT_EQ(produce("lm:&save=" + std::string(259, 'p') + "&src=" + src).savePath,
            std::string(259, 'p'));
}

}  // namespace
}  // namespace lumorel
