#include "tests/wine/client.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lumorel::wine {

std::string modulePath() { return folderFromEnvironment("LUMOREL_MODULE"); }

std::string folderFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool pumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= limitMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - spent, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return true;
}

std::optional<RegValue> readValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  const char* valueName = name.empty() ? nullptr : name.c_str();
  LONG error = RegQueryValueExA(opened, valueName, nullptr, &type, nullptr, &size);
  std::string bytes(size, '\0');
  if (error == ERROR_SUCCESS) {
    error = RegQueryValueExA(opened, valueName, nullptr, &type,
                             reinterpret_cast<BYTE*>(bytes.data()), &size);
  }
  RegCloseKey(opened);
  if (error != ERROR_SUCCESS) return std::nullopt;
  RegValue value;
  value.type = type;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    std::memcpy(&value.number, bytes.data(), sizeof(DWORD));
  } else {
    bytes.resize(size);
    while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    value.text = bytes;
  }
  return value;
}

bool keyExists(HKEY root, const std::string& key) {
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

namespace {

// The names an enumeration function gives for index 0, 1, ... of a key.
template <typename Enumerate>
std::vector<std::string> namesOf(HKEY root, const std::string& key, Enumerate enumerate) {
  std::vector<std::string> names;
  HKEY opened;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD size = sizeof name;
    if (enumerate(opened, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, size);
  }
  RegCloseKey(opened);
  return names;
}

}  // namespace

std::vector<std::string> valueNames(HKEY root, const std::string& key) {
  return namesOf(root, key, RegEnumValueA);
}

std::vector<std::string> subkeyNames(HKEY root, const std::string& key) {
  return namesOf(root, key, RegEnumKeyExA);
}

std::wstring wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
  out.resize(out.empty() ? 0 : out.size() - 1);
  return out;
}

std::string narrow(const wchar_t* text) {
  if (!text) return "";
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(out.empty() ? 0 : out.size() - 1);
  return out;
}

HRESULT callByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                   VARIANT* result) {
  DISPID dispid;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) return hr;
  // IDispatch takes the arguments last first.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &named;
    params.cNamedArgs = 1;
  }
  if (result) VariantInit(result);
  hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                      nullptr);
  for (VARIANT& arg : args) VariantClear(&arg);
  return hr;
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace lumorel::wine
