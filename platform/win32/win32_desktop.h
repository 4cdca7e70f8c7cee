// The user's desktop on Windows behind the installation's Desktop
// interface: the module's path, the browser's, the start menu's Programs
// folder and the Windows folder as the system records them, files through
// the *A APIs, and shell links through the shell's link object.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_DESKTOP_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_DESKTOP_H_

#include <windows.h>

#include "platform/desktop.h"

namespace lumorel {

// Every path is looked up anew when asked, so a registration always reads
// the current values. Shell links need a thread that has initialised COM.
class Win32Desktop final : public Desktop {
 public:
  explicit Win32Desktop(HMODULE module) : module_(module) {}

  std::string modulePath() override;
  std::string browserPath() override;
  std::string programsFolder() override;
  std::string windowsFolder() override;

  bool createFolder(std::string_view path) override;
  bool removeEmptyFolder(std::string_view path) override;
  bool deleteFile(std::string_view path) override;
  bool writeNewFile(std::string_view path, std::string_view bytes) override;
  bool writeFile(std::string_view path, std::string_view bytes) override;
  HResult writeShellLink(std::string_view path, std::string_view target, std::string_view arguments,
                         std::string_view description, std::string_view iconPath,
                         int iconIndex) override;

 private:
  const HMODULE module_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_DESKTOP_H_
