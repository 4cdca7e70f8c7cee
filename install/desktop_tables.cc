#include "install/desktop_tables.h"

#include <array>

namespace lumorel {

std::span<const MenuPage> menuPages() {
  static constexpr std::array<MenuPage, 8> kPages = {{
      {"Slideshow all Linked Images (Lumorel)", kMenuOnPage, "lm_links"},
      {"Preload Linked Images (Lumorel)", kMenuOnPage, "lm_scrape"},
      {"Resize This Image (Lumorel)", kMenuOnPicture, "lm_resize"},
      {"Open Linked Image (Lumorel)", kMenuOnLink, "lm_openresize"},
      {"Dump Linked Images (Lumorel)", kMenuOnPage, "lm_listimg"},
      {"Save Linked Images (Lumorel)", kMenuOnPage, "lm_listimgsave"},
      {"run lm", kNoMenuEntry, "lm_run"},
      {"run utils", kNoMenuEntry, "lm_utils"},
  }};
  return kPages;
}

std::span<const int> menuPageRemovalOrder() {
  static constexpr std::array<int, 8> kOrder = {0, 1, 2, 3, 4, 6, 5, 7};
  return kOrder;
}

std::span<const std::string_view> oldUrlShortcuts() {
  static constexpr std::array<std::string_view, 7> kNames = {
      "Lumorel",     "Lumorel 1.1",       "Lumorel 1.2",  "Lumorel 1.3",
      "Lumorel 1.4", "Lumorel Uninstall", "Lumorel Tools",
  };
  return kNames;
}

std::string urlShortcutText(std::string_view url, std::string_view iconIndex,
                            std::string_view modulePath) {
  std::string text = "[InternetShortcut]\r\nURL=";
  text += url;
  text += "\r\nIconIndex=";
  text += iconIndex;
  text += "\r\nIconFile=";
  text += modulePath;
  text += "\r\nModified=000000000000000000";
  return text;
}

std::string pageShortcutArguments(std::string_view pagePath) {
  std::string arguments = "-new -nohome \"";
  arguments += pagePath;
  arguments += '"';
  return arguments;
}

std::string menuExtKeyPath(std::string_view menuText) {
  std::string path = "Software\\Microsoft\\Internet Explorer\\MenuExt\\";
  path += menuText;
  return path;
}

}  // namespace lumorel
