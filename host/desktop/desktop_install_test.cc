#include "host/desktop/desktop_install.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "host/desktop/desktop_files.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

namespace fs = std::filesystem;

// Every file below `folder`, as paths relative to it.
std::set<std::string> filesBelow(const std::string& folder) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), folder).string());
  }
  return files;
}

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

class DesktopInstall : public testing::Test {
 protected:
  DesktopInstall() {
    places_.dataHome = home_ / "data";
    places_.configHome = home_ / "config";
    places_.program = home_ / "bin/lumorel";
    places_.relay = home_ / "bin/lumorel-menu-relay";
    places_.preferenceFolder = home_ / "config/lumorel";
    places_.valueFileFolder = home_ / "run/lumorel";
    places_.offlineFolder = home_ / "cache/lumorel/offline";
  }

  std::string install() {
    std::ostringstream out;
    EXPECT_TRUE(installForUser(places_, out)) << out.str();
    return out.str();
  }
  std::string uninstall() {
    std::ostringstream out;
    EXPECT_TRUE(uninstallForUser(places_, out)) << out.str();
    return out.str();
  }
  std::string data(const std::string& relative) const { return places_.dataHome + "/" + relative; }
  std::string config(const std::string& relative) const {
    return places_.configHome + "/" + relative;
  }

  TempFolder home_;
  InstallPlaces places_;
};

TEST_F(DesktopInstall, WritesTheEntriesIconsHandlerExtensionAndRelayManifests) {
  const std::string said = install();
  EXPECT_EQ(filesBelow(data("applications")),
            (std::set<std::string>{"lumorel.desktop", "lumorel-tools.desktop",
                                   "lumorel-uninstall.desktop", "lumorel-url-handler.desktop"}));
  const std::string main = readFile(data("applications/lumorel.desktop"));
  EXPECT_NE(main.find("\nName=Lumorel 1.4\n"), std::string::npos) << main;
  EXPECT_NE(main.find("\nExec=" + places_.program + " --detach lm:main\n"), std::string::npos) << main;
  EXPECT_EQ(modeOf(data("applications/lumorel.desktop")), 0644u);

  for (const DesktopFile& icon : desktopIcons()) {
    const std::string path = data("icons/" + std::string(icon.path));
    EXPECT_EQ(readFile(path), std::string(icon.bytes.begin(), icon.bytes.end())) << path;
  }
  EXPECT_TRUE(fs::exists(data("icons/hicolor/48x48/apps/lumorel.png")));

  EXPECT_EQ(readFile(config("mimeapps.list")),
            "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n");

  // The extension as it is in the source tree.
  const std::string extension = extensionFolder(places_);
  EXPECT_EQ(readFile(extension + "/manifest.json"),
            readFile(std::string(LUMOREL_EXTENSION_DIR) + "/manifest.json"));
  EXPECT_EQ(filesBelow(extension), filesBelow(LUMOREL_EXTENSION_DIR));
  EXPECT_NE(said.find("Load unpacked\" and pick " + extension), std::string::npos) << said;

  for (const char* browser : {"chromium", "google-chrome"}) {
    const std::string manifest =
        readFile(config(std::string(browser) + "/NativeMessagingHosts/org.lumorel.menu_relay.json"));
    EXPECT_NE(manifest.find("\"path\": \"" + places_.relay + "\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("chrome-extension://iocgjjaomocojpddcfffjefmielomkce/"),
              std::string::npos);
  }
}

TEST_F(DesktopInstall, InstallingTwiceGivesTheSameFilesAndKeepsTheUsersOwn) {
  const std::string mine = home_.write("data/applications/mine.desktop", "[Desktop Entry]\nName=Mine\n");
  home_.write("config/mimeapps.list", "[Default Applications]\ntext/html=firefox.desktop\n");
  install();
  std::map<std::string, std::string> first;
  for (const std::string& file : filesBelow(home_.path())) first[file] = readFile(home_ / file);
  install();
  std::map<std::string, std::string> second;
  for (const std::string& file : filesBelow(home_.path())) second[file] = readFile(home_ / file);
  EXPECT_EQ(first, second);
  EXPECT_EQ(readFile(mine), "[Desktop Entry]\nName=Mine\n");
  EXPECT_EQ(readFile(config("mimeapps.list")),
            "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n"
            "text/html=firefox.desktop\n");
}

TEST_F(DesktopInstall, AnEntryOfTheSameNameThatLumorelDidNotWriteIsLeftAlone) {
  const std::string theirs =
      home_.write("data/applications/lumorel-tools.desktop", "[Desktop Entry]\nName=Theirs\n");
  std::ostringstream out;
  EXPECT_FALSE(installForUser(places_, out));
  EXPECT_NE(out.str().find("left " + theirs + " alone"), std::string::npos) << out.str();
  EXPECT_EQ(readFile(theirs), "[Desktop Entry]\nName=Theirs\n");
  EXPECT_TRUE(fs::exists(data("applications/lumorel.desktop")));

  std::ostringstream removal;
  EXPECT_TRUE(uninstallForUser(places_, removal));
  EXPECT_EQ(readFile(theirs), "[Desktop Entry]\nName=Theirs\n");
  EXPECT_FALSE(fs::exists(data("applications/lumorel.desktop")));
}

TEST_F(DesktopInstall, WithoutTheRelayNoManifestIsWrittenAndTheUserIsTold) {
  places_.relay.clear();
  const std::string said = install();
  EXPECT_FALSE(fs::exists(config("chromium")));
  EXPECT_NE(said.find("lumorel-menu-relay is not beside"), std::string::npos) << said;
}

TEST_F(DesktopInstall, InstallingAndUninstallingLeavesOnlyTheEmptyDataAndConfigFolders) {
  install();
  uninstall();
  std::set<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(home_.path()))
    left.insert(entry.path().string());
  EXPECT_EQ(left, (std::set<std::string>{places_.dataHome, places_.configHome}));
}

