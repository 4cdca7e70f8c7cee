// Shows that grouping like-named pictures stays close to linear in the
// number of pictures: runs the organizer's grouping over sorted name lists of
// growing length, with long runs (a camera's numbered shots) and short runs
// (pairs and trios), and prints the time per picture. A growing time per
// picture would mean a quadratic walk.
//
//   build/bench/organizer_bench [pictures]
//
// With a second argument "compare", also times the literal walk (every
// picture after the anchor compared, partners put back by a walk from the
// head) on the smallest list, for contrast.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "catalogue/organizer.h"
#include "catalogue/text_helpers.h"

namespace lumorel {
namespace {

using Seconds = std::chrono::duration<double>;

// Sorted names: long numbered runs, short runs of two or three, and as many
// loners whose names follow no pattern (which a walk to the end of the list
// would meet again and again).
std::vector<std::string> makeNames(std::size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::string> names;
  const char* stems[] = {"IMG_", "dsc", "party", "beach", "scan-", "holiday"};
  const std::string mix = "abcdefghijklmnopqrstuvwxyz0123456789-_";
  for (std::size_t series = 0; names.size() < count; ++series) {
    if (gen() % 2) {
      std::string loner;
      for (std::size_t k = 3 + gen() % 8; k > 0; --k) loner.push_back(mix[gen() % mix.size()]);
      names.push_back(loner + ".jpg");
      continue;
    }
    std::string stem = std::string(stems[gen() % 6]) + std::to_string(series) + "_";
    std::size_t run = gen() % 4 == 0 ? 200 + gen() % 800 : 1 + gen() % 3;
    for (std::size_t i = 0; i < run && names.size() < count; ++i)
      names.push_back(stem + std::to_string(1000 + i) + ".jpg");
  }
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return compareNames(a.c_str(), b.c_str()) < 0;
  });
  return names;
}

struct Result {
  double seconds;
  std::size_t groups, grouped, dropped, remaining;
};

Result groupAll(const std::vector<std::string>& names, bool sorted) {
  ImageList pictures, dropped;
  for (const std::string& n : names) pictures.addEntry(nullptr, "/p/" + n, false);
  Result r{0, 0, 0, 0, 0};
  std::string pattern;
  auto start = std::chrono::steady_clock::now();
  while (true) {
    ImageList group;
    collectGroup(pictures, group, pattern, sorted, dropped);
    if (group.count() == 0) break;
    ++r.groups;
    r.grouped += group.count();
  }
  r.seconds = Seconds(std::chrono::steady_clock::now() - start).count();
  r.dropped = dropped.count();
  r.remaining = pictures.count();
  return r;
}

int run(int argc, char** argv) {
  const std::size_t largest = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const bool compare = argc > 2 && std::strcmp(argv[2], "compare") == 0;
  std::printf("%9s %9s %8s %8s %9s %10s %12s\n", "pictures", "groups", "grouped", "dropped",
              "remaining", "ms", "ns/picture");
  for (std::size_t n = largest / 8; n <= largest; n *= 2) {
    std::vector<std::string> names = makeNames(n, 11);
    Result r = groupAll(names, true);
    std::printf("%9zu %9zu %8zu %8zu %9zu %10.1f %12.0f\n", n, r.groups, r.grouped, r.dropped,
                r.remaining, r.seconds * 1e3, r.seconds * 1e9 / static_cast<double>(n));
  }
  if (compare) {
    std::vector<std::string> names = makeNames(largest / 8, 11);
    Result r = groupAll(names, false);
    std::printf("literal walk on %zu pictures: %.1f ms, %.0f ns/picture\n", names.size(),
                r.seconds * 1e3, r.seconds * 1e9 / static_cast<double>(names.size()));
  }
  return 0;
}

}  // namespace
}  // namespace lumorel

int main(int argc, char** argv) { return lumorel::run(argc, argv); }
