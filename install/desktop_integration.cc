#include "install/desktop_integration.h"

#include "install/desktop_tables.h"

namespace lumorel {
namespace {

// The Start-menu folder; empty when the Programs folder is unknown, and
// then no shortcut is written or removed (rather than one in the root of
// the current drive).
std::string startMenuFolder(Desktop& desktop) {
  const std::string programs = desktop.programsFolder();
  if (programs.empty()) return "";
  return programs + "\\" + std::string(kStartMenuFolder);
}

void deleteShortcut(Desktop& desktop, std::string_view name, std::string_view extension) {
  const std::string folder = startMenuFolder(desktop);
  if (folder.empty()) return;
  desktop.deleteFile(folder + "\\" + std::string(name) + std::string(extension));
  desktop.removeEmptyFolder(folder);
}

void writeUrlShortcut(Desktop& desktop, std::string_view name, std::string_view url,
                      std::string_view iconIndex) {
  const std::string folder = startMenuFolder(desktop);
  if (folder.empty()) return;
  desktop.createFolder(folder);
  // An existing file is left as it is.
  desktop.writeNewFile(folder + "\\" + std::string(name) + ".url",
                       urlShortcutText(url, iconIndex, desktop.modulePath()));
}

void writeLinkShortcut(Desktop& desktop, const PageShortcut& shortcut) {
  const std::string folder = startMenuFolder(desktop);
  if (folder.empty()) return;
  const std::string page = webPagePath(desktop, shortcut.resource);
  desktop.createFolder(folder);
  (void)desktop.writeShellLink(folder + "\\" + std::string(shortcut.name) + ".lnk",
                               desktop.browserPath(), pageShortcutArguments(page),
                               kShortcutDescription, desktop.modulePath(), shortcut.iconIndex);
}

void installMenuPage(Desktop& desktop, Registry& registry, const PageStore& pages,
                     const MenuPage& page) {
  const auto stored = pages.find(page.resource);
  if (!stored) return;
  const std::string path = webPagePath(desktop, page.resource);
  if (path.empty() || !desktop.writeFile(path, stored->bytes)) return;
  if (page.contexts == kNoMenuEntry) return;
  const std::string key = menuExtKeyPath(page.menuText);
  constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
  if (registry.createKey(kUser, key) != kSOk) return;
  (void)registry.setText(kUser, key, "", path);
  (void)registry.setBytes(kUser, key, "contexts", std::string(1, static_cast<char>(page.contexts)));
}

void removeMenuPage(Desktop& desktop, Registry& registry, const MenuPage& page) {
  const std::string path = webPagePath(desktop, page.resource);
  if (!path.empty()) desktop.deleteFile(path);
  (void)registry.deleteTree(RegistryRoot::kCurrentUser, menuExtKeyPath(page.menuText));
}

}  // namespace

std::string webPagePath(Desktop& desktop, std::string_view resource) {
  const std::string windows = desktop.windowsFolder();
  if (windows.empty()) return "";
  const std::string web = windows + "\\web";
  desktop.createFolder(web);
  return web + "\\" + std::string(resource) + ".htm";
}

void installDesktop(Desktop& desktop, Registry& registry, const PageStore& pages) {
  for (std::string_view name : oldUrlShortcuts()) deleteShortcut(desktop, name, ".url");
  (void)registry.deleteTree(RegistryRoot::kCurrentUser, kOlderSettingsKey);
  writeUrlShortcut(desktop, kUninstallShortcut, kUninstallUrl, kUninstallIconIndex);
  (void)registry.createKey(RegistryRoot::kCurrentUser, kSettingsKey);
  constexpr std::string_view kCommandKey = "lm\\shell\\open\\command";
  if (registry.createKey(RegistryRoot::kClassesRoot, kCommandKey) == kSOk) {
    (void)registry.setText(RegistryRoot::kClassesRoot, kCommandKey, "",
                           desktop.browserPath() + " -nohome");
  }
  const auto rows = menuPages();
  // The main page's shortcut comes after its page, the tools page and its
  // shortcut last.
  for (std::size_t i = 0; i + 1 < rows.size(); ++i) installMenuPage(desktop, registry, pages, rows[i]);
  writeLinkShortcut(desktop, kMainShortcut);
  installMenuPage(desktop, registry, pages, rows.back());
  writeLinkShortcut(desktop, kToolsShortcut);
}

void uninstallDesktop(Desktop& desktop, Registry& registry) {
  deleteShortcut(desktop, kMainShortcut.name, ".lnk");
  deleteShortcut(desktop, kUninstallShortcut, ".url");
  deleteShortcut(desktop, kToolsShortcut.name, ".lnk");
  for (int row : menuPageRemovalOrder()) {
    removeMenuPage(desktop, registry, menuPages()[static_cast<std::size_t>(row)]);
  }
  (void)registry.deleteTree(RegistryRoot::kCurrentUser, kSettingsKey);
}

}  // namespace lumorel
