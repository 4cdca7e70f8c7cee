// The class object of one of the module's classes: IClassFactory over a
// function that makes an instance.
#ifndef LUMOREL_PLATFORM_WIN32_COM_CLASS_FACTORY_H_
#define LUMOREL_PLATFORM_WIN32_COM_CLASS_FACTORY_H_

#include <windows.h>

#include <atomic>

namespace lumorel {

// Makes an instance, aggregated by `outer` when not null (the caller has
// checked that `iid` is IID_IUnknown then), and asks it for `iid`.
using CreateInstanceFn = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

// The module keeps one reference on each class object it made; every other
// reference counts as a lock on the module, so the module stays loaded while
// a client holds a class object.
class ClassFactory final : public IClassFactory {
 public:
  // `aggregatable`: whether an instance may be made with an outer object.
  ClassFactory(CreateInstanceFn create, bool aggregatable);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;

  const CreateInstanceFn create_;
  const bool aggregatable_;
  std::atomic<ULONG> refs_{1};  // the module's own
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_CLASS_FACTORY_H_
