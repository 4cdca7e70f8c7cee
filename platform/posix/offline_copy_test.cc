#include "platform/posix/offline_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/posix/web_site_test_util.h"
#include "platform/subscription_manager.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

constexpr uint32_t kImages = kWebcrawlGetImages;
constexpr uint32_t kPerFile = 16384;

std::string picture(const std::string& name) {
  return "picture " + name + " " + std::string(200, 'p');
}

// A site with a bit of everything a copy meets. The level each address is
// on, seen from /index.html, is in its comment.
void serveGallery(TestWebSite& site) {
  site.page("/index.html",  // 0
            "<html><head><title>Gallery</title></head><body>"
            "<img src=inline.gif>"                           // 0: shown
            "<a href=Big.JPG>big</a>"                        // 1
            "<a href='b.jpg?x=1'>not a picture address</a>"  // 1: a page, as it has a query
            "<a href=second.html>second</a>"                 // 1
            "<a href=second.html#again>again</a>"            // the same page
            "<a href=ftp://127.0.0.1/f.jpg>ftp</a>"
            "<a href=file:///etc/hostname.jpg>file</a>"
            "<a href=javascript:show('j.jpg')>script</a>"
            "<a href=huge.jpg>too large</a>"              // 1
            "<a href=huge-chunked.jpg>too large</a>"      // 1
            "<a href=to-file.jpg>redirect to a file</a>"  // 1
            "<a href=/../../escape.jpg>up</a>"            // 1
            "<a href=%2e%2e/%2E%2E/dots.jpg>up</a>"       // 1
            "<a href=moved.html>moved</a>"                // 1
            "<a href=http://localhost:" +
                std::to_string(site.port()) +
                "/elsewhere.html>another host</a>"  // 1
                "<iframe src=frame.html></iframe>"  // 0: shown
                "</body></html>");
  site.file("/inline.gif", picture("inline"), "image/gif");
  site.file("/Big.JPG", picture("big"), "image/jpeg");
  site.file("/b.jpg?x=1", picture("b"), "image/jpeg");
  site.file("/huge.jpg", std::string(4 * kPerFile, 'h'), "image/jpeg");
  site.chunked("/huge-chunked.jpg", std::string(4 * kPerFile, 'h'), "image/jpeg");
  site.redirect("/to-file.jpg", "file:///etc/hostname");
  site.file("/escape.jpg", picture("escape"), "image/jpeg");
  site.file("/%2e%2e/%2E%2E/dots.jpg", picture("dots"), "image/jpeg");
  site.redirect("/moved.html", "/sub/target.html");
  site.page("/sub/target.html", "<img src=rel.png>");  // relative to where it moved
  site.file("/sub/rel.png", picture("rel"), "image/png");
  site.page("/elsewhere.html", "<p>elsewhere</p>");
  site.page("/frame.html", "<img src=framed.png>");
  site.file("/framed.png", picture("framed"), "image/png");
  site.page("/second.html",
            "<a href=index.html>back</a><img src=inline.gif><img src=second.png>"
            "<a href=third.png>third</a><a href=third.html>third page</a>");
  site.file("/second.png", picture("second"), "image/png");
  site.file("/third.png", picture("third"), "image/png");
  site.page("/third.html", "<img src=third-inline.png><a href=fourth.jpg>fourth</a>");
  site.file("/third-inline.png", picture("third-inline"), "image/png");
  site.file("/fourth.jpg", picture("fourth"), "image/jpeg");
}

// What one copy left behind.
struct CopyResult {
  OfflineCopyOutcome outcome;
  std::map<std::string, std::string> index;  // address: saved name
  std::vector<std::string> log;
  std::set<std::string> names;  // in the folder
};

