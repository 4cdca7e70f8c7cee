#include "platform/win32/com/browser_host_window.h"

#include <servprov.h>
#include <shlguid.h>

namespace lumorel {

IWebBrowserApp* findBrowser(IOleClientSite* site, HRESULT* failure) {
  HRESULT hr = E_FAIL;
  IWebBrowserApp* browser = nullptr;
  if (site) {
    IServiceProvider* provider = nullptr;
    hr = site->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider));
    if (SUCCEEDED(hr) && provider) {
      hr = provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowserApp,
                                  reinterpret_cast<void**>(&browser));
      provider->Release();
    }
  }
  if (failure) *failure = hr;
  return SUCCEEDED(hr) ? browser : nullptr;
}

std::optional<int32_t> BrowserHostWindow::read(HRESULT (STDMETHODCALLTYPE IWebBrowser::*get)(LONG*)) {
  IWebBrowserApp* browser = findBrowser(site_);
  if (!browser) return std::nullopt;
  LONG value = 0;
  const HRESULT hr = (browser->*get)(&value);
  browser->Release();
  if (FAILED(hr)) return std::nullopt;
  return value;
}

std::optional<int32_t> BrowserHostWindow::width() { return read(&IWebBrowser::get_Width); }
std::optional<int32_t> BrowserHostWindow::height() { return read(&IWebBrowser::get_Height); }
std::optional<int32_t> BrowserHostWindow::top() { return read(&IWebBrowser::get_Top); }
std::optional<int32_t> BrowserHostWindow::left() { return read(&IWebBrowser::get_Left); }

bool BrowserHostWindow::setHeight(int32_t height) {
  IWebBrowserApp* browser = findBrowser(site_);
  if (!browser) return false;
  const HRESULT hr = browser->put_Height(height);
  browser->Release();
  return SUCCEEDED(hr);
}

bool BrowserHostWindow::quit() {
  IWebBrowserApp* browser = findBrowser(site_);
  if (!browser) return false;
  const HRESULT hr = browser->Quit();
  browser->Release();
  return SUCCEEDED(hr);
}

}  // namespace lumorel
