// The window that shows the page hosting a control: the browser's frame on
// Windows, the page's own window in the browser host.
#ifndef LUMOREL_PLATFORM_HOST_WINDOW_H_
#define LUMOREL_PLATFORM_HOST_WINDOW_H_

#include <cstdint>
#include <optional>

namespace lumorel {

// A control may have no host window at all (made outside a browser); the
// control then holds a null pointer instead of one of these. Called on the
// control's UI thread only.
class HostWindow {
 public:
  virtual ~HostWindow() = default;

  // The window's size and position in screen pixels; nullopt when the
  // window cannot tell.
  virtual std::optional<int32_t> width() = 0;
  virtual std::optional<int32_t> height() = 0;
  virtual std::optional<int32_t> top() = 0;
  virtual std::optional<int32_t> left() = 0;

  // Resizes the window to `height` pixels, which makes it lay out and repaint
  // the page. False when it could not.
  virtual bool setHeight(int32_t height) = 0;

  // Closes the window that shows the page. False when it could not.
  virtual bool quit() = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_HOST_WINDOW_H_
