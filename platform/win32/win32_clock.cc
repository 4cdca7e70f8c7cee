#include <windows.h>

#include "platform/clock.h"

namespace lumorel {
namespace {

// GetTickCount wraps at 2^32 milliseconds, as the interface says.
class Win32Clock final : public Clock {
 public:
  uint32_t tickCount() override { return GetTickCount(); }
  void sleep(uint32_t ms) override { Sleep(ms); }
};

}  // namespace

Clock& Clock::system() {
  static Win32Clock* clock = new Win32Clock;  // never destroyed: workers may outlive main
  return *clock;
}

}  // namespace lumorel
