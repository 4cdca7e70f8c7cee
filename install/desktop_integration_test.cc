#include "install/desktop_integration.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

#include "install/desktop_tables.h"
#include "install/fake_registry.h"

namespace lumorel {
namespace {

constexpr std::string_view kModule = "C:\\Program Files\\Lumorel\\LMCntl.dll";
constexpr std::string_view kBrowser = "C:\\Program Files\\Browser\\browser.exe";
constexpr std::string_view kPrograms = "C:\\Users\\ann\\Start Menu\\Programs";
constexpr std::string_view kWeb = "C:\\WINDOWS\\web";
const std::string kStartMenu = std::string(kPrograms) + "\\Lumorel";

// Files, folders and shell links in memory.
class FakeDesktop final : public Desktop {
 public:
  std::string modulePath() override { return std::string(kModule); }
  std::string browserPath() override { return std::string(kBrowser); }
  std::string programsFolder() override { return programs; }
  std::string windowsFolder() override { return "C:\\WINDOWS"; }

  bool createFolder(std::string_view path) override { return folders.insert(std::string(path)).second; }
  bool removeEmptyFolder(std::string_view path) override {
    const std::string prefix = std::string(path) + "\\";
    for (const auto& [file, bytes] : files) {
      if (file.compare(0, prefix.size(), prefix) == 0) return false;
    }
    return folders.erase(std::string(path)) == 1;
  }
  bool deleteFile(std::string_view path) override { return files.erase(std::string(path)) == 1; }
  bool writeNewFile(std::string_view path, std::string_view bytes) override {
    if (!inFolder(path) || files.count(std::string(path))) return false;
    files[std::string(path)] = bytes;
    return true;
  }
  bool writeFile(std::string_view path, std::string_view bytes) override {
    if (!inFolder(path)) return false;
    files[std::string(path)] = bytes;
    return true;
  }
  HResult writeShellLink(std::string_view path, std::string_view target, std::string_view arguments,
                         std::string_view description, std::string_view iconPath,
                         int iconIndex) override {
    if (!inFolder(path)) return kEFail;
    files[std::string(path)] = "link to " + std::string(target) + " " + std::string(arguments) +
                               " | " + std::string(description) + " | " + std::string(iconPath) +
                               "," + std::to_string(iconIndex);
    return kSOk;
  }

  std::string programs = std::string(kPrograms);
  std::set<std::string> folders;
  std::map<std::string, std::string> files;

 private:
  bool inFolder(std::string_view path) const {
    return folders.count(std::string(path.substr(0, path.rfind('\\')))) != 0;
  }
};

// The page set: every page of the table but the one a test leaves out.
class FakePages final : public PageStore {
 public:
  std::optional<StoredPage> find(std::string_view name) const override {
    if (name == missing) return std::nullopt;
    return StoredPage{bytes_.emplace(std::string(name), "<html>" + std::string(name)).first->second};
  }
  std::string missing;

