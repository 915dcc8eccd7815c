#include "compare/key_alignment.h"

#include <algorithm>
#include <cmath>

// Row i of the length table L (LHS prefix of i keys against every RHS prefix)
// is kept as a bit vector V_i over the RHS positions: bit p is 0 exactly when
// L[i][p+1] = L[i][p] + 1. Going from row i-1 to row i with the LHS key c and
// the mask M_c of the RHS positions holding c is one carry-propagating pass,
//   V_i = (V_{i-1} + (V_{i-1} & M_c)) | (V_{i-1} & ~M_c),
// so a row costs n/64 word operations and the traceback's only question at a
// cell (i, j) whose keys differ, "is L[i][j-1] = L[i][j]?", is bit j-1 of V_i.
// Carries run towards higher positions, so the low bits of a row depend on
// the low RHS positions only: the traceback, whose j only falls, recomputes
// rows no wider than j.
//
// Rows are kept at every `band`-th LHS position during the forward pass; the
// traceback walks down through the bands from the last one, recomputing the
// rows of one band at a time from the checkpoint below it.

namespace pt {
namespace {

using Word = std::uint64_t;
constexpr std::size_t kWordBits = 64;

std::size_t wordsFor(std::size_t bits) { return (bits + kWordBits - 1) / kWordBits; }

bool bitAt(const Word* row, std::size_t position) {
  return ((row[position / kWordBits] >> (position % kWordBits)) & 1U) != 0;
}

/// next = the row after `previous` for a key whose RHS positions are `match`,
/// over the first `words` words. `next` may be `previous`.
void advanceRow(const Word* previous, const Word* match, Word* next, std::size_t words) {
  Word carry = 0;
  for (std::size_t w = 0; w < words; ++w) {
    const Word v = previous[w];
    const Word m = match[w];
    Word sum = v + (v & m);
    Word carryOut = sum < v ? 1 : 0;
    sum += carry;
    carryOut |= sum < carry ? 1 : 0;
    next[w] = sum | (v & ~m);
    carry = carryOut;
  }
}

/// The RHS positions of every key as bit masks. A key held at many positions
/// keeps its own mask; a rare key's mask is written into a scratch row when
/// asked for, which costs less than the row pass it serves.
class MatchMasks {
 public:
  explicit MatchMasks(std::span<const std::uint32_t> rhs) : words_(wordsFor(rhs.size())) {
    std::size_t keyCount = 0;
    for (const std::uint32_t key : rhs) keyCount = std::max(keyCount, std::size_t{key} + 1);
    first_.assign(keyCount + 1, 0);
    for (const std::uint32_t key : rhs) ++first_[key + 1];
    for (std::size_t key = 0; key < keyCount; ++key) first_[key + 1] += first_[key];
    positions_.resize(rhs.size());
    std::vector<std::size_t> next(first_.begin(), first_.end() - 1);
    for (std::size_t p = 0; p < rhs.size(); ++p) positions_[next[rhs[p]]++] = p;

    denseIndex_.assign(keyCount, kSparse);
    for (std::size_t key = 0; key < keyCount; ++key) {
      if (2 * (first_[key + 1] - first_[key]) <= words_) continue;
      denseIndex_[key] = dense_.size() / std::max<std::size_t>(words_, 1);
      dense_.resize(dense_.size() + words_, 0);
      Word* mask = dense_.data() + denseIndex_[key] * words_;
      for (std::size_t i = first_[key]; i < first_[key + 1]; ++i) setBit(mask, positions_[i]);
    }
    scratch_.assign(words_, 0);
  }

  bool occurs(std::uint32_t key) const { return key < denseIndex_.size() && first_[key] != first_[key + 1]; }

  /// The mask of a key that occurs; valid until the next call.
  const Word* mask(std::uint32_t key) {
    if (denseIndex_[key] != kSparse) return dense_.data() + denseIndex_[key] * words_;
    if (scratchKey_ != key) {
      if (scratchKey_ != kNoKey) {
        for (std::size_t i = first_[scratchKey_]; i < first_[scratchKey_ + 1]; ++i) {
          scratch_[positions_[i] / kWordBits] = 0;
        }
      }
      for (std::size_t i = first_[key]; i < first_[key + 1]; ++i) setBit(scratch_.data(), positions_[i]);
      scratchKey_ = key;
    }
    return scratch_.data();
  }

