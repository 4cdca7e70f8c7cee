#include "host/browser_launch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

TEST(BrowserLaunch, ThePageTakesTheBrowserOnAndOnlyItsUserCanReadIt) {
  TempFolder home;
  const std::string folder = home / "run/lumorel";
  const std::string address = "http://127.0.0.1:4714/lm:&rsrc=main&x=\"<b>\"?token=abc";
  std::string error;
  const std::optional<std::string> page = writeLaunchPage(folder, address, error);
  ASSERT_TRUE(page) << error;
  EXPECT_EQ(*page, folder + "/open.html");
  const std::string text = readFile(*page);
  const std::string escaped =
      "http://127.0.0.1:4714/lm:&amp;rsrc=main&amp;x=&quot;&lt;b&gt;&quot;?token=abc";
  EXPECT_NE(text.find("<meta http-equiv=\"refresh\" content=\"0;url=" + escaped + "\">"),
            std::string::npos) << text;
  EXPECT_NE(text.find("<a href=\"" + escaped + "\">"), std::string::npos) << text;
  struct stat st {};
  ASSERT_EQ(::stat(page->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A second page replaces the first.
  ASSERT_TRUE(writeLaunchPage(folder, "http://127.0.0.1:1/lm:keys?token=t", error));
  EXPECT_EQ(readFile(*page).find("4714"), std::string::npos);
}

}  // namespace
}  // namespace lumorel