class OfflineCopyTest : public testing::Test {
 protected:
  CopyResult copy(const SubscriptionRecord& record, OfflineCopyLimits limits = {},
                  const CancelCheck& cancelled = nullptr) {
    std::filesystem::remove_all(folder_ / "copy");
    const std::string path = folder_.makeFolder("copy");
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_TRUE(fd.valid());
    CopyResult result;
    result.outcome = makeOfflineCopy(record, fd.get(), limits, cancelled,
                                     [&](const std::string& line) { result.log.push_back(line); });
    for (const std::string& name : listNames(path)) result.names.insert(name);
    if (result.names.count(kOfflineCopyIndexName) == 0) return result;
    std::istringstream index(readFile(path + kOfflineCopyIndexName));
    std::string line;
    while (std::getline(index, line)) {
      const std::size_t tab = line.find('\t');
      EXPECT_NE(tab, std::string::npos) << line;
      result.index[line.substr(tab + 1)] = line.substr(0, tab);
    }
    return result;
  }

  SubscriptionRecord gallery(uint32_t depth, uint32_t flags = kImages) {
    return {.url = site_.url("/index.html"), .recurseLevels = depth, .webcrawlerFlags = flags};
  }

  // The addresses of `targets` on the site.
  std::set<std::string> urls(std::initializer_list<const char*> targets) {
    std::set<std::string> out;
    for (const char* target : targets) out.insert(site_.url(target));
    return out;
  }

  static std::set<std::string> keys(const std::map<std::string, std::string>& map) {
    std::set<std::string> out;
    for (const auto& [key, value] : map) out.insert(key);
    return out;
  }

  TestWebSite site_;
  TempFolder folder_;
  OfflineCopyLimits limits_{.file = {.maxBytes = kPerFile}};
};

TEST_F(OfflineCopyTest, FetchesWhatEachDepthReaches) {
  serveGallery(site_);
  struct Case {
    uint32_t depth;
    uint32_t flags;
    std::set<std::string> kept;       // in the index
    std::set<std::string> requested;  // by the site, once each
  };
  const std::set<std::string> level0 =
      urls({"/index.html", "/inline.gif", "/frame.html", "/framed.png"});
  std::set<std::string> level1Kept = level0;
  level1Kept.merge(urls({"/Big.JPG", "/second.html", "/second.png", "/escape.jpg",
                         "/%2e%2e/%2E%2E/dots.jpg", "/moved.html", "/sub/rel.png"}));
  // Asked for, and not kept: not a page, too large, a redirect refused,
  // and where a kept address was redirected to.
  std::set<std::string> level1Requested = level1Kept;
  level1Requested.merge(
      urls({"/b.jpg?x=1", "/huge.jpg", "/huge-chunked.jpg", "/to-file.jpg", "/sub/target.html"}));
  const std::set<std::string> level2 = urls({"/third.png", "/third.html", "/third-inline.png"});
  std::set<std::string> level2Kept = level1Kept, level2Requested = level1Requested;
  level2Kept.insert(level2.begin(), level2.end());
  level2Requested.insert(level2.begin(), level2.end());
  // The last picture, linked from the level-2 page; then the site ends.
  std::set<std::string> allKept = level2Kept, allRequested = level2Requested;
  allKept.insert(site_.url("/fourth.jpg"));
  allRequested.insert(site_.url("/fourth.jpg"));

  const Case cases[] = {
      {0, kImages, level0, level0},
      {1, kImages, level1Kept, level1Requested},
      {2, kImages, level2Kept, level2Requested},
      {3, kImages, allKept, allRequested},
      // Deeper than the site goes: nothing more.
      {9, kImages, allKept, allRequested},
      // Pages only, without the flag for pictures.
      {2, 0, urls({"/index.html", "/frame.html", "/second.html", "/moved.html", "/third.html"}),
       urls({"/index.html", "/frame.html", "/second.html", "/moved.html", "/sub/target.html",
             "/third.html", "/b.jpg?x=1"})},
  };
  std::map<std::string, int> hitsBefore;
  for (const Case& c : cases) {
    SCOPED_TRACE("depth " + std::to_string(c.depth) + ", flags " + std::to_string(c.flags));
    CopyResult result = copy(gallery(c.depth, c.flags), limits_);
    EXPECT_EQ(result.outcome, OfflineCopyOutcome::kDone);
    EXPECT_EQ(keys(result.index), c.kept);

    // Each address asked for once, whatever links to it how often.
    std::map<std::string, int> hits = site_.hits();
    std::set<std::string> requested;
    for (const auto& [target, count] : hits) {
      const int now = count - hitsBefore[target];
      if (now > 0) requested.insert(site_.url(target));
      EXPECT_LE(now, 1) << target;
    }
    hitsBefore = hits;
    EXPECT_EQ(requested, c.requested);
  }
}

