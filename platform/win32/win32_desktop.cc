#include "platform/win32/win32_desktop.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace lumorel {
namespace {

// A text value of a key as the system holds it, at most a path's length;
// the empty text when there is none or it does not fit.
std::string readPathValue(HKEY root, const char* key, const char* name) {
  HKEY opened;
  if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return "";
  char buffer[MAX_PATH];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  const LONG error =
      RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  if (error != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
  std::string value(buffer, size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

bool writeWhole(std::string_view path, std::string_view bytes, DWORD disposition) {
  HANDLE file = CreateFileA(std::string(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                               nullptr) &&
                     written == bytes.size();
  return CloseHandle(file) && whole;
}

}  // namespace

std::string Win32Desktop::modulePath() {
  char buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameA(module_, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

std::string Win32Desktop::browserPath() {
  return readPathValue(HKEY_LOCAL_MACHINE,
                       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE",
                       nullptr);
}

std::string Win32Desktop::programsFolder() {
  std::string folder = readPathValue(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "Programs");
  if (!folder.empty()) return folder;
  // A profile that never had its shell folders recorded: ask the shell.
  char buffer[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, 0, buffer))) {
    return buffer;
  }
  return "";
}

std::string Win32Desktop::windowsFolder() {
  char buffer[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

bool Win32Desktop::createFolder(std::string_view path) {
  return CreateDirectoryA(std::string(path).c_str(), nullptr) != 0;
}

bool Win32Desktop::removeEmptyFolder(std::string_view path) {
  return RemoveDirectoryA(std::string(path).c_str()) != 0;
}

bool Win32Desktop::deleteFile(std::string_view path) {
  return DeleteFileA(std::string(path).c_str()) != 0;
}

bool Win32Desktop::writeNewFile(std::string_view path, std::string_view bytes) {
  return writeWhole(path, bytes, CREATE_NEW);
}

bool Win32Desktop::writeFile(std::string_view path, std::string_view bytes) {
  return writeWhole(path, bytes, CREATE_ALWAYS);
}

HResult Win32Desktop::writeShellLink(std::string_view path, std::string_view target,
                                     std::string_view arguments, std::string_view description,
                                     std::string_view iconPath, int iconIndex) {
  // The link's texts live in buffers of a path's length.
  if (path.size() >= MAX_PATH || arguments.size() >= MAX_PATH) return E_INVALIDARG;
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return hr;
  link->SetPath(std::string(target).c_str());
  link->SetArguments(std::string(arguments).c_str());
  link->SetDescription(std::string(description).c_str());
  link->SetIconLocation(std::string(iconPath).c_str(), iconIndex);
  IPersistFile* file = nullptr;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    wchar_t wide[MAX_PATH];
    const int n = MultiByteToWideChar(CP_ACP, 0, std::string(path).c_str(), -1, wide, MAX_PATH);
    hr = n > 0 ? file->Save(wide, TRUE) : E_INVALIDARG;
    file->Release();
  }
  link->Release();
  return hr;
}

}  // namespace lumorel
