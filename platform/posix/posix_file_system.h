// The file system of a POSIX machine.
#ifndef LUMOREL_PLATFORM_POSIX_POSIX_FILE_SYSTEM_H_
#define LUMOREL_PLATFORM_POSIX_POSIX_FILE_SYSTEM_H_

#include "platform/file_system.h"

namespace lumorel {

// Listing reads each folder once (readdir), sorts its names into folder order
// (folder_order.h) and asks a file's size relative to
// the open folder, so a scan costs one directory read per folder and one
// status query per picture. A link to a file lists as that file; a link to a
// folder lists as kOther and is never entered, so a scan cannot loop.
// Deleting needs no change of the file's own mode here, so
// setNormalAttributes does nothing.
class PosixFileSystem final : public FileSystem {
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

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_POSIX_FILE_SYSTEM_H_