TEST_F(OfflineCopyTest, KeepsWholeFilesUnderNamesOfItsOwn) {
  serveGallery(site_);
  CopyResult result = copy(gallery(2), limits_);
  ASSERT_EQ(result.outcome, OfflineCopyOutcome::kDone);

  // Nothing but the index and the files it names: no partial download.
  std::set<std::string> expectedNames = {kOfflineCopyIndexName};
  const std::regex name("[0-9]{6}\\.(html|gif|jpg|jpe|jpeg|png)");
  for (const auto& [address, saved] : result.index) {
    EXPECT_TRUE(std::regex_match(saved, name)) << saved;
    expectedNames.insert(saved);
  }
  EXPECT_EQ(result.names, expectedNames);

  // Each file is its address's whole body, with the picture's extension
  // in lowercase.
  const std::string folder = folder_ / "copy/";
  EXPECT_EQ(readFile(folder + result.index.at(site_.url("/Big.JPG"))), picture("big"));
  EXPECT_TRUE(result.index.at(site_.url("/Big.JPG")).ends_with(".jpg"));
  EXPECT_EQ(readFile(folder + result.index.at(site_.url("/sub/rel.png"))), picture("rel"));
  EXPECT_EQ(readFile(folder + result.index.at(site_.url("/moved.html"))), "<img src=rel.png>");

  // Hostile paths landed inside the copy like any other: the folder that
  // holds it has nothing else.
  EXPECT_EQ(readFile(folder + result.index.at(site_.url("/escape.jpg"))), picture("escape"));
  EXPECT_EQ(readFile(folder + result.index.at(site_.url("/%2e%2e/%2E%2E/dots.jpg"))),
            picture("dots"));
  EXPECT_EQ(listNames(folder_.path()), std::vector<std::string>{"copy"});
}

TEST_F(OfflineCopyTest, LogsEachPageAndEachFailure) {
  site_.page("/p.html", "<img src=a.png><img src=missing.png><a href=big.jpg>x</a>");
  site_.file("/a.png", "12345", "image/png");
  site_.file("/big.jpg", std::string(kPerFile + 1, 'b'), "image/jpeg");
  const std::string page = site_.url("/p.html");
  CopyResult result = copy({.url = page, .recurseLevels = 1, .webcrawlerFlags = kImages}, limits_);
  EXPECT_EQ(result.log, (std::vector<std::string>{
                            "lumorel: offline copy of " + site_.url("/missing.png") +
                                " failed: the server answered 404",
                            "lumorel: offline copy of " + site_.url("/big.jpg") +
                                " failed: larger than 16384 bytes",
                            "lumorel: offline copy of " + page + ": " +
                                std::to_string(readFile(folder_ / "copy/000001.html").size() + 5) +
                                " bytes, 1 pictures",
                        }));
  EXPECT_EQ(result.names, (std::set<std::string>{"000001.html", "000002.png", "index"}))
      << "nothing left of the downloads that failed";
}

