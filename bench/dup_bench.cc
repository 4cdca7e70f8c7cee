// Times the duplicate finder against the duplicate finders a user would pick
// instead, on the same tree, in one run, and checks that all find the same
// duplicate files.
//
//   bench/make_duplicate_tree.py /tmp/lumorel-dup-tree
//   build/bench/dup_bench /tmp/lumorel-dup-tree [rounds]
//
// Lumorel's side is what the pages do: a recursive scan in folder order,
// then the finder by content. Each round runs every tool once, one after
// another, after one warm-up round, so all meet a warm cache.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "catalogue/duplicate_finder.h"
#include "catalogue/list_freer.h"
#include "catalogue/scanner.h"
#include "platform/clock.h"
#include "platform/file_system.h"

extern char** environ;

namespace lumorel {
namespace {

using Seconds = std::chrono::duration<double>;
using FileSet = std::set<std::string>;

class NoUi final : public UiThread {
 public:
  void post(std::function<void()>) override {}
  bool startTimer(uint32_t, std::function<void()>) override { return false; }
  void stopTimer() override {}
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
    std::fprintf(stderr, "dup_bench: cannot start %s (tools/bench-deps installs it)\n", argv[0]);
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

double runLumorel(const std::string& tree, FileSet* found) {
  NoUi ui;
  CatalogueState state;
  state.rootPath = tree.back() == '/' ? tree : tree + "/";
  state.recurseMode = 1;
  state.port = std::make_shared<CompletionPort>(ui, [](int) {});
  WorkerServices services{FileSystem::system(), Clock::system(), ListFreer::forProcess()};
  auto start = std::chrono::steady_clock::now();
  scanThread(state, services);
  ImageList duplicates;
  findDuplicates(*state.pictureList, duplicates, false, true, services.fs);
  Seconds took = std::chrono::steady_clock::now() - start;
  if (found) {
    found->clear();
    for (const ImageEntry* e = duplicates.head(); e; e = e->next) found->insert(e->path);
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
  runLumorel(tree, nullptr);  // warm-up
  std::vector<FileSet> theirs(peers.size());
  for (std::size_t p = 0; p < peers.size(); ++p) {
    runPeer(peers[p], output);
    theirs[p] = readGroups(output);
  }
  std::vector<double> lumorelTimes;
  std::vector<std::vector<double>> peerTimes(peers.size());
  for (int round = 0; round < rounds; ++round) {
    lumorelTimes.push_back(runLumorel(tree, &ours));
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
