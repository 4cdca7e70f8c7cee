// What the tests of the module share: they use LMCntl.dll only as a browser
// would, through COM and the system's registry and URL machinery.
#ifndef LUMOREL_TESTS_WINE_CLIENT_H_
#define LUMOREL_TESTS_WINE_CLIENT_H_

#include <windows.h>

#include <oaidl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumorel::wine {

// The module's full Windows path, from LUMOREL_MODULE.
std::string modulePath();
// A folder of the checkout as a Windows path, from the variable `name`.
std::string folderFromEnvironment(const char* name);

// Runs the thread's messages until `done` says so; false when `limitMs`
// passed first. The limit only guards against a hang: the wait ends as
// soon as `done` holds.
bool pumpUntil(const std::function<bool()>& done, DWORD limitMs = 20000);

// A registry value as the tests compare it.
struct RegValue {
  DWORD type = 0;
  std::string text;  // REG_SZ without its NUL
  DWORD number = 0;  // REG_DWORD
};
// The value `name` (empty: the default) of HKCR\`key`; nullopt when the key
// or the value is missing.
std::optional<RegValue> readValue(HKEY root, const std::string& key, const std::string& name);
bool keyExists(HKEY root, const std::string& key);
// Names of the values of a key (the default value as "").
std::vector<std::string> valueNames(HKEY root, const std::string& key);
std::vector<std::string> subkeyNames(HKEY root, const std::string& key);

// UTF-16 and back, by the ANSI code page.
std::wstring wide(const std::string& text);
std::string narrow(const wchar_t* text);

// Calls a member of `object` by name through IDispatch, as script does.
HRESULT callByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                   VARIANT* result);

// The export `name` of `module` as a function of type F; null when missing.
template <typename F>
F entryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A file's whole bytes; nullopt when it cannot be read.
std::optional<std::string> readFile(const std::string& path);

}  // namespace lumorel::wine

#endif  // LUMOREL_TESTS_WINE_CLIENT_H_
