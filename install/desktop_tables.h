// What installing the module puts into the user's desktop, as data: the
// pages behind the browser's context-menu entries, the Start-menu entries,
// and the texts and key paths they are written with.
#ifndef LUMOREL_INSTALL_DESKTOP_TABLES_H_
#define LUMOREL_INSTALL_DESKTOP_TABLES_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumorel {

// Where a context-menu entry shows, as the browser's menu extension key
// takes it: one byte, a mask.
enum MenuContexts : uint8_t {
  kNoMenuEntry = 0x00,  // only the page file is written
  kMenuOnPage = 0x01,
  kMenuOnPicture = 0x02,
  kMenuOnLink = 0x20,
};

// One page the installation writes out of the module, and the context-menu
// entry that opens it. The menu text is also the name of the entry's key.
struct MenuPage {
  std::string_view menuText;
  uint8_t contexts;
  std::string_view resource;  // the page's resource name, lower case
};

// The eight pages in installation order: the six context-menu entries,
// then the targets of the "Lumorel 1.4" and "Lumorel Tools" shortcuts.
std::span<const MenuPage> menuPages();

// The rows of menuPages() (0-based) in the order uninstallation removes
// them.
std::span<const int> menuPageRemovalOrder();

// The Start-menu folder's name, inside the user's Programs folder.
inline constexpr std::string_view kStartMenuFolder = "Lumorel";

// The Internet Shortcuts that registration removes first: older versions'
// and its own, which it then writes anew. Names without ".url".
std::span<const std::string_view> oldUrlShortcuts();

// A shell link of the Start-menu folder that opens a page file in the
// browser.
struct PageShortcut {
  std::string_view name;      // without ".lnk"
  std::string_view resource;  // the page it opens
  int iconIndex;              // among the module's icon groups
};
inline constexpr PageShortcut kMainShortcut = {"Lumorel 1.4", "lm_run", 0};
inline constexpr PageShortcut kToolsShortcut = {"Lumorel Tools", "lm_utils", 4};
inline constexpr std::string_view kShortcutDescription = "Lumorel Shortcut";

// The Internet Shortcut that opens the uninstall page.
inline constexpr std::string_view kUninstallShortcut = "Lumorel Uninstall";
inline constexpr std::string_view kUninstallUrl = "lm:uninstall";
inline constexpr std::string_view kUninstallIconIndex = "3";

// The bytes of an Internet Shortcut file: five lines joined by CR LF, with
// no line end after the last.
std::string urlShortcutText(std::string_view url, std::string_view iconIndex,
                            std::string_view modulePath);

// A shell link's arguments: the browser opens `pagePath` in a new window
// without its home page.
std::string pageShortcutArguments(std::string_view pagePath);

// Registry paths below HKEY_CURRENT_USER.
inline constexpr std::string_view kSettingsKey = "Software\\Lumorel";
inline constexpr std::string_view kOlderSettingsKey = "Software\\Brightwick";
// The key of a context-menu entry.
std::string menuExtKeyPath(std::string_view menuText);

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_DESKTOP_TABLES_H_
