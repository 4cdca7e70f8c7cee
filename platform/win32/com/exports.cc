// The module's entry point and its four exports.
#include <windows.h>

#include "install/com_registration.h"
#include "platform/win32/com/module.h"
#include "platform/win32/win32_com_services.h"
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
  // The desktop integration (shortcuts, context-menu pages and keys, the
  // scheme's command, the settings key) is installed here, after the COM
  // registration; its failures are not reported.
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  // The desktop integration is removed here, before the COM registration.
  lumorel::Win32Registry registry;
  lumorel::Win32ComServices com;
  lumorel::unregisterComServer(registry, com);
  return S_OK;
}
