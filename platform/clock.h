// Time as the engine sees it: a millisecond tick count and sleeping.
#ifndef LUMOREL_PLATFORM_CLOCK_H_
#define LUMOREL_PLATFORM_CLOCK_H_

#include <cstdint>

namespace lumorel {

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start, wrapping at 2^32. Any thread.
  virtual uint32_t tickCount() = 0;

  // Blocks the calling thread for about `ms` milliseconds. Any thread.
  virtual void sleep(uint32_t ms) = 0;

  // The platform's clock; lives for the whole process.
  static Clock& system();
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_CLOCK_H_
