#include "platform/win32/registry_preference_backend.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <limits>

#include "platform/limits.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_text.h"

namespace lumorel {
namespace {

constexpr const char* kPreferenceKey = "Software\\Lumorel";

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("\\/:\0", 4)) == std::string_view::npos;
}

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD put = 0;
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!WriteFile(file, bytes.data(), ask, &put, nullptr) || put == 0) return false;
    bytes.remove_prefix(put);
  }
  return true;
}

}  // namespace

RegistryPreferenceBackend::RegistryPreferenceBackend(std::string subKey, std::string fileFolder)
    : subKey_(std::move(subKey)), fileFolder_(std::move(fileFolder)) {}

std::string RegistryPreferenceBackend::registryPlace() const {
  return "HKEY_CURRENT_USER\\" + subKey_;
}

bool RegistryPreferenceBackend::fail(const std::string& place, uint32_t code) {
  std::string what = place + ": " + win32ErrorText(code);
  MutexLock lock(failureMu_);
  failure_ = std::move(what);
  return false;
}

std::string RegistryPreferenceBackend::lastFailure() {
  MutexLock lock(failureMu_);
  return failure_;
}

std::optional<std::string> RegistryPreferenceBackend::readValue(std::string_view key) {
  if (key.find('\0') != std::string_view::npos) return std::nullopt;
  const std::string name(key);
  RegistryKey opened;
  LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, KEY_QUERY_VALUE, opened.out());
  if (status != ERROR_SUCCESS) {
    if (status != ERROR_FILE_NOT_FOUND) fail(registryPlace(), static_cast<uint32_t>(status));
    return std::nullopt;
  }
  // The size is asked first and the value read into that much room; a
  // writer that makes it longer meanwhile makes the read go round again.
  std::string data;
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    status = RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type,
                              data.empty() ? nullptr : reinterpret_cast<BYTE*>(data.data()), &size);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && data.empty() && size > 0)) {
      data.assign(static_cast<std::size_t>(size) + 1, '\0');
      continue;
    }
    if (status != ERROR_SUCCESS) {
      fail(registryPlace() + "\\" + name, static_cast<uint32_t>(status));
      return std::nullopt;
    }
    if (type != REG_SZ) return std::nullopt;
    data.resize(size);
    // The stored terminator (or several) is not part of the text; a zero
    // byte inside it means the value is not one of this store's texts.
    while (!data.empty() && data.back() == '\0') data.pop_back();
    if (data.find('\0') != std::string::npos) return std::nullopt;
    return data;
  }
  return std::nullopt;
}

bool RegistryPreferenceBackend::writeValue(std::string_view key, std::string_view value) {
  if (key.find('\0') != std::string_view::npos || value.find('\0') != std::string_view::npos ||
      value.size() >= std::numeric_limits<DWORD>::max())
    return false;
  RegistryKey opened;
  LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, subKey_.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, opened.out(),
                                nullptr);
  if (status != ERROR_SUCCESS) return fail(registryPlace(), static_cast<uint32_t>(status));
  const std::string data(value);  // with its terminating zero byte
  status = RegSetValueExA(opened.get(), std::string(key).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1));
  if (status != ERROR_SUCCESS)
    return fail(registryPlace() + "\\" + std::string(key), static_cast<uint32_t>(status));
  return true;
}

std::string RegistryPreferenceBackend::filePath(std::string_view name) const {
  if (fileFolder_.empty() || !isPlainFileName(name)) return "";
  std::string path = fileFolder_ + std::string(name);
  return isUsableWin32Path(path.c_str()) ? path : "";
}

std::optional<std::string> RegistryPreferenceBackend::readFile(std::string_view name) {
  const std::string path = filePath(name);
  if (path.empty()) return std::nullopt;
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                                  FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr));
  if (!file.valid()) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return std::nullopt;
  // Read to the end, whatever size the file said it had when opened.
  std::string bytes;
  char buffer[1 << 14];
  while (true) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

bool RegistryPreferenceBackend::replaceFile(std::string_view name, std::string_view bytes) {
  const std::string path = filePath(name);
  if (path.empty()) return false;
  // Distinct per process and per call, so writers never share a new file.
  static std::atomic<uint32_t> serial{0};
  std::string fresh;
  UniqueHandle file(INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
    // Relaxed: only uniqueness matters, not order.
    fresh = fileFolder_ + "~" + std::string(name) + "." + std::to_string(GetCurrentProcessId()) +
            "." + std::to_string(serial.fetch_add(1, std::memory_order_relaxed)) + ".new";
    if (!isUsableWin32Path(fresh.c_str())) return false;
    HANDLE made = CreateFileA(fresh.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (made == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return fail(fresh, error);
      continue;
    }
    file.reset(made);
  }
  if (!file.valid()) return fail(fileFolder_, ERROR_FILE_EXISTS);
  bool ok = writeAll(file.get(), bytes);
  DWORD error = ok ? 0 : GetLastError();
  if (!file.close() && ok) {
    ok = false;
    error = GetLastError();
  }
  if (ok && !MoveFileExA(fresh.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileA(fresh.c_str());
    return fail(path, error);
  }
  return true;
}

bool RegistryPreferenceBackend::removeFile(std::string_view name) {
  const std::string path = filePath(name);
  if (path.empty()) return false;
  if (DeleteFileA(path.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || fail(path, error);
}

PreferenceBackend& PreferenceBackend::system() {
  // Never destroyed: controls on other threads may still use it at exit.
  static RegistryPreferenceBackend* backend = [] {
    char temp[kMaxPath];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    // Without a temporary folder that fits, every value file is refused.
    std::string folder = length > 0 && length < sizeof temp ? std::string(temp, length) : "";
    return new RegistryPreferenceBackend(kPreferenceKey, std::move(folder));
  }();
  return *backend;
}

}  // namespace lumorel
