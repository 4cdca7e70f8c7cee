// Times the folder scanner against `find` on the same tree, in one run.
//
//   bench/make_tree.py /tmp/lumorel-bench-tree
//   build/bench/scan_bench /tmp/lumorel-bench-tree [rounds]
//
// Each round runs `find TREE -type f -printf '%s %p\n' > /dev/null` and the
// recursive scan in folder order, shuffled, and in the organizer's sorted
// mode, one after another, so all meet the same cache and load. Prints the
// median of each and the ratios to find and to the folder-order scan; the
// sorted scan compares best with the unshuffled two-pass scan.
//
// "scan again" is the folder-order scan on a catalogue that already holds
// the lists of an earlier one, as when a user picks another folder: the
// time runs until the scan's lists are complete, freeing the old ones
// included as far as the scan waits for it.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/list_freer.h"
#include "catalogue/scanner.h"
#include "platform/clock.h"
#include "platform/file_system.h"

extern char** environ;

namespace lumorel {
namespace {

using Seconds = std::chrono::duration<double>;

// A UI thread that drops what is posted: the benchmark waits for no event.
class NoUi final : public UiThread {
 public:
  void post(std::function<void()>) override {}
  bool startTimer(uint32_t, std::function<void()>) override { return false; }
  void stopTimer() override {}
};

double timeFind(const std::string& tree) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::string format = "%s %p\n";
  const char* argv[] = {"find", tree.c_str(), "-type", "f", "-printf", format.c_str(), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, "find", &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) {
    std::fprintf(stderr, "scan_bench: cannot start find\n");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Seconds took = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "scan_bench: find failed\n");
    std::exit(1);
  }
  return took.count();
}

struct ScanResult {
  double seconds;
  uint32_t pictures;
  uint32_t folders;
};

// Makes no thread: a scan then reads every folder on its own thread.
class NoThreads final : public ThreadFactory {
 public:
  std::unique_ptr<WorkerThread> start(std::function<void()>, ThreadPriority) override {
    return nullptr;
  }
};

// Scans `tree` into `state` on this thread and times it; `threads` makes the
// scan's read-ahead thread.
ScanResult timeScan(CatalogueState& state, const std::string& tree, int16_t recurseMode,
                    int16_t orderMode, ThreadFactory& threads) {
  static NoUi ui;
  state.rootPath = tree.back() == '/' ? tree : tree + "/";
  state.recurseMode = recurseMode;
  state.orderMode = orderMode;
  state.port = std::make_shared<CompletionPort>(ui, [](int) {});
  WorkerServices services{FileSystem::system(), Clock::system(), ListFreer::forProcess(),
                          threads};
  auto start = std::chrono::steady_clock::now();
  scanThread(state, services);
  Seconds took = std::chrono::steady_clock::now() - start;
  return {took.count(), state.pictureList->count(), state.folderList->count()};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: scan_bench TREE [rounds]  (make TREE with bench/make_tree.py)\n");
    return 2;
  }
  const std::string tree = argv[1];
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 12;

  struct Mode {
    const char* name;
    int16_t recurse, order;
    bool sameCatalogue = false;  // scans the catalogue of the mode's earlier rounds
    bool oneThread = false;      // reads no folder ahead
    std::vector<double> times;
    ScanResult last{};
  };
  std::vector<Mode> modes{
      {"scan, folder order", 1, 0, false, false, {}, {}},
      {"scan, shuffled pictures", 1, 1, false, false, {}, {}},
      {"scan, shuffled folders", 1, 2, false, false, {}, {}},
      {"scan, two passes unshuffled", 1, -1, false, false, {}, {}},
      // The organizer's sorted mode; with a non-zero order every folder is
      // taken, so all the tree's pictures are sorted.
      {"scan, sorted, two passes", 2, -1, false, false, {}, {}},
      {"scan again, same catalogue", 1, 0, true, false, {}, {}},
      {"scan, folder order, 1 thread", 1, 0, false, true, {}, {}},
  };
  std::vector<double> findTimes;
  CatalogueState reused;
  timeFind(tree);  // warm the cache for all
  NoThreads noThreads;
  timeScan(reused, tree, 1, 0, ThreadFactory::system());
  // The scan that follows find runs slower than the others (find leaves
  // the processor's caches to it cold), so each round starts with another
  // mode and every mode takes that place as often as the others.
  for (int round = 0; round < rounds; ++round) {
    findTimes.push_back(timeFind(tree));
    for (std::size_t k = 0; k < modes.size(); ++k) {
      Mode& mode = modes[(round + k) % modes.size()];
      CatalogueState fresh;
      mode.last = timeScan(mode.sameCatalogue ? reused : fresh, tree, mode.recurse, mode.order,
                           mode.oneThread ? static_cast<ThreadFactory&>(noThreads)
                                          : ThreadFactory::system());
      mode.times.push_back(mode.last.seconds);
    }
  }

  const double find = median(findTimes);
  const double folderOrder = median(modes[0].times);
  std::printf("tree %s, median of %d rounds\n", tree.c_str(), rounds);
  std::printf("%-28s %9.1f ms\n", "find -printf", find * 1e3);
  for (const Mode& mode : modes) {
    double t = median(mode.times);
    std::printf("%-28s %9.1f ms  %6u pictures %5u folders  %.2f x find  %.2f x folder order\n",
                mode.name, t * 1e3, mode.last.pictures, mode.last.folders, t / find,
                t / folderOrder);
  }
  return 0;
}

}  // namespace
}  // namespace lumorel

int main(int argc, char** argv) { return lumorel::run(argc, argv); }
