// The desktop entries that put Lumorel into the user's application menu,
// and the text of each.
#ifndef LUMOREL_HOST_DESKTOP_DESKTOP_ENTRIES_H_
#define LUMOREL_HOST_DESKTOP_DESKTOP_ENTRIES_H_

#include <span>
#include <string>
#include <string_view>

namespace lumorel {

struct DesktopEntry {
  std::string_view fileName;  // in the applications folder: "lumorel.desktop"
  std::string_view name;      // what the menu shows: "Lumorel 1.4"
  std::string_view comment;
  std::string_view url;       // the "lm:" address it opens; empty: the one it is given
  std::string_view icon;      // the icon theme's name: "lumorel"
  bool hidden;                // kept out of the menu (the "lm:" scheme's handler)
};

// The entries, in the order they are written: "Lumorel 1.4", "Lumorel Tools",
// "Lumorel Uninstall", and the hidden handler of "lm:" addresses.
std::span<const DesktopEntry> desktopEntries();

// The entry that handles "lm:" addresses (x-scheme-handler/lm).
inline constexpr std::string_view kSchemeHandlerEntry = "lumorel-url-handler.desktop";
inline constexpr std::string_view kSchemeMimeType = "x-scheme-handler/lm";

// The key every entry Lumorel writes carries; a file without it is not
// Lumorel's and is never removed.
inline constexpr std::string_view kInstalledMark = "X-Lumorel-Installed=1.4";

// The text of `entry`'s desktop file, which starts the program at
// `program` (an absolute path) on the entry's address.
std::string desktopEntryText(const DesktopEntry& entry, std::string_view program);

// `word` as one argument of a desktop entry's Exec key: '%' doubled; and
// where it holds a reserved character (a space, a quote, '$' and others),
// quoted, with the characters the quoting reserves escaped, and then escaped
// again as the value of a string key.
std::string execArgument(std::string_view word);

}  // namespace lumorel

#endif  // LUMOREL_HOST_DESKTOP_DESKTOP_ENTRIES_H_
