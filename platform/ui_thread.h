// The thread that owns a control: every script call, event and timer tick of
// the control runs there, one after another.
#ifndef LUMOREL_PLATFORM_UI_THREAD_H_
#define LUMOREL_PLATFORM_UI_THREAD_H_

#include <cstdint>
#include <functional>

namespace lumorel {

class UiThread {
 public:
  virtual ~UiThread() = default;

  // Queues `task` to run on the UI thread after everything queued before it.
  // Callable from any thread; never runs `task` before returning.
  virtual void post(std::function<void()> task) = 0;

  // Starts the periodic timer, replacing a running one: `tick` runs on the UI
  // thread every `periodMs` milliseconds, the first time one period from now.
  // Returns false when no timer could be started. UI thread only.
  virtual bool startTimer(uint32_t periodMs, std::function<void()> tick) = 0;

  // Stops further ticks. A tick already queued as a task still runs.
  // UI thread only.
  virtual void stopTimer() = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_UI_THREAD_H_
