#include <windows.h>

#include <functional>

#include "platform/worker_thread.h"

namespace lumorel {
namespace {

int win32Priority(ThreadPriority priority) {
  switch (priority) {
    case ThreadPriority::kLowest:
      return THREAD_PRIORITY_LOWEST;
    case ThreadPriority::kNormal:
      return THREAD_PRIORITY_NORMAL;
    case ThreadPriority::kAboveNormal:
      return THREAD_PRIORITY_ABOVE_NORMAL;
    case ThreadPriority::kHighest:
      return THREAD_PRIORITY_HIGHEST;
  }
  return THREAD_PRIORITY_NORMAL;
}

// The body travels to the new thread on the heap; the thread frees it when
// the body returns, before the thread's handle is signalled, so whatever the
// body holds is let go before anyone is told that it has ended.
DWORD WINAPI runBody(void* parameter) {
  auto* body = static_cast<std::function<void()>*>(parameter);
  (*body)();
  delete body;
  return 0;
}

// The thread's own handle is the only shared state: it is signalled when the
// thread ends, and closing it leaves the thread running.
class Win32WorkerThread final : public WorkerThread {
 public:
  explicit Win32WorkerThread(HANDLE thread) : thread_(thread) {}
  ~Win32WorkerThread() override { CloseHandle(thread_); }

  Win32WorkerThread(const Win32WorkerThread&) = delete;
  Win32WorkerThread& operator=(const Win32WorkerThread&) = delete;

  void setPriority(ThreadPriority priority) override {
    // Best effort: a thread that has ended or refuses keeps what it has.
    SetThreadPriority(thread_, win32Priority(priority));
  }

  bool waitFor(uint32_t ms) override { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

  bool hasEnded() const override { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }

 private:
  const HANDLE thread_;
};

// Threads are made suspended, given their priority and only then let run, so
// the body never runs at the wrong priority.
class Win32ThreadFactory final : public ThreadFactory {
 public:
  std::unique_ptr<WorkerThread> start(std::function<void()> body,
                                      ThreadPriority priority) override {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    HANDLE thread = CreateThread(nullptr, 0, &runBody, owned.get(), CREATE_SUSPENDED, nullptr);
    if (!thread) return nullptr;
    owned.release();  // the thread's own now
    SetThreadPriority(thread, win32Priority(priority));
    ResumeThread(thread);
    return std::make_unique<Win32WorkerThread>(thread);
  }
};

}  // namespace

ThreadFactory& ThreadFactory::system() {
  static Win32ThreadFactory* factory = new Win32ThreadFactory;
  return *factory;
}

}  // namespace lumorel
