// Key alignment: the longest-common-subsequence match of two sequences of
// interned keys, as the comparison reports pair the phases of two recordings.
//
//   std::vector<pt::KeyAlignmentEntry> entries = pt::alignKeySequences(lhsKeys, rhsKeys);
//   for (auto [lhs, rhs] : entries) show(lhs == pt::kNoPosition ? "RHS only" : ...);
//
// The result is the one a traceback over the full table of common-subsequence
// lengths gives when it walks back from the two ends: a pair of equal keys is
// always matched, otherwise the walk drops the RHS element when that keeps
// the length and the LHS element when not. So unmatched LHS entries come
// before unmatched RHS entries between two matches, and repeated keys are
// paired from the end. The table is never held: memory grows as
// sqrt(m) * n / 64 words instead of m * n counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace pt {

/// The position on a side an entry is missing from.
inline constexpr std::size_t kNoPosition = std::numeric_limits<std::size_t>::max();

/// One aligned entry: positions in the two sequences, at most one of them
/// kNoPosition.
struct KeyAlignmentEntry {
  std::size_t lhs = kNoPosition;
  std::size_t rhs = kNoPosition;
  friend bool operator==(const KeyAlignmentEntry&, const KeyAlignmentEntry&) = default;
};

/// Every element of both sequences exactly once, in forward order. Keys are
/// equal when their numbers are.
std::vector<KeyAlignmentEntry> alignKeySequences(std::span<const std::uint32_t> lhs,
                                                 std::span<const std::uint32_t> rhs);

}  // namespace pt
