#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <string>

namespace lumorel {
namespace {

HKEY handleOf(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      break;
  }
  return HKEY_LOCAL_MACHINE;
}

HResult fromWin32(LONG error) { return static_cast<HResult>(HRESULT_FROM_WIN32(error)); }

// Opens an existing key for setting values; null on failure, with `error`.
HKEY openForWriting(RegistryRoot root, std::string_view path, LONG& error) {
  HKEY key = nullptr;
  error = RegOpenKeyExA(handleOf(root), std::string(path).c_str(), 0, KEY_SET_VALUE, &key);
  return error == ERROR_SUCCESS ? key : nullptr;
}

HResult setValue(RegistryRoot root, std::string_view path, std::string_view name, DWORD type,
                 const BYTE* data, DWORD size) {
  LONG error;
  HKEY key = openForWriting(root, path, error);
  if (!key) return fromWin32(error);
  error = RegSetValueExA(key, name.empty() ? nullptr : std::string(name).c_str(), 0, type, data,
                         size);
  RegCloseKey(key);
  return fromWin32(error);
}

// Deletes every subkey of `key` and then `key` itself (RegDeleteTreeA is
// missing from older systems, so the walk is our own).
LONG deleteKeyAndBelow(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (error != ERROR_SUCCESS) return error;
  char child[256];
  for (;;) {
    DWORD size = sizeof child;
    // Always the first: each one found is deleted before the next look.
    if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    error = deleteKeyAndBelow(key, child);
    if (error != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return error;
  return RegDeleteKeyA(parent, name.c_str());
}

}  // namespace

HResult Win32Registry::createKey(RegistryRoot root, std::string_view path) {
  HKEY key = nullptr;
  const LONG error =
      RegCreateKeyExA(handleOf(root), std::string(path).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (error == ERROR_SUCCESS) RegCloseKey(key);
  return fromWin32(error);
}

HResult Win32Registry::setText(RegistryRoot root, std::string_view path, std::string_view name,
                               std::string_view value) {
  const std::string text(value);  // with its NUL, which the size counts
  return setValue(root, path, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                  static_cast<DWORD>(text.size() + 1));
}

HResult Win32Registry::setNumber(RegistryRoot root, std::string_view path, std::string_view name,
                                 uint32_t value) {
  const DWORD number = value;
  return setValue(root, path, name, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                  sizeof number);
}

HResult Win32Registry::setBytes(RegistryRoot root, std::string_view path, std::string_view name,
                                std::string_view bytes) {
  return setValue(root, path, name, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                  static_cast<DWORD>(bytes.size()));
}

HResult Win32Registry::deleteTree(RegistryRoot root, std::string_view path) {
  const LONG error = deleteKeyAndBelow(handleOf(root), std::string(path));
  if (error == ERROR_FILE_NOT_FOUND) return kSOk;
  return fromWin32(error);
}

}  // namespace lumorel
