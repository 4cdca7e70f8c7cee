#include "platform/posix/curl_file_download.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "platform/posix/unique_fd.h"
#include "platform/posix/web_site_test_util.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

// A download into a new file of a temporary folder.
class DownloadTest : public testing::Test {
 protected:
  FileDownload download(const std::string& address, const FileDownloadLimits& limits = {},
                        const AnswerCheck& check = nullptr,
                        const CancelCheck& cancelled = nullptr) {
    UniqueFd fd(open(file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    EXPECT_TRUE(fd.valid());
    return downloadToFile(address, fd.get(), limits, cancelled, check);
  }
  std::string saved() const { return readFile(file_); }

  TestWebSite site_;
  TempFolder folder_;
  const std::string file_ = folder_ / "download";
};

TEST_F(DownloadTest, SavesTheBodyFromWhereRedirectsLead) {
  const std::string body = pattern(100000);
  site_.file("/pictures/a.jpg", body, "image/jpeg");
  site_.redirect("/moved", "/pictures/a.jpg");
  site_.redirect("/moved-twice", site_.url("/moved"));

  for (const char* target : {"/pictures/a.jpg", "/moved", "/moved-twice"}) {
    FileDownload got = download(site_.url(target));
    EXPECT_EQ(got.outcome, DownloadOutcome::kSaved) << target << ": " << got.error;
    EXPECT_EQ(got.bytes, body.size()) << target;
    EXPECT_EQ(got.finalAddress, site_.url("/pictures/a.jpg")) << target;
    EXPECT_EQ(got.contentType, "image/jpeg") << target;
    EXPECT_EQ(saved(), body) << target;
  }
}

TEST_F(DownloadTest, StopsABodyLongerThanTheLimit) {
  site_.file("/long.jpg", pattern(5000), "image/jpeg");
  site_.chunked("/long-chunked.jpg", pattern(5000), "image/jpeg");
  site_.file("/fits.jpg", pattern(1000), "image/jpeg");
  site_.chunked("/fits-chunked.jpg", pattern(1000), "image/jpeg");
  const FileDownloadLimits limits{.maxBytes = 1000};

  // A length given up front is refused before the body; a body without
  // one is cut off where it passes the limit.
  for (const char* target : {"/long.jpg", "/long-chunked.jpg"}) {
    FileDownload got = download(site_.url(target), limits);
    EXPECT_EQ(got.outcome, DownloadOutcome::kTooLarge) << target;
    EXPECT_LE(got.bytes, 1000u) << target;
  }
  for (const char* target : {"/fits.jpg", "/fits-chunked.jpg"}) {
    FileDownload got = download(site_.url(target), limits);
    EXPECT_EQ(got.outcome, DownloadOutcome::kSaved) << target << ": " << got.error;
    EXPECT_EQ(saved(), pattern(1000)) << target;
  }
}

TEST_F(DownloadTest, FetchesOnlyTheWeb) {
  site_.redirect("/to-file", "file:///etc/hostname");
  site_.redirect("/to-ftp", "ftp://127.0.0.1/x.jpg");
  const std::pair<std::string, std::string> cases[] = {
      {site_.url("/missing.jpg"), "the server answered 404"},
      {site_.url("/to-file"), ""},
      {site_.url("/to-ftp"), ""},
      {"file:///etc/hostname", ""},
      {"ftp://127.0.0.1/x.jpg", ""},
      {"", ""},
  };
  for (const auto& [address, error] : cases) {
    FileDownload got = download(address);
    EXPECT_EQ(got.outcome, DownloadOutcome::kFailed) << address;
    EXPECT_FALSE(got.error.empty()) << address;
    if (!error.empty()) {
      EXPECT_EQ(got.error, error) << address;
    }
    EXPECT_EQ(saved(), "") << address;
  }
}

TEST_F(DownloadTest, AsksTheCheckOnceBeforeAnyByteIsWritten) {
  site_.file("/page.html", pattern(50000), "text/html; charset=utf-8");
  site_.file("/empty.html", "", "text/plain");
  for (const char* target : {"/page.html", "/empty.html"}) {
    int asked = 0;
    std::string type;
    FileDownload got = download(site_.url(target), {}, [&](std::string_view contentType) {
      ++asked;
      type = contentType;
      return false;
    });
    EXPECT_EQ(got.outcome, DownloadOutcome::kRefused) << target;
    EXPECT_EQ(asked, 1) << target;
    EXPECT_EQ(type, got.contentType) << target;
    EXPECT_EQ(saved(), "") << target;
  }
  FileDownload taken = download(site_.url("/page.html"), {}, [](std::string_view) { return true; });
  EXPECT_EQ(taken.outcome, DownloadOutcome::kSaved);
  EXPECT_EQ(taken.contentType, "text/html; charset=utf-8");
}

TEST_F(DownloadTest, StopsSoonAfterTheCancelCheckSaysSo) {
  site_.held("/slow.jpg", pattern(100000), "image/jpeg");
  std::atomic<bool> stop{false};
  auto result = std::async(std::launch::async, [&] {
    return download(site_.url("/slow.jpg"), {}, nullptr, [&] { return stop.load(); });
  });
  ASSERT_TRUE(site_.waitUntilHeld());
  const auto asked = std::chrono::steady_clock::now();
  stop = true;
  const bool ended = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!ended) site_.release();  // so that the download can end after all
  ASSERT_TRUE(ended);
  // Far sooner than the answer (never) or the time-out (two minutes) would.
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
  EXPECT_EQ(result.get().outcome, DownloadOutcome::kStopped);
}

}  // namespace
}  // namespace lumorel
