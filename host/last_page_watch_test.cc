#include "host/last_page_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumorel {
namespace {

using std::chrono::milliseconds;

// One sample: the time since the start, whether a page is alive then, and
// whether the host should end after it.
struct Sample {
  int atMs;
  bool alive;
  bool ends;
};

TEST(LastPageWatch, EndsOnlyAfterTheGraceWithNoPage) {
  const milliseconds grace{5000};
  struct Case {
    const char* name;
    std::vector<Sample> samples;
  } cases[] = {
      {"no page ever came: the user may still open the address",
       {{0, false, false}, {5000, false, false}, {60000, false, false}}},
      {"the last page goes: the grace counts from the first sample without it",
       {{0, true, false}, {1000, false, false}, {5999, false, false}, {6000, false, true}}},
      {"a page that comes back within the grace keeps the host",
       {{0, true, false}, {1000, false, false}, {5000, true, false}, {9000, false, false},
        {13999, false, false}, {14000, false, true}}},
      {"pages that stay keep it however long",
       {{0, true, false}, {100000, true, false}, {200000, true, false}}},
      {"a page that comes late is watched from then on",
       {{0, false, false}, {30000, true, false}, {31000, false, false}, {36000, false, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LastPageWatch watch(grace);
    const LastPageWatch::TimePoint start{};
    for (const Sample& s : c.samples) {
      EXPECT_EQ(watch.shouldEnd(s.alive, start + milliseconds(s.atMs)), s.ends) << "at " << s.atMs;
    }
  }
}

}  // namespace
}  // namespace lumorel
