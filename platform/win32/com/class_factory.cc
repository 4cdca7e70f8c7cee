#include "platform/win32/com/class_factory.h"

#include "platform/win32/com/module.h"

namespace lumorel {

ClassFactory::ClassFactory(CreateInstanceFn create, bool aggregatable)
    : create_(create), aggregatable_(aggregatable) {}

HRESULT STDMETHODCALLTYPE ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ClassFactory::AddRef() {
  // The module's own reference is the first; every further one locks it.
  const ULONG refs = refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (refs >= 2) Module::lock();
  return refs;
}

ULONG STDMETHODCALLTYPE ClassFactory::Release() {
  const ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) {
    delete this;
  } else {
    Module::unlock();
  }
  return refs;
}

HRESULT STDMETHODCALLTYPE ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer && (!aggregatable_ || !IsEqualIID(iid, IID_IUnknown))) return CLASS_E_NOAGGREGATION;
  return create_(outer, iid, out);
}

HRESULT STDMETHODCALLTYPE ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    Module::lock();
  } else {
    Module::unlock();
  }
  return S_OK;
}

}  // namespace lumorel
