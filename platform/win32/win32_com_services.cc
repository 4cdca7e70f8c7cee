#include "platform/win32/win32_com_services.h"

#include <windows.h>

#include <comcat.h>
#include <oleauto.h>

#include <string>

#include "platform/win32/win32_text.h"

namespace lumorel {
namespace {

HRESULT guidOf(std::string_view text, GUID& guid) {
  std::wstring w = ansiToWide(text).value_or(L"");
  return CLSIDFromString(w.data(), &guid);
}

class Win32CategoryManager final : public CategoryManager {
 public:
  explicit Win32CategoryManager(ICatRegister* manager) : manager_(manager) {}
  ~Win32CategoryManager() override { manager_->Release(); }

  HResult registerClassImplCategory(std::string_view clsid, std::string_view catid) override {
    CLSID cls;
    CATID cat;
    HRESULT hr = guidOf(clsid, cls);
    if (SUCCEEDED(hr)) hr = guidOf(catid, cat);
    if (SUCCEEDED(hr)) hr = manager_->RegisterClassImplCategories(cls, 1, &cat);
    return hr;
  }

  HResult unregisterClassImplCategory(std::string_view clsid, std::string_view catid) override {
    CLSID cls;
    CATID cat;
    HRESULT hr = guidOf(clsid, cls);
    if (SUCCEEDED(hr)) hr = guidOf(catid, cat);
    if (SUCCEEDED(hr)) hr = manager_->UnRegisterClassImplCategories(cls, 1, &cat);
    return hr;
  }

  HResult registerCategory(std::string_view catid, uint32_t locale,
                           std::u16string_view description) override {
    CATEGORYINFO info = {};
    HRESULT hr = guidOf(catid, info.catid);
    if (FAILED(hr)) return hr;
    info.lcid = locale;
    const std::size_t n = std::min<std::size_t>(description.size(), std::size(info.szDescription) - 1);
    for (std::size_t i = 0; i < n; ++i) info.szDescription[i] = static_cast<WCHAR>(description[i]);
    info.szDescription[n] = L'\0';
    return manager_->RegisterCategories(1, &info);
  }

 private:
  ICatRegister* const manager_;  // owned
};

}  // namespace

std::unique_ptr<CategoryManager> Win32ComServices::categoryManager() {
  ICatRegister* manager = nullptr;
  if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICatRegister, reinterpret_cast<void**>(&manager))) ||
      !manager) {
    return nullptr;
  }
  return std::make_unique<Win32CategoryManager>(manager);
}

HResult Win32ComServices::registerTypeLibrary(std::string_view modulePath) {
  std::wstring path = ansiToWide(modulePath).value_or(L"");
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLib(path.c_str(), &library);
  if (FAILED(hr)) {
    // A type library file beside the module, of the module's name.
    const std::size_t dot = path.rfind(L'.');
    const std::size_t slash = path.rfind(L'\\');
    if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) path.resize(dot);
    path += L".tlb";
    hr = LoadTypeLib(path.c_str(), &library);
  }
  if (FAILED(hr)) return hr;
  std::wstring helpFolder = path;
  const std::size_t slash = helpFolder.rfind(L'\\');
  helpFolder.resize(slash == std::wstring::npos ? 0 : slash + 1);
  hr = RegisterTypeLib(library, path.data(), helpFolder.data());
  library->Release();
  return hr;
}

}  // namespace lumorel
