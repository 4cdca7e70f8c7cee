#include "install/desktop_tables.h"

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace lumorel {
namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The browser extension offers the same six entries as the Windows
// module's context menu: same texts, places and pages, in the same order.
TEST(DesktopTables, ContextMenuEntriesAgreeWithTheBrowserExtension) {
  const std::string script = readWhole(LUMOREL_EXTENSION_DIR "/menu_entries.js");
  static const std::regex entry(
      R"(\{ title: '([^']+)', contexts: \['(page|image|link)'\], page: '([a-z_]+)' \})");
  struct Offered {
    std::string menuText;
    uint8_t contexts;
    std::string resource;
  };
  std::vector<Offered> offered;
  for (std::sregex_iterator it(script.begin(), script.end(), entry), end; it != end; ++it) {
    const std::string where = (*it)[2];
    const uint8_t contexts = where == "page" ? kMenuOnPage : where == "image" ? kMenuOnPicture : kMenuOnLink;
    offered.push_back({(*it)[1], contexts, (*it)[3]});
  }
  std::vector<MenuPage> entries;
  for (const MenuPage& page : menuPages()) {
    if (page.contexts != kNoMenuEntry) entries.push_back(page);
  }
  ASSERT_EQ(offered.size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(offered[i].menuText, entries[i].menuText);
    EXPECT_EQ(offered[i].contexts, entries[i].contexts) << entries[i].menuText;
    EXPECT_EQ(offered[i].resource, entries[i].resource) << entries[i].menuText;
  }
}

TEST(DesktopTables, EveryPageIsInThePageSet) {
  for (const MenuPage& page : menuPages()) {
    std::ifstream file(std::string(LUMOREL_PAGES_DIR "/") + std::string(page.resource) + ".htm");
    EXPECT_TRUE(file) << page.resource;
  }
  for (const PageShortcut& shortcut : {kMainShortcut, kToolsShortcut}) {
    bool listed = false;
    for (const MenuPage& page : menuPages()) listed |= page.resource == shortcut.resource;
    EXPECT_TRUE(listed) << shortcut.name;
  }
}

TEST(DesktopTables, RemovalTakesEveryPageOnceSwappingTheLastTwoEntries) {
  const auto order = menuPageRemovalOrder();
  ASSERT_EQ(order.size(), menuPages().size());
  EXPECT_EQ(std::set<int>(order.begin(), order.end()).size(), order.size());
  EXPECT_EQ(menuPages()[static_cast<std::size_t>(order[5])].resource, "lm_run");
  EXPECT_EQ(menuPages()[static_cast<std::size_t>(order[6])].resource, "lm_listimgsave");
}

TEST(DesktopTables, TextsOfShortcutsAndKeys) {
  EXPECT_EQ(urlShortcutText(kUninstallUrl, kUninstallIconIndex, "C:\\Lumorel\\LMCntl.dll"),
            "[InternetShortcut]\r\nURL=lm:uninstall\r\nIconIndex=3\r\n"
            "IconFile=C:\\Lumorel\\LMCntl.dll\r\nModified=000000000000000000");
  EXPECT_EQ(pageShortcutArguments("C:\\WINDOWS\\web\\lm_run.htm"),
            "-new -nohome \"C:\\WINDOWS\\web\\lm_run.htm\"");
  EXPECT_EQ(menuExtKeyPath("Resize This Image (Lumorel)"),
            "Software\\Microsoft\\Internet Explorer\\MenuExt\\Resize This Image (Lumorel)");
}

}  // namespace
}  // namespace lumorel
