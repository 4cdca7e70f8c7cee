#include "platform/win32/com/module.h"

#include <atomic>
#include <mutex>

#include "platform/limits.h"
#include "platform/win32/com/class_factory.h"
#include "platform/win32/com/com_classes.h"

namespace lumorel {
namespace {

HINSTANCE gInstance = nullptr;
std::atomic<long> gLocks{0};

std::mutex gClassTableMu;
// One cached class object per class of the table, made on first request.
ClassFactory* gFactories[2] = {nullptr, nullptr};

}  // namespace

void Module::attach(HINSTANCE instance) { gInstance = instance; }

void Module::detach() {
  std::lock_guard<std::mutex> lock(gClassTableMu);
  for (ClassFactory*& factory : gFactories) {
    if (factory) factory->Release();
    factory = nullptr;
  }
}

HINSTANCE Module::instance() { return gInstance; }

std::string Module::path() {
  char buffer[kMaxPath];
  const DWORD n = GetModuleFileNameA(gInstance, buffer, sizeof buffer);
  // A path that filled the buffer was cut: better none than a wrong one.
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

void Module::lock() { gLocks.fetch_add(1, std::memory_order_relaxed); }
void Module::unlock() { gLocks.fetch_sub(1, std::memory_order_relaxed); }
long Module::lockCount() { return gLocks.load(std::memory_order_relaxed); }

HRESULT Module::classObject(REFCLSID clsid, REFIID iid, void** out) {
  const auto classes = moduleClasses();
  for (std::size_t i = 0; i < classes.size(); ++i) {
    if (!IsEqualCLSID(clsid, *classes[i].clsid)) continue;
    ClassFactory* factory;
    {
      std::lock_guard<std::mutex> lock(gClassTableMu);
      if (!gFactories[i]) gFactories[i] = new ClassFactory(classes[i].create, classes[i].aggregatable);
      factory = gFactories[i];
      // Held while asking, so a detach meanwhile cannot free it.
      factory->AddRef();
    }
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace lumorel
