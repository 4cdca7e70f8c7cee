// What registering the module puts into the user's desktop, and what
// unregistering leaves: page files in the Windows folder's web folder,
// context-menu entries, Start-menu shortcuts, the scheme's command and the
// settings key, read back through the system.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "install/desktop_tables.h"
#include "tests/wine/client.h"

namespace lumorel::wine {
namespace {

std::string webFolder() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, MAX_PATH);
  return std::string(buffer) + "\\web\\";
}

std::string startMenuFolder() {
  const auto programs = readValue(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "Programs");
  return programs ? programs->text + "\\Lumorel\\" : "";
}

std::string browser() {
  const auto path = readValue(HKEY_LOCAL_MACHINE,
                              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "");
  return path ? path->text : "";
}

TEST(Desktop, WritesThePageFilesAndTheContextMenuEntries) {
  const std::string pages = folderFromEnvironment("LUMOREL_PAGES_DIR");
  for (const MenuPage& page : menuPages()) {
    SCOPED_TRACE(std::string(page.resource));
    const std::string path = webFolder() + std::string(page.resource) + ".htm";
    const auto written = readFile(path);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, *readFile(pages + "\\" + std::string(page.resource) + ".htm"));
    const std::string key = menuExtKeyPath(page.menuText);
    if (page.contexts == kNoMenuEntry) {
      EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, key));
      continue;
    }
    const auto target = readValue(HKEY_CURRENT_USER, key, "");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(target->text, path);
    const auto contexts = readValue(HKEY_CURRENT_USER, key, "contexts");
    ASSERT_TRUE(contexts);
    EXPECT_EQ(contexts->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(contexts->text, std::string(1, static_cast<char>(page.contexts)));
  }
}

TEST(Desktop, PointsTheSchemeAtTheBrowserAndKeepsTheSettingsKey) {
  const auto command = readValue(HKEY_CLASSES_ROOT, "lm\\shell\\open\\command", "");
  ASSERT_TRUE(command);
  EXPECT_EQ(command->text, browser() + " -nohome");
  EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, std::string(kSettingsKey)));
}

TEST(Desktop, PutsTheThreeEntriesIntoTheStartMenu) {
  const std::string folder = startMenuFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(readFile(folder + "Lumorel Uninstall.url"),
            std::optional<std::string>("[InternetShortcut]\r\nURL=lm:uninstall\r\nIconIndex=3\r\n"
                                       "IconFile=" + modulePath() +
                                       "\r\nModified=000000000000000000"));
  for (const PageShortcut& shortcut : {kMainShortcut, kToolsShortcut}) {
    SCOPED_TRACE(std::string(shortcut.name));
    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* file = nullptr;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    ASSERT_EQ(file->Load(wide(folder + std::string(shortcut.name) + ".lnk").c_str(), STGM_READ), S_OK);
    char text[MAX_PATH] = {};
    link->GetArguments(text, MAX_PATH);
    EXPECT_EQ(std::string(text), "-new -nohome \"" + webFolder() + std::string(shortcut.resource) + ".htm\"");
    link->GetDescription(text, MAX_PATH);
    EXPECT_EQ(std::string(text), "Lumorel Shortcut");
    int icon = -1;
    link->GetIconLocation(text, MAX_PATH, &icon);
    EXPECT_EQ(icon, shortcut.iconIndex);
    file->Release();
    link->Release();
  }
}

TEST(Desktop, RegisteringAgainKeepsTheUsersThingsAndDropsTheOlderSettings) {
  const std::string folder = startMenuFolder();
  ASSERT_FALSE(folder.empty());
  const auto shortcut = readFile(folder + "Lumorel Uninstall.url");
  ASSERT_TRUE(shortcut);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brightwick\\LM\\Deep", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Lumorel", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "Timer", 0, REG_SZ, reinterpret_cast<const BYTE*>("5"), 2);
  RegCloseKey(key);
  const std::string mine = folder + "my notes.txt";
  HANDLE file = CreateFileA(mine.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  CloseHandle(file);

  HMODULE module = LoadLibraryA(modulePath().c_str());
  ASSERT_NE(module, nullptr);
  auto registerServer = entryPoint<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
  EXPECT_EQ(registerServer(), S_OK);
  FreeLibrary(module);

  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Brightwick"));
  EXPECT_EQ(readValue(HKEY_CURRENT_USER, "Software\\Lumorel", "Timer")->text, "5");
  EXPECT_EQ(readFile(folder + "Lumorel Uninstall.url"), shortcut) << "one shortcut, the same bytes";
  EXPECT_TRUE(DeleteFileA(mine.c_str())) << "the user's file survived";
}

// Run after the module was unregistered.
TEST(Unregistered, TheDesktopAndTheSettingsAreGone) {
  for (const MenuPage& page : menuPages()) {
    EXPECT_EQ(GetFileAttributesA((webFolder() + std::string(page.resource) + ".htm").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << page.resource;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, menuExtKeyPath(page.menuText))) << page.menuText;
  }
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, std::string(kSettingsKey)));
  const std::string folder = startMenuFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the Start-menu folder held only our entries";
}

}  // namespace
}  // namespace lumorel::wine
