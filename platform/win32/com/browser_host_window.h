// The window of the browser that hosts the control, reached through the
// container's client site: what the control's placement members and QuitIt
// act on.
#ifndef LUMOREL_PLATFORM_WIN32_COM_BROWSER_HOST_WINDOW_H_
#define LUMOREL_PLATFORM_WIN32_COM_BROWSER_HOST_WINDOW_H_

#include <windows.h>

#include <exdisp.h>

#include "platform/host_window.h"

namespace lumorel {

// The application object of the browser window that shows the page, from
// the client site (IServiceProvider, then the web browser application
// service), with a reference the caller releases; null when there is none.
// `failure` receives the failing step's code.
IWebBrowserApp* findBrowser(IOleClientSite* site, HRESULT* failure = nullptr);

// Asks the browser anew on every call, so it always acts on the window that
// shows the page now. The client site is borrowed.
class BrowserHostWindow final : public HostWindow {
 public:
  explicit BrowserHostWindow(IOleClientSite* site) : site_(site) {}

  std::optional<int32_t> width() override;
  std::optional<int32_t> height() override;
  std::optional<int32_t> top() override;
  std::optional<int32_t> left() override;
  bool setHeight(int32_t height) override;
  bool quit() override;

 private:
  std::optional<int32_t> read(HRESULT (STDMETHODCALLTYPE IWebBrowser::*get)(LONG*));

  IOleClientSite* const site_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_BROWSER_HOST_WINDOW_H_
