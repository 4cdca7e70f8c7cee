// Times the duplicate finder against the duplicate finders a user would pick
// instead, on the same tree, in one run, and checks that all find the same
// duplicate files.
//
//   bench/make_duplicate_tree.py /tmp/lumorel-dup-tree
//   build/bench/dup_bench /tmp/lumorel-dup-tree [rounds]
//
// Lumorel's side is what the pages do, through the catalogue the host's
// control holds: SetParentDir for a recursive scan in folder order, then
// RestrictOnlyDuplicates(0, 1), each timed to its event. One catalogue
// serves every round, as one control serves a user who runs the finder
// again. Each round runs every tool once, one after another, after one
// warm-up round, so all meet a warm cache.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "catalogue/image_catalogue.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/worker_thread.h"

extern char** environ;

namespace lumorel {
namespace {

using Seconds = std::chrono::duration<double>;
using FileSet = std::set<std::string>;

// The benchmark's main thread as the catalogue's UI thread: what a worker
// posts is queued and run while the main thread waits for an event.
class BenchUi final : public UiThread {
 public:
  void post(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mu_);
    tasks_.push_back(std::move(task));
    cv_.notify_all();
  }
  bool startTimer(uint32_t, std::function<void()>) override { return false; }
  void stopTimer() override {}

  // Runs posted tasks until one of them has fired `dispid`.
  void runUntil(int dispid) {
    while (fired_ != dispid) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    fired_ = 0;
  }
  void fired(int dispid) { fired_ = dispid; }  // on the main thread, from a task

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  int fired_ = 0;
};

struct Peer {
  std::string name;
  std::vector<std::string> argv;
};

// Runs a peer with its output in `outputPath`; returns the time it took.
double runPeer(const Peer& peer, const std::string& outputPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : peer.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "dup_bench: cannot start %s (tools/bench installs it)\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Seconds took = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  return took.count();
}

// The files named in groups separated by blank lines.
FileSet readGroups(const std::string& path) {
  FileSet files;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) files.insert(line);
  return files;
}

// One control's catalogue, kept for every round.
struct Lumorel {
  BenchUi ui;
  NoDialogs dialogs;
  ImageCatalogue catalogue{
      CatalogueEnv{FileSystem::system(), Clock::system(), ThreadFactory::system(), ui, dialogs},
      [this](int dispid) { ui.fired(dispid); }};
};

double runLumorel(Lumorel& lumorel, const std::string& tree, FileSet* found) {
  auto start = std::chrono::steady_clock::now();
  lumorel.catalogue.SetParentDir(tree, 1, 0);
  lumorel.ui.runUntil(kOnLoadDone);
  lumorel.catalogue.RestrictOnlyDuplicates(0, 1);
  lumorel.ui.runUntil(kOnDupDone);
  Seconds took = std::chrono::steady_clock::now() - start;
  lumorel.catalogue.waitForWorker();
  if (found) {
    found->clear();
    for (const ImageEntry* e = lumorel.catalogue.state().pictureList->head(); e; e = e->next)
      found->insert(e->path);
  }
  return took.count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: dup_bench TREE [rounds]  (make TREE with bench/make_duplicate_tree.py)\n");
    return 2;
  }
  std::string tree = argv[1];
  while (tree.size() > 1 && tree.back() == '/') tree.pop_back();
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::vector<Peer> peers{
      {"jdupes", {"jdupes", "-r", "-q", tree}},
      {"fdupes", {"fdupes", "-r", "-q", tree}},
      {"rmlint", {"rmlint", "-T", "df", "-o", "fdupes:stdout", tree}},
  };
  const std::string output = "/tmp/lumorel-dup-bench.out";

  FileSet ours;
  Lumorel lumorel;
  runLumorel(lumorel, tree, nullptr);  // warm-up
  std::vector<FileSet> theirs(peers.size());
  for (std::size_t p = 0; p < peers.size(); ++p) {
    runPeer(peers[p], output);
    theirs[p] = readGroups(output);
  }
  std::vector<double> lumorelTimes;
  std::vector<std::vector<double>> peerTimes(peers.size());
  for (int round = 0; round < rounds; ++round) {
    lumorelTimes.push_back(runLumorel(lumorel, tree, &ours));
    for (std::size_t p = 0; p < peers.size(); ++p) peerTimes[p].push_back(runPeer(peers[p], output));
  }
  std::remove(output.c_str());

  const double mine = median(lumorelTimes);
  std::printf("tree %s, median of %d rounds, warm cache\n", tree.c_str(), rounds);
  std::printf("%-10s %9.1f ms  %6zu duplicate files\n", "lumorel", mine * 1e3, ours.size());
  for (std::size_t p = 0; p < peers.size(); ++p) {
    double t = median(peerTimes[p]);
    std::size_t onlyOurs = 0, onlyTheirs = 0;
    for (const std::string& f : ours) onlyOurs += !theirs[p].count(f);
    for (const std::string& f : theirs[p]) onlyTheirs += !ours.count(f);
    std::printf("%-10s %9.1f ms  %6zu duplicate files  lumorel takes %.2f x its time; %s",
                peers[p].name.c_str(), t * 1e3, theirs[p].size(), mine / t,
                onlyOurs + onlyTheirs == 0 ? "same files\n" : "DIFFERENT files: ");
    if (onlyOurs + onlyTheirs) std::printf("%zu only ours, %zu only theirs\n", onlyOurs, onlyTheirs);
  }
  return 0;
}

}  // namespace
}  // namespace lumorel

int main(int argc, char** argv) { return lumorel::run(argc, argv); }
