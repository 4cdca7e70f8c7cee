// The host window of a control in the browser host: the window that shows
// its page, as the page's bridge last reported it. Quitting and resizing are
// requests on the page's event stream.
#ifndef LUMOREL_HOST_PAGE_WINDOW_H_
#define LUMOREL_HOST_PAGE_WINDOW_H_

#include <optional>
#include <string>

#include "host/event_stream.h"
#include "platform/host_window.h"

namespace lumorel {

// The window's place in screen pixels, as the page reports it with a call.
struct WindowPlacement {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// UI thread only (the control's), like every HostWindow. `stream` is
// borrowed and outlives this.
class PageWindow final : public HostWindow {
 public:
  explicit PageWindow(EventStream& stream) : stream_(stream) {}

  // The placement the page reported with its latest call.
  void setPlacement(const WindowPlacement& placement) { placement_ = placement; }

  // Nothing until the page has reported its placement.
  std::optional<int32_t> width() override { return field(&WindowPlacement::width); }
  std::optional<int32_t> height() override { return field(&WindowPlacement::height); }
  std::optional<int32_t> top() override { return field(&WindowPlacement::top); }
  std::optional<int32_t> left() override { return field(&WindowPlacement::left); }

  // Asks the page to resize its window ("resize" with the height); the
  // browser lays the page out again by itself either way.
  bool setHeight(int32_t height) override {
    if (placement_) placement_->height = height;
    stream_.send("resize", "{\"height\":" + std::to_string(height) + "}");
    return true;
  }

  // Asks the page to close its window ("quit").
  bool quit() override {
    stream_.send("quit", "{}");
    return true;
  }

 private:
  std::optional<int32_t> field(int32_t WindowPlacement::*member) const {
    if (!placement_) return std::nullopt;
    return (*placement_).*member;
  }

  EventStream& stream_;
  std::optional<WindowPlacement> placement_;
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_PAGE_WINDOW_H_
