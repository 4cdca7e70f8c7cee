// `lumorel install` and `lumorel uninstall`: Lumorel in the user's own
// desktop (XDG folders, no system folder, no root): the menu's entries and
// their icons, the handler of "lm:" addresses, the browser extension's
// folder and the relay's manifest; and their removal with the user's
// Lumorel settings.
#ifndef LUMOREL_HOST_DESKTOP_DESKTOP_INSTALL_H_
#define LUMOREL_HOST_DESKTOP_DESKTOP_INSTALL_H_

#include <optional>
#include <ostream>
#include <string>

namespace lumorel {

// Where things go; every path absolute, without a trailing '/'.
struct InstallPlaces {
  std::string dataHome;    // applications/, icons/hicolor/, lumorel/browser-extension/
  std::string configHome;  // mimeapps.list, the browsers' NativeMessagingHosts/
  std::string program;     // the lumorel program the entries start
  std::string relay;       // the menu relay beside it; empty when it was not built
  std::string preferenceFolder;  // the preference database's folder
  std::string valueFileFolder;   // the "+" files' folder
  std::string offlineFolder;     // the offline copies of web pages (kept)
};

// The places for this user and this program, from XDG_DATA_HOME,
// XDG_CONFIG_HOME and XDG_CACHE_HOME (each when an absolute path) or HOME,
// and the running program's own path. nullopt, with `error`, when neither
// gives an absolute path.
std::optional<InstallPlaces> installPlacesFromEnvironment(std::string& error);

// The extension's folder under the data folder.
std::string extensionFolder(const InstallPlaces& places);

// Writes everything, replacing what an earlier install wrote; a file of the
// same name that Lumorel did not write is left alone and said. Tells `out`
// what it did, a line each, and how to load the extension. False when
// something could not be written (said in `out`).
bool installForUser(const InstallPlaces& places, std::ostream& out);

// Removes what installForUser wrote and the user's Lumorel settings (the
// preference database, the "+" files); leaves every other file, the user's
// pictures and the offline copies among them. Tells `out` what it removed,
// or that there was nothing to remove. False when something could not be
// removed (said in `out`).
bool uninstallForUser(const InstallPlaces& places, std::ostream& out);

}  // namespace lumorel

#endif  // LUMOREL_HOST_DESKTOP_DESKTOP_INSTALL_H_
