// The "lm:" pages read through the system's URL machinery as a browser
// reads them: a URL moniker bound asynchronously with a status callback of
// our own, its bytes compared with the page files and with what the Linux
// browser host serves for the same address.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/client.h"
#include "tests/wine/url_loader.h"

namespace lumorel::wine {
namespace {

TEST(Pages, ServesThePageFilesByName) {
  const std::string pages = folderFromEnvironment("LUMOREL_PAGES_DIR");
  ASSERT_FALSE(pages.empty());
  const struct {
    const char* url;
    const char* file;
  } cases[] = {
      {"lm:main", "main.htm"},
      {"LM:Main", "main.htm"},
      {"lm:utils", "utils.htm"},
      {"lm:logo.gif", "logo.gif"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const auto want = readFile(pages + "\\" + c.file);
    ASSERT_TRUE(want);
    const auto got = loadUrl(c.url);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *want);
  }
}

TEST(Pages, GivesTheSameBytesAsTheBrowserHost) {
  // The host's answers, one file per address, written by the test runner:
  // `list.txt` names "address<TAB>file" per line.
  const std::string folder = folderFromEnvironment("LUMOREL_HOST_PAGES");
  if (folder.empty()) GTEST_SKIP() << "no host answers given";
  const auto list = readFile(folder + "\\list.txt");
  ASSERT_TRUE(list);
  std::size_t start = 0;
  int compared = 0;
  while (start < list->size()) {
    std::size_t end = list->find('\n', start);
    if (end == std::string::npos) end = list->size();
    const std::string line = list->substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string url = line.substr(0, tab);
    SCOPED_TRACE(url);
    const auto want = readFile(folder + "\\" + line.substr(tab + 1));
    ASSERT_TRUE(want);
    const auto got = loadUrl(url);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, *want);
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace lumorel::wine
