#include <time.h>

#include <cerrno>

#include "platform/clock.h"

namespace lumorel {
namespace {

class PosixClock final : public Clock {
 public:
  uint32_t tickCount() override {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
  }

  void sleep(uint32_t ms) override {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
};

}  // namespace

Clock& Clock::system() {
  static PosixClock* clock = new PosixClock;  // never destroyed: workers may outlive main
  return *clock;
}

}  // namespace lumorel
