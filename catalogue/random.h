// The engine's one random source, shared by every thread: shuffles and the
// random jump draw from it.
#ifndef LUMOREL_CATALOGUE_RANDOM_H_
#define LUMOREL_CATALOGUE_RANDOM_H_

#include <cstdint>

namespace lumorel {

// The next value of a linear congruential generator: state = state × 69069 + 1
// (mod 2^32), returned. The first call of the process seeds the state with the
// millisecond tick count minus 365387184. Any thread; every value is handed
// out once.
uint32_t nextRandom();

// Sets the state, as if seeded, so tests can replay a sequence.
void seedRandom(uint32_t state);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_RANDOM_H_
