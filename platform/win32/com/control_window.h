// The control's window on its UI thread: where posted work, the heartbeat
// timer and the completion message arrive, and what the control draws into.
#ifndef LUMOREL_PLATFORM_WIN32_COM_CONTROL_WINDOW_H_
#define LUMOREL_PLATFORM_WIN32_COM_CONTROL_WINDOW_H_

#include <windows.h>

#include <deque>
#include <functional>

#include "platform/mutex.h"
#include "platform/ui_thread.h"

namespace lumorel {

// The completion message: lParam is the DISPID of the event to fire.
inline constexpr UINT kCompletionMessage = WM_USER + 1;

// A message-only window, made on the thread that makes the control and
// living as long as the control, so posted work and timer ticks reach the
// control whether or not its container ever shows it. A container that
// activates the control in place gets a child window of its own
// (createChild), which draws the control's face and takes the same
// messages.
//
// Thread safety: post() from any thread; everything else on the UI thread.
class ControlWindow final : public UiThread {
 public:
  // `fire` runs for a completion message with its DISPID; `draw` paints the
  // control's face into a device context within a rectangle.
  ControlWindow(std::function<void(int32_t dispid)> fire,
                std::function<void(HDC dc, const RECT& bounds)> draw);
  ~ControlWindow() override;

  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  void post(std::function<void()> task) override;
  bool startTimer(uint32_t periodMs, std::function<void()> tick) override;
  void stopTimer() override;

  // The child window within `parent` at `position`; made on first call,
  // moved on later ones. Null when it cannot be made.
  HWND createChild(HWND parent, const RECT& position);
  void destroyChild();
  // The child window, else the message-only one.
  HWND window() const { return child_ ? child_ : messages_; }

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void runPosted();

  const std::function<void(int32_t)> fire_;
  const std::function<void(HDC, const RECT&)> draw_;
  HWND messages_ = nullptr;
  HWND child_ = nullptr;
  std::function<void()> tick_;

  Mutex mu_;
  std::deque<std::function<void()>> posted_ LM_GUARDED_BY(mu_);
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_CONTROL_WINDOW_H_
