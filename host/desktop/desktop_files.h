// The files `lumorel install` puts on the user's desktop, compiled into the
// program so that an installed program needs nothing from the source tree.
// host/desktop/CMakeLists.txt generates both tables from the source folders.
#ifndef LUMOREL_HOST_DESKTOP_DESKTOP_FILES_H_
#define LUMOREL_HOST_DESKTOP_DESKTOP_FILES_H_

#include <span>
#include <string_view>

namespace lumorel {

struct DesktopFile {
  std::string_view path;  // relative: "hicolor/16x16/apps/lumorel.png", "manifest.json"
  std::span<const unsigned char> bytes;
};

// The icons for the user's icon theme folder, paths relative to it.
std::span<const DesktopFile> desktopIcons();

// The browser extension's files (browser-extension/ in the source tree),
// paths relative to it.
std::span<const DesktopFile> extensionFiles();

}  // namespace lumorel

#endif  // LUMOREL_HOST_DESKTOP_DESKTOP_FILES_H_
