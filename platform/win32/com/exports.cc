// The module's entry point and its four exports.
#include <windows.h>

#include "install/com_registration.h"
#include "install/desktop_integration.h"
#include "platform/win32/com/module.h"
#include "platform/win32/com/module_services.h"
#include "platform/win32/win32_com_services.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_registry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    lumorel::Module::attach(instance);
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    lumorel::Module::detach();
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return lumorel::Module::lockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return lumorel::Module::classObject(clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  lumorel::Win32Registry registry;
  lumorel::Win32ComServices com;
  const HRESULT hr = lumorel::registerComServer(registry, com, lumorel::Module::path());
  if (FAILED(hr)) return hr;
  (void)lumorel::registerSafetyCategories(com);
  // The desktop: shortcuts, context-menu pages and entries, the scheme's
  // command, the settings key. Its failures are not reported.
  lumorel::Win32Desktop desktop(lumorel::Module::instance());
  lumorel::installDesktop(desktop, registry, lumorel::modulePages());
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  // The desktop and the settings first, the COM registration last.
  lumorel::Win32Registry registry;
  lumorel::Win32Desktop desktop(lumorel::Module::instance());
  lumorel::uninstallDesktop(desktop, registry);
  lumorel::Win32ComServices com;
  lumorel::unregisterComServer(registry, com);
  return S_OK;
}