 private:
  static constexpr std::size_t kSparse = std::numeric_limits<std::size_t>::max();
  static constexpr std::uint32_t kNoKey = std::numeric_limits<std::uint32_t>::max();

  static void setBit(Word* row, std::size_t position) {
    row[position / kWordBits] |= Word{1} << (position % kWordBits);
  }

  std::size_t words_;
  std::vector<std::size_t> first_;      ///< key → start of its positions; one more entry at the end
  std::vector<std::size_t> positions_;  ///< RHS positions grouped by key, ascending
  std::vector<std::size_t> denseIndex_;
  std::vector<Word> dense_;
  std::vector<Word> scratch_;
  std::uint32_t scratchKey_ = kNoKey;
};

/// Walks back from (lhs.size(), rhs.size()) while both sides have elements
/// left, appending entries in reverse; both sequences are non-empty.
void traceBack(std::span<const std::uint32_t> lhs, std::span<const std::uint32_t> rhs, std::size_t& i, std::size_t& j,
               std::vector<KeyAlignmentEntry>& reversed) {
  const std::size_t m = lhs.size();
  const std::size_t words = wordsFor(rhs.size());
  const std::size_t band = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(std::sqrt(double(m)))));
  MatchMasks masks(rhs);

  // Row 0 has no increments: all ones.
  std::vector<Word> checkpoints((m / band + 1) * words, ~Word{0});
  std::vector<Word> row(words, ~Word{0});
  for (std::size_t r = 1; r <= m; ++r) {
    if (masks.occurs(lhs[r - 1])) advanceRow(row.data(), masks.mask(lhs[r - 1]), row.data(), words);
    if (r % band == 0) std::copy(row.begin(), row.end(), checkpoints.begin() + (r / band) * words);
  }
  row = {};

  std::vector<Word> bandRows(band * words);
  std::vector<const Word*> rowAt(band + 1);  // a row whose key is not in the RHS is the row below it
  i = m;
  j = rhs.size();
  while (i > 0 && j > 0) {
    const std::size_t base = (i - 1) / band * band;
    const std::size_t width = wordsFor(j);
    rowAt[0] = checkpoints.data() + (base / band) * words;
    for (std::size_t r = base + 1; r <= i; ++r) {
      const std::uint32_t key = lhs[r - 1];
      if (masks.occurs(key)) {
        Word* next = bandRows.data() + (r - base - 1) * words;
        advanceRow(rowAt[r - base - 1], masks.mask(key), next, width);
        rowAt[r - base] = next;
      } else {
        rowAt[r - base] = rowAt[r - base - 1];
      }
    }
    while (i > base && j > 0) {
      if (lhs[i - 1] == rhs[j - 1]) {
        reversed.push_back({i - 1, j - 1});
        --i;
        --j;
      } else if (bitAt(rowAt[i - base], j - 1)) {
        reversed.push_back({kNoPosition, j - 1});  // dropping the RHS element keeps the length
        --j;
      } else {
        reversed.push_back({i - 1, kNoPosition});
        --i;
      }
    }
  }
}

}  // namespace

std::vector<KeyAlignmentEntry> alignKeySequences(std::span<const std::uint32_t> lhs,
                                                 std::span<const std::uint32_t> rhs) {
  std::vector<KeyAlignmentEntry> reversed;
  reversed.reserve(lhs.size() + rhs.size());
  std::size_t i = lhs.size();
  std::size_t j = rhs.size();
  // The walk matches equal keys before it looks at lengths, so a common
  // suffix is matched pair by pair whatever precedes it. (A common prefix is
  // not safe to skip: LHS [A] against RHS [A, A] pairs the LHS A with the
  // second RHS A.)
  while (i > 0 && j > 0 && lhs[i - 1] == rhs[j - 1]) {
    --i;
    --j;
    reversed.push_back({i, j});
  }
  if (i > 0 && j > 0) traceBack(lhs.first(i), rhs.first(j), i, j, reversed);
  while (i > 0) reversed.push_back({--i, kNoPosition});
  while (j > 0) reversed.push_back({kNoPosition, --j});
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}

}  // namespace pt
