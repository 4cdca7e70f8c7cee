// The file operations the engine needs, behind one small interface so tests
// can force a failure and each platform brings its own.
//
// Paths are NUL-terminated 8-bit texts in the system code page. Every
// operation may be called from any thread.
#ifndef LUMOREL_PLATFORM_FILE_SYSTEM_H_
#define LUMOREL_PLATFORM_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace lumorel {

enum class EntryKind {
  kFolder,
  kFile,
  kOther,  // neither: a link to a folder, a device, a socket...
};

// One entry of a folder listing, valid only during the visitor's call.
class FolderEntry {
 public:
  // The entry's name, without folder. '.' and '..' are listed too.
  virtual std::string_view name() const = 0;
  virtual EntryKind kind() const = 0;
  // The size in bytes of a file; asked only when needed, since it may cost a
  // query of its own. 0 when it cannot be told.
  virtual uint64_t size() const = 0;

 protected:
  ~FolderEntry() = default;
};

// A file opened for reading from its start.
class SequentialFile {
 public:
  virtual ~SequentialFile() = default;
  // Reads up to `n` bytes into `buffer`; returns how many were read, 0 at the
  // end, or nullopt on a read error.
  virtual std::optional<std::size_t> read(char* buffer, std::size_t n) = 0;
};

// A file opened for reading at any offset.
class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;
  // Reads up to `n` bytes from `offset` into `buffer`; returns how many were
  // read (fewer only at the end of the file), or nullopt on a read error.
  virtual std::optional<std::size_t> readAt(uint64_t offset, char* buffer, std::size_t n) = 0;
};

// A file opened for writing from its start, made by createNewFile.
class WritableFile {
 public:
  // Closes the file if close() was not called; the file stays on disk.
  virtual ~WritableFile() = default;
  // Writes all `n` bytes of `data` at the end. False when not all could be
  // written (a full disk, an I/O error).
  [[nodiscard]] virtual bool append(const char* data, std::size_t n) = 0;
  // Closes the file; false when the close reported an error (a write that
  // failed late). Only once.
  [[nodiscard]] virtual bool close() = 0;
  // Closes the file if it is open and removes it: exactly the file that
  // createNewFile made, and only while its name in the folder it was made in
  // still names that file. Never removes anything else (a name that now
  // names another file, or a folder renamed away since, keeps what is
  // there). False when nothing was removed. Nothing is to be called after.
  [[nodiscard]] virtual bool discard() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Calls `visit` for every entry of `folder` (a path that ends with the
  // folder separator), in the platform's order. Returns false, without calling
  // `visit`, when the folder cannot be listed.
  [[nodiscard]] virtual bool listFolder(
      const char* folder, const std::function<void(const FolderEntry&)>& visit) = 0;

  // True when `path` names an existing file or folder.
  virtual bool exists(const char* path) = 0;

  // The size of the file at `path`, or nullopt when it cannot be opened.
  virtual std::optional<uint64_t> fileSize(const char* path) = 0;

  // Clears the attributes that keep a file from being deleted, where the
  // platform has such attributes. Returns false on failure.
  virtual bool setNormalAttributes(const char* path) = 0;

  // Deletes the file (not a folder) at `path`. Returns false on failure.
  virtual bool deleteFile(const char* path) = 0;

  // Moves the file at `from` to `to`, never replacing an existing `to`.
  // Returns false, with nothing changed, when it cannot.
  [[nodiscard]] virtual bool moveNoReplace(const char* from, const char* to) = 0;

  // Creates one folder. Returns false when it cannot (also when it exists).
  virtual bool createFolder(const char* path) = 0;

  // Removes the folder at `path` only when it is empty. False otherwise.
  virtual bool removeEmptyFolder(const char* path) = 0;

  // Opens the file at `path` for sequential reading; null when it cannot.
  virtual std::unique_ptr<SequentialFile> openSequential(const char* path) = 0;

  // Creates a new empty file at `path` for writing, which others may read.
  // Refuses, with null and nothing changed, when anything at all is at
  // `path` already (a file, a folder, a link even to nothing: a link is never
  // followed) or when the folder is missing.
  virtual std::unique_ptr<WritableFile> createNewFile(const char* path) = 0;

  // Opens the regular file at `path` for reading at any offset; null when
  // it cannot (also for anything but a regular file).
  virtual std::unique_ptr<RandomAccessFile> openRandomAccess(const char* path) = 0;

  // The platform's file system; lives for the whole process.
  static FileSystem& system();
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_FILE_SYSTEM_H_
