#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/limits.h"
#include "platform/win32/unique_handle.h"

namespace lumorel {
namespace {

// One ReadFile or WriteFile moves at most this many bytes (its count is 32
// bits wide).
constexpr DWORD kMaxTransfer = 1u << 30;

// Readers let others read and write, so a file still being written by
// createNewFile can be read; deleting and renaming stay allowed too.
constexpr DWORD kReaderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool fitsPath(const char* path) { return path && std::strlen(path) < kMaxPath; }

EntryKind kindOfAttributes(DWORD attributes) {
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) return EntryKind::kOther;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
  return EntryKind::kFile;
}

class Win32FolderEntry final : public FolderEntry {
 public:
  Win32FolderEntry(const WIN32_FIND_DATAA& data, std::string_view name)
      : data_(data), name_(name) {}

  std::string_view name() const override { return name_; }
  EntryKind kind() const override { return kindOfAttributes(data_.dwFileAttributes); }
  uint64_t size() const override {
    return (static_cast<uint64_t>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
  }

 private:
  const WIN32_FIND_DATAA& data_;
  const std::string_view name_;
};

// The name under which an enumerated entry can be opened again, or empty
// when it has none: a '?' never occurs in a Windows name, so one here stands
// for a character the ANSI code page cannot show.
std::string_view openableName(const WIN32_FIND_DATAA& data) {
  const std::string_view name(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
  if (name.find('?') == std::string_view::npos) return name;
  const std::string_view shortName(data.cAlternateFileName,
                                   strnlen(data.cAlternateFileName, sizeof data.cAlternateFileName));
  if (shortName.empty() || shortName.find('?') != std::string_view::npos) return {};
  return shortName;
}

class Win32SequentialFile final : public SequentialFile {
 public:
  explicit Win32SequentialFile(HANDLE file) : file_(file) {}

  std::optional<std::size_t> read(char* buffer, std::size_t n) override {
    DWORD got = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(n, kMaxTransfer));
    if (!ReadFile(file_.get(), buffer, ask, &got, nullptr)) return std::nullopt;
    return got;
  }

 private:
  UniqueHandle file_;
};

class Win32RandomAccessFile final : public RandomAccessFile {
 public:
  explicit Win32RandomAccessFile(HANDLE file) : file_(file) {}

  // Each read carries its offset in an OVERLAPPED, so reads on several
  // threads never share a file position.
  std::optional<std::size_t> readAt(uint64_t offset, char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      const uint64_t at = offset + done;
      OVERLAPPED where{};
      where.Offset = static_cast<DWORD>(at);
      where.OffsetHigh = static_cast<DWORD>(at >> 32);
      DWORD got = 0;
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(n - done, kMaxTransfer));
      if (!ReadFile(file_.get(), buffer + done, ask, &got, &where)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return std::nullopt;
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  UniqueHandle file_;
};

class Win32WritableFile final : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE file) : file_(file) {}

  bool append(const char* data, std::size_t n) override {
    while (n > 0) {
      DWORD put = 0;
      const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(n, kMaxTransfer));
      if (!WriteFile(file_.get(), data, ask, &put, nullptr) || put == 0) return false;
      data += put;
      n -= put;
    }
    return true;
  }

  bool close() override { return file_.close(); }

  bool discard() override {
    if (!file_.valid()) return false;
    // The deletion goes with the open file, wherever its name or its
    // folder's name now is; it happens when the last handle closes.
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    const bool marked = SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition,
                                                   sizeof disposition) != 0;
    (void)file_.close();
    return marked;
  }

 private:
  UniqueHandle file_;
};

}  // namespace

bool isUsableWin32Path(const char* path) {
  if (!fitsPath(path)) return false;
  const std::string_view whole(path);
  const std::size_t cut = whole.find_last_of("\\/");
  const std::string_view last = cut == std::string_view::npos ? whole : whole.substr(cut + 1);
  if (last.empty() || last == "." || last == "..") return true;
  return last.back() != '.' && last.back() != ' ';
}

bool Win32FileSystem::listFolder(const char* folder,
                                 const std::function<void(const FolderEntry&)>& visit) {
  if (!folder) return false;
  const std::string_view base(folder);
  // Without its separator "<folder>*" would match the folder's neighbours.
  if (base.empty() || (base.back() != '\\' && base.back() != '/')) return false;
  std::string pattern(base);
  pattern += '*';
  if (!fitsPath(pattern.c_str())) return false;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    // A drive's root may hold nothing at all, not even '.' and '..'.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  do {
    const std::string_view name = openableName(data);
    if (name.empty()) continue;
    Win32FolderEntry entry(data, name);
    visit(entry);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return true;
}

bool Win32FileSystem::exists(const char* path) {
  return fitsPath(path) && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::optional<uint64_t> Win32FileSystem::fileSize(const char* path) {
  if (!isUsableWin32Path(path)) return std::nullopt;
  UniqueHandle file(CreateFileA(path, FILE_READ_ATTRIBUTES, kReaderSharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

bool Win32FileSystem::setNormalAttributes(const char* path) {
  return isUsableWin32Path(path) && SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != 0;
}

bool Win32FileSystem::deleteFile(const char* path) {
  return isUsableWin32Path(path) && DeleteFileA(path) != 0;
}

bool Win32FileSystem::moveNoReplace(const char* from, const char* to) {
  // MoveFileA never replaces an existing target, and copies across volumes.
  return isUsableWin32Path(from) && isUsableWin32Path(to) && MoveFileA(from, to) != 0;
}

bool Win32FileSystem::createFolder(const char* path) {
  return isUsableWin32Path(path) && CreateDirectoryA(path, nullptr) != 0;
}

bool Win32FileSystem::removeEmptyFolder(const char* path) {
  return isUsableWin32Path(path) && RemoveDirectoryA(path) != 0;
}

std::unique_ptr<SequentialFile> Win32FileSystem::openSequential(const char* path) {
  if (!isUsableWin32Path(path)) return nullptr;
  HANDLE file = CreateFileA(path, GENERIC_READ, kReaderSharing, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32SequentialFile>(file);
}

std::unique_ptr<RandomAccessFile> Win32FileSystem::openRandomAccess(const char* path) {
  if (!isUsableWin32Path(path)) return nullptr;
  UniqueHandle file(CreateFileA(path, GENERIC_READ, kReaderSharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return nullptr;
  return std::make_unique<Win32RandomAccessFile>(file.release());
}

std::unique_ptr<WritableFile> Win32FileSystem::createNewFile(const char* path) {
  if (!isUsableWin32Path(path)) return nullptr;
  // CREATE_NEW refuses any existing name; FILE_FLAG_OPEN_REPARSE_POINT keeps
  // a link in the way from being followed. DELETE access lets discard()
  // remove the file through this handle; without FILE_SHARE_DELETE no one
  // else can rename or replace it while it is held.
  HANDLE file = CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32WritableFile>(file);
}

FileSystem& FileSystem::system() {
  static Win32FileSystem* fs = new Win32FileSystem;  // never destroyed: workers may outlive main
  return *fs;
}

}  // namespace lumorel
