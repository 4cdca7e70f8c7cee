#include "catalogue/random.h"

#include <atomic>

#include "platform/clock.h"

namespace lumorel {
namespace {

// The state and whether it was seeded, packed in one word so that seeding and
// stepping are one atomic update each.
constexpr uint64_t kSeeded = uint64_t{1} << 32;
std::atomic<uint64_t> packedState{0};

uint32_t step(uint32_t state) { return state * 69069u + 1u; }

}  // namespace

uint32_t nextRandom() {
  uint64_t packed = packedState.load(std::memory_order_relaxed);
  uint64_t next;
  do {
    uint32_t state = packed & kSeeded ? static_cast<uint32_t>(packed)
                                      : Clock::system().tickCount() - 365387184u;
    next = kSeeded | step(state);
    // Relaxed is enough: the state carries no other data with it.
  } while (!packedState.compare_exchange_weak(packed, next, std::memory_order_relaxed));
  return static_cast<uint32_t>(next);
}

void seedRandom(uint32_t state) { packedState.store(kSeeded | state, std::memory_order_relaxed); }

}  // namespace lumorel
