// The module object of LMCntl.dll: its instance, the count that decides
// whether the module may be unloaded, and the class objects it hands out.
#ifndef LUMOREL_PLATFORM_WIN32_COM_MODULE_H_
#define LUMOREL_PLATFORM_WIN32_COM_MODULE_H_

#include <windows.h>

#include <string>

namespace lumorel {

class Module {
 public:
  // The module instance given at process attach.
  static void attach(HINSTANCE instance);
  // Process detach: lets go of the cached class objects.
  static void detach();

  static HINSTANCE instance();
  // The module file's full path, as the system reports it for the instance.
  static std::string path();

  // The unload count: live objects of either class, LockServer(TRUE) calls,
  // outside references to class objects, and running protocol workers.
  // Any thread.
  static void lock();
  static void unlock();
  static long lockCount();

  // The class object of `clsid`, made on first request under the class
  // table's lock and kept until detach, asked for `iid`.
  // CLASS_E_CLASSNOTAVAILABLE for a class the module does not have.
  static HRESULT classObject(REFCLSID clsid, REFIID iid, void** out);
};

// Counts a live object for as long as it lives.
class ModuleLock {
 public:
  ModuleLock() { Module::lock(); }
  ~ModuleLock() { Module::unlock(); }
  ModuleLock(const ModuleLock&) = delete;
  ModuleLock& operator=(const ModuleLock&) = delete;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_MODULE_H_
