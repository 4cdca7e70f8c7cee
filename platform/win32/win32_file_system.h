// The file system of Windows, over the ANSI (*A) file APIs.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_FILE_SYSTEM_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_FILE_SYSTEM_H_

#include "platform/file_system.h"

namespace lumorel {

// Paths are ANSI texts of at most kMaxPath - 1 bytes. A longer path is
// refused (the call fails, nothing is touched), never cut to fit. A path
// whose last name ends with '.' or ' ' is refused by every call that changes
// or reads a named file: Windows drops those characters and would act on
// another name.
//
// Listing enumerates "<folder>*" in the order the file system gives
// (FindFirstFileA/FindNextFileA). A reparse point (a link or a junction) is
// listed as kOther and never entered, so a scan cannot loop; a size comes
// from the enumeration itself and costs nothing. An entry whose name has no
// ANSI form (the system shows '?' in its place) is listed under its short
// name when it has one and left out otherwise, so every listed name opens
// the entry it stands for.
//
// A file made by createNewFile is held open with only read sharing: no one
// can rename, replace or delete it until it is closed. discard() marks that
// open file for deletion through its own handle, so it removes exactly the
// file it made and never looks its name up again. After close() the file is
// no longer held and discard() removes nothing.
class Win32FileSystem final : public FileSystem {
 public:
  bool listFolder(const char* folder,
                  const std::function<void(const FolderEntry&)>& visit) override;
  bool exists(const char* path) override;
  std::optional<uint64_t> fileSize(const char* path) override;
  bool setNormalAttributes(const char* path) override;
  bool deleteFile(const char* path) override;
  bool moveNoReplace(const char* from, const char* to) override;
  bool createFolder(const char* path) override;
  bool removeEmptyFolder(const char* path) override;
  std::unique_ptr<SequentialFile> openSequential(const char* path) override;
  std::unique_ptr<WritableFile> createNewFile(const char* path) override;
  std::unique_ptr<RandomAccessFile> openRandomAccess(const char* path) override;
};

// True when `path` is usable by the *A file APIs as it stands: not null, it
// fits kMaxPath with its NUL, and its last name does not end with '.' or
// ' ' ("." and ".." themselves excepted).
bool isUsableWin32Path(const char* path);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_FILE_SYSTEM_H_
