#include "catalogue/content_groups.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/file_system.h"

namespace lumorel {
namespace {

// Files kept open at once; beyond that a file is opened for each read, so a
// group of thousands of same-size files cannot run out of descriptors.
constexpr std::size_t kMaxOpenFiles = 200;
// Bytes buffered for one round over a group: blocks shrink as groups grow.
constexpr std::size_t kRoundBudget = std::size_t{16} << 20;
constexpr std::size_t kFirstBlock = 4096;
constexpr std::size_t kLargestBlock = 256 * 1024;
// Up to this many members a round compares each with the runs found so far.
constexpr std::size_t kFewMembers = 16;

struct Candidate {
  ImageEntry* entry;
  std::unique_ptr<RandomAccessFile> file;  // open while it is worth keeping
  std::size_t got = 0;  // bytes of the last block
};

// Candidates still sharing every byte read so far, and where they stand.
// Sharing their bytes, they share the signature of those bytes too, so it is
// summed once for the group.
struct Group {
  std::vector<std::size_t> members;  // indices into the candidates
  uint64_t offset = 0;
  std::size_t block = kFirstBlock;
  uint32_t signature = 0;
};

class Grouper {
 public:
  Grouper(const std::vector<ImageEntry*>& entries, FileSystem& fs) : fs_(fs) {
    candidates_.reserve(entries.size());
    for (ImageEntry* e : entries) candidates_.push_back(Candidate{e, nullptr});
  }

  // Reads `n` bytes at `offset` of candidate `c` into `into`; false on error.
  bool read(Candidate& c, uint64_t offset, char* into, std::size_t n) {
    std::unique_ptr<RandomAccessFile> once;
    RandomAccessFile* file = c.file.get();
    if (!file) {
      if (offset == 0 && !isLocalFile(c.entry->kind)) return false;
      once = fs_.openRandomAccess(c.entry->path);
      if (!once) return false;
      if (open_ < kMaxOpenFiles) {
        c.file = std::move(once);
        ++open_;
      }
      file = c.file ? c.file.get() : once.get();
    }
    std::optional<std::size_t> got = file->readAt(offset, into, n);
    if (!got) return false;
    c.got = *got;
    return true;
  }

  void close(Candidate& c) {
    if (c.file) {
      c.file.reset();
      --open_;
    }
  }

  std::vector<Candidate> candidates_;

 private:
  FileSystem& fs_;
  std::size_t open_ = 0;
};

}  // namespace

uint32_t contentSignatureOf(const char* bytes, std::size_t n, uint64_t offset,
                            uint32_t signatureSoFar) {
  // Σ (offset + 1 + i) × sq_i over the block, with sq_i = b_i × b_i. The sum
  // of i × sq_i is taken in 16 lanes (byte i in lane i mod 16, row i / 16):
  // per lane, Σ_row row × x_row = (rows − 1) × Σ x − Σ_row (running sum before
  // the row), which needs only additions, so the loop vectorizes without
  // 32-bit multiplies. All of it is exact modulo 2^32.
  constexpr std::size_t kLanes = 16;
  uint32_t sums[kLanes] = {}, runningSums[kLanes] = {};
  const std::size_t rows = n / kLanes;
  for (std::size_t row = 0; row < rows; ++row) {
    const char* at = bytes + row * kLanes;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      int16_t b = static_cast<signed char>(at[lane]);
      uint16_t square = static_cast<uint16_t>(b * b);  // at most 16384
      runningSums[lane] += sums[lane];
      sums[lane] += square;
    }
  }
  uint32_t squares = 0, weighted = 0;
  const uint32_t lastRow = static_cast<uint32_t>(rows) - 1u;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    squares += sums[lane];
    weighted += uint32_t{kLanes} * (lastRow * sums[lane] - runningSums[lane]) +
                static_cast<uint32_t>(lane) * sums[lane];
  }
  for (std::size_t i = rows * kLanes; i < n; ++i) {
    int32_t b = static_cast<signed char>(bytes[i]);
    uint32_t square = static_cast<uint32_t>(b * b);
    squares += square;
    weighted += static_cast<uint32_t>(i) * square;
  }
  const uint32_t base = static_cast<uint32_t>(offset) + 1u;
  return signatureSoFar + base * squares + weighted;
}

