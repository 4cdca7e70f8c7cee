#include "host/desktop/desktop_entries.h"

#include <gtest/gtest.h>

#include <set>

namespace lumorel {
namespace {

TEST(DesktopEntries, TheMenuShowsLumorelToolsAndUninstallAndTheHandlerStaysHidden) {
  std::vector<std::string> shown;
  int handlers = 0;
  for (const DesktopEntry& entry : desktopEntries()) {
    const std::string text = desktopEntryText(entry, "/opt/lumorel/lumorel");
    EXPECT_TRUE(text.starts_with("[Desktop Entry]\nType=Application\n")) << text;
    EXPECT_NE(text.find("\n" + std::string(kInstalledMark) + "\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=" + std::string(entry.icon) + "\n"), std::string::npos);
    if (entry.hidden) {
      ++handlers;
      EXPECT_EQ(entry.fileName, kSchemeHandlerEntry);
      EXPECT_NE(text.find("\nExec=/opt/lumorel/lumorel --detach %u\n"), std::string::npos) << text;
      EXPECT_NE(text.find("\nNoDisplay=true\nMimeType=x-scheme-handler/lm;\n"), std::string::npos);
    } else {
      shown.emplace_back(entry.name);
      EXPECT_NE(text.find("\nExec=/opt/lumorel/lumorel --detach " + std::string(entry.url) + "\n"),
                std::string::npos) << text;
      EXPECT_EQ(text.find("MimeType"), std::string::npos);
    }
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Lumorel 1.4", "Lumorel Tools", "Lumorel Uninstall"}));
  EXPECT_EQ(handlers, 1);
}

TEST(DesktopEntries, ExecQuotesAProgramPathWithReservedCharacters) {
  struct Case {
    const char* path;
    const char* exec;
  };
  const Case cases[] = {
      {"/home/ann/lumorel", "/home/ann/lumorel"},
      {"/home/ann/build-1.4_x/lumorel", "/home/ann/build-1.4_x/lumorel"},
      {"/home/ann/my pictures/lumorel", R"("/home/ann/my pictures/lumorel")"},
      {"/home/a\"b/lumorel", R"("/home/a\\"b/lumorel")"},
      {"/home/$USER/`x`/lumorel", R"("/home/\\$USER/\\`x\\`/lumorel")"},
      {"/home/a\\b/lumorel", R"("/home/a\\\\b/lumorel")"},
      {"/home/100%/lumorel", "/home/100%%/lumorel"},
      {"/home/100% sure/lumorel", R"("/home/100%% sure/lumorel")"},
  };
  for (const Case& c : cases) EXPECT_EQ(execArgument(c.path), c.exec) << c.path;
}

}  // namespace
}  // namespace lumorel
