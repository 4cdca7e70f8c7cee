#include "platform/win32/com/control_window.h"

#include "control/enum_img.h"
#include "platform/win32/com/module.h"

namespace lumorel {
namespace {

// Work posted from any thread, run in order on the UI thread.
constexpr UINT kPostedMessage = WM_APP + 1;
constexpr char kClassName[] = "LumorelControlWindow";

ATOM registerClass() {
  static const ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcA;  // replaced per window below
    wc.hInstance = Module::instance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  return atom;
}

}  // namespace

ControlWindow::ControlWindow(std::function<void(int32_t)> fire,
                             std::function<void(HDC, const RECT&)> draw)
    : fire_(std::move(fire)), draw_(std::move(draw)) {
  registerClass();
  messages_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              Module::instance(), nullptr);
  if (messages_) {
    SetWindowLongPtrA(messages_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(messages_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc));
  }
}

ControlWindow::~ControlWindow() {
  stopTimer();
  destroyChild();
  if (messages_) DestroyWindow(messages_);
}

void ControlWindow::post(std::function<void()> task) {
  {
    MutexLock lock(mu_);
    posted_.push_back(std::move(task));
  }
  if (messages_) PostMessageA(messages_, kPostedMessage, 0, 0);
}

bool ControlWindow::startTimer(uint32_t periodMs, std::function<void()> tick) {
  if (!messages_) return false;
  tick_ = std::move(tick);
  // The same identifier again replaces the running timer.
  if (SetTimer(messages_, EnumImg::kHeartbeatTimerId, periodMs, nullptr) == 0) {
    tick_ = nullptr;
    return false;
  }
  return true;
}

void ControlWindow::stopTimer() {
  if (messages_) KillTimer(messages_, EnumImg::kHeartbeatTimerId);
  // A tick already queued still finds a tick to run.
}

HWND ControlWindow::createChild(HWND parent, const RECT& position) {
  const int width = position.right - position.left;
  const int height = position.bottom - position.top;
  if (child_) {
    if (GetParent(child_) != parent) SetParent(child_, parent);
    MoveWindow(child_, position.left, position.top, width, height, TRUE);
    return child_;
  }
  child_ = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                           position.left, position.top, width, height, parent, nullptr,
                           Module::instance(), nullptr);
  if (child_) {
    SetWindowLongPtrA(child_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(child_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc));
  }
  return child_;
}

void ControlWindow::destroyChild() {
  if (!child_) return;
  HWND child = child_;
  child_ = nullptr;
  DestroyWindow(child);
}

LRESULT CALLBACK ControlWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return DefWindowProcA(window, message, wParam, lParam);
  return self->handle(window, message, wParam, lParam);
}

LRESULT ControlWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kPostedMessage:
      runPosted();
      return 0;
    case kCompletionMessage:
      fire_(static_cast<int32_t>(lParam));
      return 1;
    case WM_TIMER:
      if (wParam == EnumImg::kHeartbeatTimerId && tick_) {
        // A copy: the tick may start or stop the timer.
        auto tick = tick_;
        tick();
      }
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT bounds;
      GetClientRect(window, &bounds);
      draw_(dc, bounds);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void ControlWindow::runPosted() {
  // One task per message: a task that opens a dialog runs a message loop of
  // its own, and later tasks then run from there, in order.
  std::function<void()> task;
  {
    MutexLock lock(mu_);
    if (posted_.empty()) return;
    task = std::move(posted_.front());
    posted_.pop_front();
  }
  task();
}

}  // namespace lumorel
