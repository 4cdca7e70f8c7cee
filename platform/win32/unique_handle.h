// An owned Win32 handle (a file's), closed when it goes.
#ifndef LUMOREL_PLATFORM_WIN32_UNIQUE_HANDLE_H_
#define LUMOREL_PLATFORM_WIN32_UNIQUE_HANDLE_H_

#include <windows.h>

namespace lumorel {

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~UniqueHandle() { (void)close(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  // Takes `handle` in place of the one held, which is closed.
  void reset(HANDLE handle) {
    (void)close();
    handle_ = handle;
  }
  // Gives the handle up to the caller, who closes it.
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle;
  }
  // Closes the handle; false when it was not open or the close failed.
  bool close() {
    if (!valid()) return false;
    const bool ok = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE handle_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_UNIQUE_HANDLE_H_
