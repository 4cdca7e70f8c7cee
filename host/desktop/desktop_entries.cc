#include "host/desktop/desktop_entries.h"

#include <array>

namespace lumorel {

std::span<const DesktopEntry> desktopEntries() {
  // The main and tools entries open their windows' pages directly: a browser
  // lets only a page it opened by script open further windows, so the
  // launcher pages could not open theirs from a tab the desktop opened.
  static constexpr std::array<DesktopEntry, 4> kEntries = {{
      {"lumorel.desktop", "Lumorel 1.4", "Picture slide shows of a folder tree", "lm:main",
       "lumorel", false},
      {"lumorel-tools.desktop", "Lumorel Tools", "Find duplicate pictures and sort pictures into folders",
       "lm:utils", "lumorel-tools", false},
      {"lumorel-uninstall.desktop", "Lumorel Uninstall", "How to remove Lumorel", "lm:uninstall",
       "lumorel-uninstall", false},
      {kSchemeHandlerEntry, "Lumorel", "Opens lm: addresses in Lumorel", "", "lumorel", true},
  }};
  return kEntries;
}

std::string execArgument(std::string_view word) {
  // A word without reserved characters stands bare, which every launcher
  // reads (simple ones take the Exec key's words as they stand).
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
  if (word.find_first_of(kReserved) == std::string_view::npos) {
    std::string bare;
    for (char c : word) {
      if (c == '%') bare.push_back('%');
      bare.push_back(c);
    }
    return bare;
  }
  // Inside double quotes, '"', '`', '$' and '\' take a backslash.
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
    if (c == '%') quoted.push_back('%');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  // The key's value is a string, whose own escape is the backslash.
  std::string value;
  for (char c : quoted) {
    if (c == '\\') value.push_back('\\');
    value.push_back(c);
  }
  return value;
}

std::string desktopEntryText(const DesktopEntry& entry, std::string_view program) {
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\n";
  text.append("Name=").append(entry.name).append("\n");
  text.append("Comment=").append(entry.comment).append("\n");
  text.append("Exec=").append(execArgument(program)).append(" --detach ");
  text.append(entry.url.empty() ? std::string_view("%u") : entry.url).append("\n");
  text.append("Icon=").append(entry.icon).append("\n");
  text.append("Terminal=false\n");
  if (entry.hidden) {
    text.append("NoDisplay=true\n");
    text.append("MimeType=").append(kSchemeMimeType).append(";\n");
  } else {
    text.append("Categories=Graphics;Viewer;\n");
  }
  text.append(kInstalledMark).append("\n");
  return text;
}

}  // namespace lumorel
