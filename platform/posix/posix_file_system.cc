#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/folder_order.h"
#include "platform/posix/unique_fd.h"

namespace lumorel {
namespace {

EntryKind kindOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::kFolder;
  if (S_ISREG(mode)) return EntryKind::kFile;
  return EntryKind::kOther;
}

// One entry of a folder read whole: its name (NUL-terminated, in the
// listing's name buffer) and the type readdir gave.
struct ListedEntry {
  std::size_t nameOffset;
  std::size_t nameLength;
  unsigned char type;
};

class PosixFolderEntry final : public FolderEntry {
 public:
  PosixFolderEntry(int dirFd, const char* name, std::size_t nameLength, unsigned char type)
      : dirFd_(dirFd), name_(name), nameLength_(nameLength), type_(type) {}

  std::string_view name() const override { return {name_, nameLength_}; }

  EntryKind kind() const override {
    switch (type_) {
      case DT_DIR:
        return EntryKind::kFolder;
      case DT_REG:
        return EntryKind::kFile;
      case DT_LNK: {
        // A link counts as the file it leads to; a link to a folder is never
        // entered, so kOther.
        const struct stat* target = stat(0);
        return target && S_ISREG(target->st_mode) ? EntryKind::kFile : EntryKind::kOther;
      }
      case DT_UNKNOWN: {
        const struct stat* own = stat(AT_SYMLINK_NOFOLLOW);
        if (!own) return EntryKind::kOther;
        if (!S_ISLNK(own->st_mode)) return kindOfMode(own->st_mode);
        const struct stat* target = stat(0);
        return target && S_ISREG(target->st_mode) ? EntryKind::kFile : EntryKind::kOther;
      }
      default:
        return EntryKind::kOther;
    }
  }

  uint64_t size() const override {
    const struct stat* st = stat(0);
    return st ? static_cast<uint64_t>(st->st_size) : 0;
  }

 private:
  // Status of the entry, relative to the open folder; null on failure. Kept
  // for the flags it was asked with last, since kind() and size() often ask
  // the same.
  const struct stat* stat(int flags) const {
    if (statFlags_ != flags) {
      statFlags_ = flags;
      statOk_ = fstatat(dirFd_, name_, &stat_, flags) == 0;
    }
    return statOk_ ? &stat_ : nullptr;
  }

  const int dirFd_;
  const char* const name_;
  const std::size_t nameLength_;
  const unsigned char type_;
  mutable int statFlags_ = -1;
  mutable bool statOk_ = false;
  mutable struct stat stat_ {};
};

class PosixSequentialFile final : public SequentialFile {
 public:
  explicit PosixSequentialFile(UniqueFd fd) : fd_(std::move(fd)) {}

  std::optional<std::size_t> read(char* buffer, std::size_t n) override {
    while (true) {
      ssize_t got = ::read(fd_.get(), buffer, n);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return std::nullopt;
    }
  }

 private:
  UniqueFd fd_;
};

class PosixRandomAccessFile final : public RandomAccessFile {
 public:
  explicit PosixRandomAccessFile(UniqueFd fd) : fd_(std::move(fd)) {}

