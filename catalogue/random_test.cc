#include "catalogue/random.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace lumorel {
namespace {

TEST(NextRandom, IsTheLinearCongruentialSequence) {
  seedRandom(0);
  EXPECT_EQ(nextRandom(), 1u);
  EXPECT_EQ(nextRandom(), 69070u);
  EXPECT_EQ(nextRandom(), 69070u * 69069u + 1u);
  seedRandom(0xffffffffu);
  EXPECT_EQ(nextRandom(), 0xffffffffu * 69069u + 1u);  // wraps modulo 2^32
}

TEST(NextRandom, HandsEachValueOutOnceAcrossThreads) {
  seedRandom(12345);
  std::vector<uint32_t> expected;
  uint32_t state = 12345;
  for (int i = 0; i < 4000; ++i) expected.push_back(state = state * 69069u + 1u);

  std::vector<std::vector<uint32_t>> drawn(4);
  std::vector<std::thread> threads;
  for (auto& mine : drawn)
    threads.emplace_back([&mine] {
      for (int i = 0; i < 1000; ++i) mine.push_back(nextRandom());
    });
  for (auto& t : threads) t.join();

  std::multiset<uint32_t> all;
  for (auto& mine : drawn) all.insert(mine.begin(), mine.end());
  EXPECT_EQ(all, std::multiset<uint32_t>(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace lumorel
