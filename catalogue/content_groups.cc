#include "catalogue/content_groups.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/file_system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

// The sums over the whole 16-byte rows of a block, byte i of the block
// being in row i / 16 at lane i % 16, with sq = b × b: `squares` = Σ sq,
// `rowWeighted` = Σ row × sq, `laneWeighted` = Σ lane × sq, all modulo 2^32.
// Σ_row row × x_row is taken as (rows − 1) × Σ x − Σ_row (the running sum
// before the row), which needs only additions.
struct RowSums {
  uint32_t squares = 0;
  uint32_t rowWeighted = 0;
  uint32_t laneWeighted = 0;
};

#if defined(__x86_64__) || defined(__i386__)
// With AVX2 one step takes a row: the sixteen bytes sign-extended to 16-bit
// words, squared (at most 128 × 128, so the square fits a word), and summed
// in pairs by one multiply-add with weight 1 and one with the lane's index.
__attribute__((target("avx2"))) RowSums rowSumsAvx2(const char* bytes, std::size_t rows) {
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i laneIndex =
      _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m256i sums = _mm256_setzero_si256(), running = _mm256_setzero_si256();
  __m256i lanes = _mm256_setzero_si256();
  for (std::size_t row = 0; row < rows; ++row) {
    __m256i words = _mm256_cvtepi8_epi16(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + row * 16)));
    __m256i squares = _mm256_mullo_epi16(words, words);
    running = _mm256_add_epi32(running, sums);
    sums = _mm256_add_epi32(sums, _mm256_madd_epi16(squares, ones));
    lanes = _mm256_add_epi32(lanes, _mm256_madd_epi16(squares, laneIndex));
  }
  alignas(32) uint32_t parts[3][8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(parts[0]), sums);
  _mm256_store_si256(reinterpret_cast<__m256i*>(parts[1]), running);
  _mm256_store_si256(reinterpret_cast<__m256i*>(parts[2]), lanes);
  uint32_t total[3] = {};
  for (int k = 0; k < 3; ++k)
    for (uint32_t part : parts[k]) total[k] += part;
  RowSums out;
  out.squares = total[0];
  out.rowWeighted = (static_cast<uint32_t>(rows) - 1u) * out.squares - total[1];
  out.laneWeighted = total[2];
  return out;
}
#endif

RowSums rowSumsPortable(const char* bytes, std::size_t rows) {
  constexpr std::size_t kLanes = 16;
  uint32_t sums[kLanes] = {}, runningSums[kLanes] = {};
  for (std::size_t row = 0; row < rows; ++row) {
    const char* at = bytes + row * kLanes;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      int16_t b = static_cast<signed char>(at[lane]);
      uint16_t square = static_cast<uint16_t>(b * b);  // at most 16384
      runningSums[lane] += sums[lane];
      sums[lane] += square;
    }
  }
  RowSums out;
  const uint32_t lastRow = static_cast<uint32_t>(rows) - 1u;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    out.squares += sums[lane];
    out.rowWeighted += lastRow * sums[lane] - runningSums[lane];
    out.laneWeighted += static_cast<uint32_t>(lane) * sums[lane];
  }
  return out;
}

RowSums rowSumsOf(const char* bytes, std::size_t rows, SignatureCode code) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  if (hasAvx2 && code == SignatureCode::kFastest) return rowSumsAvx2(bytes, rows);
#endif
  return rowSumsPortable(bytes, rows);
}

}  // namespace

uint32_t contentSignatureOf(const char* bytes, std::size_t n, uint64_t offset,
                            uint32_t signatureSoFar, SignatureCode code) {
  // Σ (offset + 1 + i) × sq_i over the block: i = 16 × row + lane over the
  // whole rows, then the bytes after them one by one.
  const std::size_t rows = n / 16;
  RowSums whole = rowSumsOf(bytes, rows, code);
  uint32_t squares = whole.squares;
  uint32_t weighted = 16u * whole.rowWeighted + whole.laneWeighted;
  for (std::size_t i = rows * 16; i < n; ++i) {
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
