#include "pages/store/built_in_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace lumorel {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Every file of the page folder is served, byte for byte, under the name
// its file name gives, and formatted exactly when it says so.
TEST(BuiltInPages, ServesEveryFileOfThePageFolderAsItsBytes) {
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(LUMOREL_PAGES_DIR)) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    if (name == "CMakeLists.txt") continue;
    ++files;
    bool formatted = false;
    const std::string kFormatted = ".formatted.htm";
    if (name.size() > kFormatted.size() && name.ends_with(kFormatted)) {
      name.resize(name.size() - kFormatted.size());
      formatted = true;
    } else if (name.ends_with(".htm")) {
      name.resize(name.size() - 4);
    }
    SCOPED_TRACE(name);
    std::optional<StoredPage> page = builtInPages().find(name);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->bytes, readFile(entry.path()));
    EXPECT_EQ(page->formatted, formatted);
  }
  EXPECT_EQ(builtInPageNames().size(), files);
}

TEST(BuiltInPages, NamesCompareWithoutAsciiCase) {
  struct Case {
    const char* asked;
    const char* same;
  } cases[] = {
      {"MAINIMG", "mainimg"}, {"Main", "main"}, {"LOGO.GIF", "logo.gif"}, {"lm_RUN", "lm_run"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    std::optional<StoredPage> asked = builtInPages().find(c.asked);
    std::optional<StoredPage> same = builtInPages().find(c.same);
    ASSERT_TRUE(asked && same);
    EXPECT_EQ(asked->bytes.data(), same->bytes.data());
  }
}

TEST(BuiltInPages, FindsNothingForOtherNames) {
  for (const char* name : {"", "mai", "mainimg.formatted", "main.htm", "logo", "logo.gif ",
                           "CMakeLists.txt", "store", "artwork"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(builtInPages().find(name).has_value());
  }
}

// The pages of the main window, the slide show and the context menu, and
// the whole set of pictures; only the slide show and the single-picture
// window take inserts.
TEST(BuiltInPages, HoldsThePagesAndPicturesOfTheSet) {
  for (const char* name : {"main", "keys", "options", "about", "run", "lm_run", "lm_links", "lm_scrape",
                           "lm_resize", "lm_openresize", "lm_listimg", "lm_listimgsave"}) {
    SCOPED_TRACE(name);
    std::optional<StoredPage> page = builtInPages().find(name);
    ASSERT_TRUE(page.has_value());
    EXPECT_FALSE(page->formatted);
  }
  for (const char* name : {"mainimg", "resizeimg"}) {
    SCOPED_TRACE(name);
    std::optional<StoredPage> page = builtInPages().find(name);
    ASSERT_TRUE(page.has_value());
    EXPECT_TRUE(page->formatted);
  }
  for (const char* picture : {"logo.gif", "help.gif", "options.gif", "start.gif", "exit.gif",
                              "utils.gif", "organize.gif", "info.gif", "dups.gif"}) {
    SCOPED_TRACE(picture);
    std::optional<StoredPage> page = builtInPages().find(picture);
    ASSERT_TRUE(page.has_value());
    EXPECT_TRUE(page->bytes.starts_with("GIF89a"));
  }
}

}  // namespace
}  // namespace lumorel
