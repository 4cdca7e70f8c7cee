// What installing into the user's desktop needs of the system besides the
// registry: where things are, files and folders, and shell links.
#ifndef LUMOREL_PLATFORM_DESKTOP_H_
#define LUMOREL_PLATFORM_DESKTOP_H_

#include <string>
#include <string_view>

#include "platform/hresult.h"

namespace lumorel {

// Paths are 8-bit text in the system code page. One caller at a time.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // --- Where things are; each the empty text when it cannot be told ---

  // The module file's full path.
  virtual std::string modulePath() = 0;
  // The browser program's full path.
  virtual std::string browserPath() = 0;
  // The user's Programs folder of the start menu, without a trailing
  // separator.
  virtual std::string programsFolder() = 0;
  // The system's Windows folder, without a trailing separator.
  virtual std::string windowsFolder() = 0;

  // --- Files and folders; failures are ignored by the caller ---

  virtual bool createFolder(std::string_view path) = 0;
  // Removes the folder only when it is empty.
  virtual bool removeEmptyFolder(std::string_view path) = 0;
  virtual bool deleteFile(std::string_view path) = 0;
  // Writes `bytes` as a new file; false, with nothing changed, when
  // anything is at `path` already.
  virtual bool writeNewFile(std::string_view path, std::string_view bytes) = 0;
  // Writes `bytes` as the file's whole content, making or replacing it.
  virtual bool writeFile(std::string_view path, std::string_view bytes) = 0;

  // Writes (or overwrites) the shell link at `path`.
  [[nodiscard]] virtual HResult writeShellLink(std::string_view path, std::string_view target,
                                               std::string_view arguments,
                                               std::string_view description,
                                               std::string_view iconPath, int iconIndex) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_DESKTOP_H_