TEST_F(OfflineCopyTest, FollowsOtherHostsOnlyWhenAsked) {
  // "localhost" and "127.0.0.1" reach the same site under two host names.
  const std::string other = "http://localhost:" + std::to_string(site_.port());
  site_.page("/p.html", "<a href=" + other + "/elsewhere.html>x</a><img src=" + other +
                            "/shown.png><a href=own.html>own</a>");
  site_.page("/elsewhere.html", "elsewhere");
  site_.page("/own.html", "own");
  site_.file("/shown.png", "png", "image/png");
  site_.redirect("/moved.html", site_.url("/p.html"));
  const std::string page = site_.url("/p.html"), own = site_.url("/own.html"),
                    elsewhere = other + "/elsewhere.html", shown = other + "/shown.png";

  struct Case {
    const char* what;
    std::string url;
    uint32_t flags;
    std::set<std::string> kept;
  };
  const Case cases[] = {
      {"its own host only, and pictures from any", page, kImages, {page, own, shown}},
      {"any host when asked",
       page,
       kImages | kWebcrawlLinksElsewhere,
       {page, own, shown, elsewhere}},
      // The address leads from the other name to the page: both are its own.
      {"where its address leads",
       other + "/moved.html",
       kImages,
       {other + "/moved.html", own, shown, elsewhere}},
  };
  for (const Case& c : cases) {
    CopyResult result = copy({.url = c.url, .recurseLevels = 1, .webcrawlerFlags = c.flags});
    EXPECT_EQ(keys(result.index), c.kept) << c.what;
  }
}

TEST_F(OfflineCopyTest, EndsAtItsLimitsKeepingWhatItHas) {
  std::string html;
  for (int i = 0; i < 10; ++i) {
    const std::string target = "/p" + std::to_string(i) + ".png";
    html += "<img src=" + target + ">";
    site_.file(target, std::string(1000, 'x'), "image/png");
  }
  site_.page("/p.html", html);
  struct Case {
    const char* what;
    OfflineCopyLimits limits;
    uint32_t maxSizeKB;
    std::size_t kept;
    std::string logged;
  };
  const uint64_t pageBytes = html.size();
  const Case cases[] = {
      {"files", {.maxFiles = 4}, 0, 4, "ended: 4 files kept"},
      {"bytes",
       {.maxBytes = pageBytes + 2500},
       0,
       3,
       "ended: its bound of " + std::to_string(pageBytes + 2500) + " bytes reached"},
      {"the record's own bound", {}, 2, 2, "ended: its bound of 2048 bytes reached"},
      {"the store's bound below the record's",
       {.maxBytes = pageBytes + 1000},
       1000,
       2,
       "ended: its bound of " + std::to_string(pageBytes + 1000) + " bytes reached"},
  };
  for (const Case& c : cases) {
    CopyResult result =
        copy({.url = site_.url("/p.html"), .webcrawlerFlags = kImages, .maxSizeKB = c.maxSizeKB},
             c.limits);
    EXPECT_EQ(result.outcome, OfflineCopyOutcome::kDone) << c.what;
    EXPECT_EQ(result.index.size(), c.kept) << c.what;
    EXPECT_EQ(result.names.size(), c.kept + 1) << c.what << ": the files and the index";
    ASSERT_FALSE(result.log.empty()) << c.what;
    EXPECT_EQ(result.log[result.log.size() - 2],
              "lumorel: offline copy of " + site_.url("/p.html") + " " + c.logged)
        << c.what;
  }
}

TEST_F(OfflineCopyTest, NothingToPutInPlaceWhenThePageFailsOrItIsStopped) {
  site_.file("/picture.jpg", "jpg", "image/jpeg");
  site_.page("/p.html", "<img src=a.png>");
  struct Case {
    std::string url;
    CancelCheck cancelled;
    OfflineCopyOutcome outcome;
  };
  const Case cases[] = {
      {site_.url("/missing.html"), nullptr, OfflineCopyOutcome::kPageFailed},
      {site_.url("/picture.jpg"), nullptr, OfflineCopyOutcome::kPageFailed},
      {"ftp://127.0.0.1/p.html", nullptr, OfflineCopyOutcome::kPageFailed},
      {site_.url("/p.html"), [] { return true; }, OfflineCopyOutcome::kStopped},
  };
  for (const Case& c : cases) {
    CopyResult result = copy({.url = c.url, .webcrawlerFlags = kImages}, {}, c.cancelled);
    EXPECT_EQ(result.outcome, c.outcome) << c.url;
    EXPECT_EQ(result.names.count(kOfflineCopyIndexName), 0u) << c.url;
  }
}

}  // namespace
}  // namespace lumorel