TEST_F(DesktopInstall, UninstallRemovesWhatItWroteAndTheSettingsAndNothingElse) {
  home_.write("data/applications/mine.desktop", "mine");
  home_.write("data/icons/hicolor/48x48/apps/other.png", "other");
  home_.write("config/chromium/NativeMessagingHosts/other.json", "{}");
  home_.write("config/mimeapps.list", "# mine\n[Default Applications]\ntext/html=a.desktop\n");
  install();
  // What running Lumorel leaves: its settings, "+" files, the launch page,
  // an offline copy; and the user's pictures and notes beside them.
  home_.write("config/lumorel/preferences.sqlite", "db");
  home_.write("config/lumorel/preferences.sqlite-journal", "j");
  home_.write("run/lumorel/+hist.txt", "1");
  home_.write("run/lumorel/open.html", "page");
  home_.write("run/lumorel/notes.txt", "the user's");
  ASSERT_EQ(::chmod((home_ / "run/lumorel").c_str(), 0700), 0);
  home_.write("cache/lumorel/offline/abc/subscription", "s");
  home_.write("data/pictures/one.jpg", "jpeg");

  const std::string said = uninstall();
  EXPECT_EQ(filesBelow(home_.path()),
            (std::set<std::string>{"data/applications/mine.desktop",
                                   "data/icons/hicolor/48x48/apps/other.png",
                                   "config/chromium/NativeMessagingHosts/other.json",
                                   "config/mimeapps.list", "run/lumorel/notes.txt",
                                   "cache/lumorel/offline/abc/subscription",
                                   "data/pictures/one.jpg"}));
  EXPECT_EQ(readFile(config("mimeapps.list")), "# mine\n[Default Applications]\ntext/html=a.desktop\n");
  EXPECT_FALSE(fs::exists(data("lumorel")));
  EXPECT_FALSE(fs::exists(config("lumorel")));
  EXPECT_NE(said.find("removed " + data("applications/lumorel.desktop")), std::string::npos) << said;
  EXPECT_NE(said.find("removed " + places_.valueFileFolder + "/+hist.txt"), std::string::npos);
  EXPECT_NE(said.find("kept the offline copies of web pages in " + places_.offlineFolder),
            std::string::npos);

  const std::string again = uninstall();
  EXPECT_NE(again.find("nothing to remove"), std::string::npos) << again;
  EXPECT_TRUE(fs::exists(data("applications/mine.desktop")));
}

}  // namespace
}  // namespace lumorel
