#include "control/connection_point.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace lumorel {
namespace {

// Notes its calls in a shared log and runs an optional action inside them.
class ScriptedSink : public EventSink {
 public:
  ScriptedSink(std::string name, std::vector<std::string>& log, HResult answer = kSOk)
      : name_(std::move(name)), log_(log), answer_(answer) {}
  HResult invoke(int32_t dispid) override {
    log_.push_back(name_ + ":" + std::to_string(dispid));
    if (action) action();
    return answer_;
  }
  std::function<void()> action;

 private:
  const std::string name_;
  std::vector<std::string>& log_;
  const HResult answer_;
};

TEST(ConnectionPoint, SinksTakeTheFirstEmptySlotAndFireInSlotOrder) {
  std::vector<std::string> log;
  ConnectionPoint point;
  EXPECT_EQ(point.advise(nullptr), 0u);
  const uint32_t a = point.advise(std::make_shared<ScriptedSink>("a", log));
  const uint32_t b = point.advise(std::make_shared<ScriptedSink>("b", log, kEFail));
  const uint32_t c = point.advise(std::make_shared<ScriptedSink>("c", log));
  EXPECT_NE(a, 0u);
  point.fire(300);
  EXPECT_EQ(log, (std::vector<std::string>{"a:300", "b:300", "c:300"}))
      << "a failing sink does not stop the walk";

  ASSERT_TRUE(point.unadvise(a));
  EXPECT_FALSE(point.unadvise(a));
  EXPECT_FALSE(point.unadvise(0));
  EXPECT_FALSE(point.unadvise(99));
  const uint32_t d = point.advise(std::make_shared<ScriptedSink>("d", log));
  EXPECT_EQ(d, a) << "the freed first slot is reused";
  log.clear();
  point.fire(301);
  EXPECT_EQ(log, (std::vector<std::string>{"d:301", "b:301", "c:301"}));
  EXPECT_TRUE(point.unadvise(b));
  EXPECT_TRUE(point.unadvise(c));
  EXPECT_EQ(point.connected(), 1u);
}

TEST(ConnectionPoint, HandlersMayConnectAndDisconnectDuringTheWalk) {
  std::vector<std::string> log;
  ConnectionPoint point;
  auto first = std::make_shared<ScriptedSink>("first", log);
  auto second = std::make_shared<ScriptedSink>("second", log);
  const uint32_t firstCookie = point.advise(first);
  const uint32_t secondCookie = point.advise(second);
  point.advise(std::make_shared<ScriptedSink>("third", log));
  // The first handler disconnects the second, whose slot a new sink takes:
  // the new sink runs in this walk, the second does not.
  first->action = [&] {
    point.unadvise(secondCookie);
    point.advise(std::make_shared<ScriptedSink>("late", log));
    first->action = nullptr;
  };
  point.fire(302);
  EXPECT_EQ(log, (std::vector<std::string>{"first:302", "late:302", "third:302"}));

  // A handler that disconnects itself stays alive until it returns.
  log.clear();
  first->action = [&] { point.unadvise(firstCookie); };
  first.reset();  // the point's reference alone keeps it
  point.fire(303);
  EXPECT_EQ(log, (std::vector<std::string>{"first:303", "late:303", "third:303"}));
  EXPECT_EQ(point.connected(), 2u);
}

}  // namespace
}  // namespace lumorel
