// A hundred pages at once against a host on loopback: each holds its event
// stream (with a heartbeat running) and calls members over and over. No
// request may fail, and the host's memory must stay flat from one round to
// the next. Bounded by the count of calls, not by time.
#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "host/host_test_util.h"

namespace lumorel {
namespace {

constexpr int kClients = 100;
constexpr int kCallsPerRound = 20;
constexpr int kRounds = 5;

// The resident size of this process in KiB.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

class HostLoadTest : public HostTest {};

TEST_F(HostLoadTest, AHundredPagesCallAndListenWithoutAFailure) {
  start();
  std::vector<std::string> ids;
  std::vector<std::unique_ptr<EventReader>> streams;
  for (int i = 0; i < kClients; ++i) {
    ids.push_back(create());
    ASSERT_FALSE(ids.back().empty());
    streams.push_back(events(ids.back()));
  }
  std::atomic<int> failures{0};
  std::atomic<int> calls{0};
  auto round = [&] {
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
      clients.emplace_back([&, i] {
        httplib::Client client("127.0.0.1", port());
        client.set_keep_alive(true);
        client.set_read_timeout(30, 0);
        const std::string path = controlPath(ids[i], "/call");
        const std::string bodies[] = {
            R"({"member":"Version","kind":"get","args":[]})",
            R"({"member":"FileCount","kind":"get","args":[]})",
            R"({"member":"Preference","kind":"put","args":["Load)" + std::to_string(i) +
                R"(","x"]})",
            R"({"member":"StartTimer","kind":"method","args":[10]})",
        };
        for (int k = 0; k < kCallsPerRound; ++k) {
          auto result = client.Post(path, headers(), bodies[k % 4], "application/json");
          calls.fetch_add(1, std::memory_order_relaxed);
          if (!result || result->status != 200) {
            if (failures.fetch_add(1, std::memory_order_relaxed) < 5)
              ADD_FAILURE() << (result ? std::to_string(result->status) + " " + result->body
                                       : "error " + httplib::to_string(result.error()));
          }
        }
      });
    }
    for (auto& t : clients) t.join();
  };
  // Two rounds to warm up: threads, connections and the allocator's pools.
  round();
  round();
  const long before = residentKiB();
  for (int r = 2; r < kRounds; ++r) round();
  const long after = residentKiB();
  EXPECT_EQ(failures.load(), 0) << "of " << calls.load() << " calls";
  // Every stream still gets its control's ticks.
  for (int i = 0; i < kClients; ++i) EXPECT_TRUE(streams[i]->next("OnTimer")) << i;
  if (!kSanitized) {
    // The sanitizers keep freed memory aside on purpose; only a plain build
    // tells whether the host holds on to what it no longer needs.
    EXPECT_LT(after - before, 16 * 1024) << "KiB before " << before << ", after " << after;
  }
  streams.clear();
  for (const std::string& id : ids)
    EXPECT_EQ(answerOf(httplib::Client("127.0.0.1", port()).Delete(controlPath(id), headers()))
                  .status,
              204);
  EXPECT_EQ(server_->registry().size(), 0u);
}

}  // namespace
}  // namespace lumorel