  std::optional<std::size_t> readAt(uint64_t offset, char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = pread(fd_.get(), buffer + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  UniqueFd fd_;
};

// A file made by createNewFile, with the folder it was made in held open so
// that discard() removes it there and nowhere else.
class PosixWritableFile final : public WritableFile {
 public:
  PosixWritableFile(UniqueFd folder, std::string name, UniqueFd fd, dev_t device, ino_t inode)
      : folder_(std::move(folder)),
        name_(std::move(name)),
        fd_(std::move(fd)),
        device_(device),
        inode_(inode) {}

  bool append(const char* data, std::size_t n) override {
    while (n > 0) {
      ssize_t put = ::write(fd_.get(), data, n);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      data += put;
      n -= static_cast<std::size_t>(put);
    }
    return true;
  }

  bool close() override { return fd_.close(); }

  bool discard() override {
    (void)fd_.close();
    // Relative to the folder's handle and only if the name still names the
    // same file: nothing is ever removed by finding a path again.
    struct stat st {};
    if (fstatat(folder_.get(), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode) || st.st_dev != device_ || st.st_ino != inode_)
      return false;
    return unlinkat(folder_.get(), name_.c_str(), 0) == 0;
  }

 private:
  UniqueFd folder_;
  const std::string name_;
  UniqueFd fd_;
  const dev_t device_;
  const ino_t inode_;
};

// Copies `from` into a new file `to` for a move across file systems. The
// target is created exclusively and removed again if anything fails, so no
// existing file is touched and no half copy stays behind.
bool copyIntoNewFile(const char* from, const char* to) {
  UniqueFd in(open(from, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!in.valid()) return false;
  struct stat st {};
  if (fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  UniqueFd out(open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, st.st_mode & 07777));
  if (!out.valid()) return false;
  char buffer[1 << 16];
  bool ok = true;
  while (ok) {
    ssize_t got = ::read(in.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      ssize_t put = ::write(out.get(), buffer + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      if (ok) done += put;
    }
  }
  ok = ok && fsync(out.get()) == 0;
  ok = out.close() && ok;
  if (!ok) unlink(to);
  return ok;
}

}  // namespace

bool PosixFileSystem::listFolder(const char* folder,
                                 const std::function<void(const FolderEntry&)>& visit) {
  DIR* dir = opendir(folder);
  if (!dir) return false;
  const int dirFd = dirfd(dir);
  // The folder is read whole, then its names sorted once into folder order.
  std::string names;
  std::vector<ListedEntry> entries;
  while (const dirent* entry = readdir(dir)) {
    const std::size_t length = strlen(entry->d_name);
    entries.push_back({names.size(), length, entry->d_type});
    names.append(entry->d_name, length + 1);
  }
  const auto nameOf = [&names](const ListedEntry& e) {
    return std::string_view(names.data() + e.nameOffset, e.nameLength);
  };
  std::sort(entries.begin(), entries.end(), [&](const ListedEntry& a, const ListedEntry& b) {
    return listsBefore(nameOf(a), nameOf(b));
  });
  for (const ListedEntry& e : entries) {
    PosixFolderEntry view(dirFd, names.data() + e.nameOffset, e.nameLength, e.type);
    visit(view);
  }
  closedir(dir);
  return true;
}

bool PosixFileSystem::exists(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0;
}

std::optional<uint64_t> PosixFileSystem::fileSize(const char* path) {
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool PosixFileSystem::setNormalAttributes(const char* path) {
  struct stat st {};
  return lstat(path, &st) == 0;
}

bool PosixFileSystem::deleteFile(const char* path) { return unlink(path) == 0; }

bool PosixFileSystem::moveNoReplace(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // The file system cannot rename without replacing: a hard link fails when
    // the target exists, and only then is the old name let go.
    if (link(from, to) != 0) {
      if (errno == EEXIST) return false;
      // No links here either (or another device): fall through to the copy.
    } else {
      if (unlink(from) == 0) return true;
      unlink(to);
      return false;
    }
  } else if (errno != EXDEV) {
    return false;
  }
  // Across file systems: copy into a new file, then remove the original.
  if (!copyIntoNewFile(from, to)) return false;
  if (unlink(from) == 0) return true;
  unlink(to);
  return false;
}

bool PosixFileSystem::createFolder(const char* path) { return mkdir(path, 0777) == 0; }

bool PosixFileSystem::removeEmptyFolder(const char* path) { return rmdir(path) == 0; }

std::unique_ptr<SequentialFile> PosixFileSystem::openSequential(const char* path) {
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return nullptr;
  posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<PosixSequentialFile>(std::move(fd));
}

std::unique_ptr<RandomAccessFile> PosixFileSystem::openRandomAccess(const char* path) {
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  return std::make_unique<PosixRandomAccessFile>(std::move(fd));
}

std::unique_ptr<WritableFile> PosixFileSystem::createNewFile(const char* path) {
  const std::string_view whole(path);
  const std::size_t slash = whole.rfind('/');
  const std::string folder = slash == std::string_view::npos ? "."
                             : slash == 0                    ? "/"
                                                             : std::string(whole.substr(0, slash));
  const std::string name(slash == std::string_view::npos ? whole : whole.substr(slash + 1));
  if (name.empty() || name == "." || name == "..") return nullptr;
  UniqueFd folderFd(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd.valid()) return nullptr;
  // O_EXCL refuses any existing name, a dangling link included; O_NOFOLLOW
  // says the same for the last name even where O_EXCL would not be honoured.
  UniqueFd fd(openat(folderFd.get(), name.c_str(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd.valid()) return nullptr;
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) {
    // Made but not known: removed while the name is surely still ours.
    (void)unlinkat(folderFd.get(), name.c_str(), 0);
    return nullptr;
  }
  return std::make_unique<PosixWritableFile>(std::move(folderFd), name, std::move(fd), st.st_dev,
                                             st.st_ino);
}

FileSystem& FileSystem::system() {
  static PosixFileSystem* fs = new PosixFileSystem;  // never destroyed: workers may outlive main
  return *fs;
}

}  // namespace lumorel