bool groupByContent(const std::vector<ImageEntry*>& entries, FileSystem& fs,
                    const std::atomic<bool>& abort, uint32_t firstGroup,
                    std::vector<uint32_t>& groupOf, uint32_t& nextGroup) {
  groupOf.assign(entries.size(), kNoContentGroup);
  nextGroup = firstGroup;
  if (entries.size() < 2) return true;
  Grouper grouper(entries, fs);
  std::vector<Candidate>& candidates = grouper.candidates_;

  std::vector<Group> pending(1);
  for (std::size_t i = 0; i < candidates.size(); ++i) pending[0].members.push_back(i);
  std::vector<char> buffer;

  while (!pending.empty()) {
    Group group = std::move(pending.back());
    pending.pop_back();
    if (group.members.size() < 2) {
      for (std::size_t m : group.members) grouper.close(candidates[m]);
      continue;
    }
    const std::size_t block = std::max<std::size_t>(
        4096, std::min(group.block, kRoundBudget / group.members.size()) / 4096 * 4096);
    buffer.resize(block * group.members.size());

    // One round: the next block of every member; a member that fails to
    // read leaves the group and matches nothing.
    std::vector<std::size_t> readable;
    for (std::size_t slot = 0; slot < group.members.size(); ++slot) {
      if (abort.load(std::memory_order_relaxed)) return false;
      std::size_t m = group.members[slot];
      if (grouper.read(candidates[m], group.offset, buffer.data() + slot * block, block)) {
        readable.push_back(slot);
      } else {
        grouper.close(candidates[m]);
      }
    }
    auto bytesOf = [&](std::size_t slot) { return buffer.data() + slot * block; };
    auto gotOf = [&](std::size_t slot) { return candidates[group.members[slot]].got; };
    auto same = [&](std::size_t x, std::size_t y) {
      return gotOf(x) == gotOf(y) && std::memcmp(bytesOf(x), bytesOf(y), gotOf(x)) == 0;
    };
    // Runs of members with equal blocks. A few members each join the first
    // run whose block equals theirs: twins make few runs, and blocks that
    // differ mostly differ early, so a miss costs little. Many members are
    // sorted instead, which bounds the comparisons however many runs there are.
    std::vector<std::vector<std::size_t>> runs;
    if (readable.size() <= kFewMembers) {
      for (std::size_t slot : readable) {
        auto run = std::find_if(runs.begin(), runs.end(),
                                [&](const std::vector<std::size_t>& r) { return same(r[0], slot); });
        if (run == runs.end()) {
          runs.push_back({slot});
        } else {
          run->push_back(slot);
        }
      }
    } else {
      std::sort(readable.begin(), readable.end(), [&](std::size_t x, std::size_t y) {
        if (gotOf(x) != gotOf(y)) return gotOf(x) < gotOf(y);
        return std::memcmp(bytesOf(x), bytesOf(y), gotOf(x)) < 0;
      });
      for (std::size_t k = 0; k < readable.size(); ++k) {
        if (k == 0 || !same(runs.back()[0], readable[k])) runs.emplace_back();
        runs.back().push_back(readable[k]);
      }
    }

    // A run goes on together; a short block means the end of its files.
    for (const std::vector<std::size_t>& run : runs) {
      const std::size_t first = run[0];
      Group next;
      for (std::size_t slot : run) next.members.push_back(group.members[slot]);
      if (next.members.size() > 1) {
        next.signature =
            contentSignatureOf(bytesOf(first), gotOf(first), group.offset, group.signature);
      }
      if (gotOf(first) < block) {
        // All of them ended here with the same bytes.
        for (std::size_t m : next.members) {
          Candidate& c = candidates[m];
          grouper.close(c);
          if (next.members.size() > 1) {
            c.entry->contentSignature = next.signature;
            groupOf[m] = nextGroup;
          }
        }
        if (next.members.size() > 1) ++nextGroup;
      } else {
        next.offset = group.offset + block;
        next.block = std::min(block * 4, kLargestBlock);
        pending.push_back(std::move(next));
      }
    }
  }
  return true;
}

}  // namespace lumorel
