#include "platform/win32/test_folder.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace lumorel {
namespace {

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = folder + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        removeTree(full + "\\");
      } else if (!DeleteFileA(full.c_str())) {
        RemoveDirectoryA(full.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

TestFolder::TestFolder() {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) std::abort();
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Relaxed: only uniqueness matters.
    std::string candidate = std::string(temp, length) + "lmt" +
                            std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(serial.fetch_add(1, std::memory_order_relaxed)) + "\\";
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  std::abort();
}

TestFolder::~TestFolder() { removeTree(path_); }

std::string TestFolder::write(const std::string& relative, const std::string& content) const {
  const std::string full = path_ + relative;
  HANDLE file = CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) std::abort();
  DWORD put = 0;
  if (!content.empty() &&
      (!WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &put, nullptr) ||
       put != content.size()))
    std::abort();
  CloseHandle(file);
  return full;
}

std::string TestFolder::makeFolder(const std::string& relative) const {
  const std::string full = path_ + relative;
  if (!CreateDirectoryA(full.c_str(), nullptr)) std::abort();
  return full + "\\";
}

std::string readWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

}  // namespace lumorel