 private:
  mutable std::map<std::string, std::string> bytes_;
};

std::string page(std::string_view resource) {
  return std::string(kWeb) + "\\" + std::string(resource) + ".htm";
}

TEST(DesktopIntegration, InstallsPagesMenuEntriesShortcutsAndTheSchemeCommand) {
  FakeDesktop desktop;
  FakeRegistry registry;
  FakePages pages;
  installDesktop(desktop, registry, pages);

  for (const MenuPage& row : menuPages()) {
    SCOPED_TRACE(row.resource);
    ASSERT_TRUE(desktop.files.count(page(row.resource)));
    EXPECT_EQ(desktop.files[page(row.resource)], "<html>" + std::string(row.resource));
    EXPECT_EQ(registry.hasKey(RegistryRoot::kCurrentUser, menuExtKeyPath(row.menuText)),
              row.contexts != kNoMenuEntry);
  }
  // Each entry's key holds its page's path and its one contexts byte.
  const std::string menuExt = registry.dump(RegistryRoot::kCurrentUser);
  for (const auto& [text, line] :
       {std::pair{"Slideshow all Linked Images (Lumorel)", page("lm_links") + " contexts=hex:01"},
        std::pair{"Resize This Image (Lumorel)", page("lm_resize") + " contexts=hex:02"},
        std::pair{"Open Linked Image (Lumorel)", page("lm_openresize") + " contexts=hex:20"}}) {
    EXPECT_NE(menuExt.find(menuExtKeyPath(text) + " @=" + line + "\n"), std::string::npos) << text;
  }
  EXPECT_TRUE(registry.hasKey(RegistryRoot::kCurrentUser, "Software\\Lumorel"));
  EXPECT_NE(registry.dump(RegistryRoot::kClassesRoot)
                .find("lm\\shell\\open\\command @=" + std::string(kBrowser) + " -nohome"),
            std::string::npos);

  EXPECT_EQ(desktop.files[kStartMenu + "\\Lumorel Uninstall.url"],
            "[InternetShortcut]\r\nURL=lm:uninstall\r\nIconIndex=3\r\nIconFile=" +
                std::string(kModule) + "\r\nModified=000000000000000000");
  EXPECT_EQ(desktop.files[kStartMenu + "\\Lumorel 1.4.lnk"],
            "link to " + std::string(kBrowser) + " -new -nohome \"" + page("lm_run") +
                "\" | Lumorel Shortcut | " + std::string(kModule) + ",0");
  EXPECT_EQ(desktop.files[kStartMenu + "\\Lumorel Tools.lnk"],
            "link to " + std::string(kBrowser) + " -new -nohome \"" + page("lm_utils") +
                "\" | Lumorel Shortcut | " + std::string(kModule) + ",4");
}

TEST(DesktopIntegration, InstallingAgainRewritesTheSameAndKeepsTheUsersThings) {
  FakeDesktop desktop;
  FakeRegistry registry;
  FakePages pages;
  // An older version's settings and shortcut, the user's settings and a
  // file of the user's own in the Start-menu folder.
  ASSERT_EQ(registry.createKey(RegistryRoot::kCurrentUser, "Software\\Brightwick\\LM\\Deep"), kSOk);
  ASSERT_EQ(registry.createKey(RegistryRoot::kCurrentUser, "Software\\Lumorel"), kSOk);
  ASSERT_EQ(registry.setText(RegistryRoot::kCurrentUser, "Software\\Lumorel", "Timer", "5"), kSOk);
  desktop.createFolder(kStartMenu);
  desktop.files[kStartMenu + "\\Lumorel 1.2.url"] = "old";
  desktop.files[kStartMenu + "\\my notes.txt"] = "mine";

  installDesktop(desktop, registry, pages);
  const auto first = desktop.files;
  installDesktop(desktop, registry, pages);

  EXPECT_EQ(desktop.files, first);
  EXPECT_FALSE(desktop.files.count(kStartMenu + "\\Lumorel 1.2.url"));
  EXPECT_EQ(desktop.files[kStartMenu + "\\my notes.txt"], "mine");
  EXPECT_FALSE(registry.hasKey(RegistryRoot::kCurrentUser, "Software\\Brightwick"));
  EXPECT_NE(registry.dump(RegistryRoot::kCurrentUser).find("Software\\Lumorel Timer=5"),
            std::string::npos);
}

TEST(DesktopIntegration, AMissingPageGetsNeitherFileNorMenuEntry) {
  FakeDesktop desktop;
  FakeRegistry registry;
  FakePages pages;
  pages.missing = "lm_scrape";
  installDesktop(desktop, registry, pages);
  EXPECT_FALSE(desktop.files.count(page("lm_scrape")));
  EXPECT_FALSE(registry.hasKey(RegistryRoot::kCurrentUser,
                               menuExtKeyPath("Preload Linked Images (Lumorel)")));
  EXPECT_TRUE(desktop.files.count(page("lm_links"))) << "the others are written";
}

TEST(DesktopIntegration, UninstallingLeavesOnlyWhatIsNotOurs) {
  for (const bool userFile : {false, true}) {
    SCOPED_TRACE(userFile ? "with a file of the user's" : "only ours");
    FakeDesktop desktop;
    FakeRegistry registry;
    FakePages pages;
    installDesktop(desktop, registry, pages);
    if (userFile) desktop.files[kStartMenu + "\\my notes.txt"] = "mine";
    ASSERT_EQ(registry.createKey(RegistryRoot::kCurrentUser, "Software\\Lumorel\\A\\B\\C"), kSOk);

    uninstallDesktop(desktop, registry);
    uninstallDesktop(desktop, registry);  // a second time finds nothing to do

    std::map<std::string, std::string> left;
    if (userFile) left[kStartMenu + "\\my notes.txt"] = "mine";
    EXPECT_EQ(desktop.files, left);
    EXPECT_EQ(desktop.folders.count(kStartMenu), userFile ? 1u : 0u);
    EXPECT_EQ(registry.dump(RegistryRoot::kCurrentUser).find("Lumorel"), std::string::npos)
        << registry.dump(RegistryRoot::kCurrentUser);
  }
}

TEST(DesktopIntegration, WithoutAProgramsFolderNoShortcutIsWritten) {
  FakeDesktop desktop;
  FakeRegistry registry;
  FakePages pages;
  desktop.programs.clear();
  installDesktop(desktop, registry, pages);
  for (const auto& [path, bytes] : desktop.files) {
    EXPECT_EQ(path.rfind(std::string(kWeb), 0), 0u) << path << " is outside the web folder";
  }
  EXPECT_EQ(desktop.files.size(), menuPages().size());
}

}  // namespace
}  // namespace lumorel
