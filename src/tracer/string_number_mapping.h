// String-number mapping: a two-way unique table between texts and int32 numbers.
//
// Every name the tracer records (phases, groupings, models, identifier values)
// is stored in points as a small number handed out by one of these tables.
//   StringNumberMapping phases;
//   int32_t n = phases.getNumberOrAdd("Load");  // 0, then 1 for the next new text
#pragma once

#include <boost/bimap.hpp>
#include <boost/bimap/set_of.hpp>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pt::detail {

/// Equal texts. Logged names, models and targets are short, and for them the
/// call and size dispatch of memcmp cost more than comparing the bytes inline.
inline bool sameText(std::string_view a, std::string_view b) noexcept {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  constexpr std::size_t kInlineBytes = 64;
  if (size > kInlineBytes) return std::memcmp(a.data(), b.data(), size) == 0;
  // The last word ends where the texts end, overlapping the one before it: no
  // byte past either text is read.
  const auto equalAt = [&]<class Word>(Word, std::size_t offset) {
    Word x;
    Word y;
    std::memcpy(&x, a.data() + offset, sizeof x);
    std::memcpy(&y, b.data() + offset, sizeof y);
    return x == y;
  };
  if (size >= sizeof(std::uint64_t)) {
    for (std::size_t offset = 0; offset + sizeof(std::uint64_t) < size; offset += sizeof(std::uint64_t)) {
      if (!equalAt(std::uint64_t{}, offset)) return false;
    }
    return equalAt(std::uint64_t{}, size - sizeof(std::uint64_t));
  }
  if (size >= sizeof(std::uint32_t)) {
    return equalAt(std::uint32_t{}, 0) && equalAt(std::uint32_t{}, size - sizeof(std::uint32_t));
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace pt::detail

class StringNumberMapping {
 public:
  /// Left view ordered by text, right view ordered by number; both unique.
  using Entries = boost::bimap<boost::bimaps::set_of<std::string>, boost::bimaps::set_of<std::int32_t>>;

  StringNumberMapping() = default;
  StringNumberMapping(const StringNumberMapping& other);
  StringNumberMapping& operator=(const StringNumberMapping& other);

  /// The text's number, or -1.
  std::int32_t getNumber(std::string_view text) const;
  /// The text's number; a new text gets the entry count, so numbers run
  /// densely from 0 in insertion order as long as only this adds entries.
  std::int32_t getNumberOrAdd(const std::string& text) {
    if (lastNumber_ >= 0 && pt::detail::sameText(text, lastText_)) return lastNumber_;
    return findOrAdd(text);
  }
  /// The number's text, or the empty string.
  std::string getString(std::int32_t number) const;

  /// Stores the pair unless the text or the number is already present.
  bool insert(const std::string& text, std::int32_t number);
  /// True if the text was present.
  bool remove(const std::string& text);
  void clear();

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entries& entries() const { return entries_; }
  /// Changes whenever an entry is added or removed, so that a cache built from
  /// the table can tell that it is stale; no two tables of the process, nor
  /// two states of one, share a version.
  std::uint64_t version() const { return version_; }

 private:
  void rebuildIndex();
  std::int32_t findOrAdd(const std::string& text);
  void forgetLastText() {
    lastText_ = {};
    lastNumber_ = -1;
  }

  Entries entries_;
  /// Text → number, hashed: every logged point looks up several texts, and the
  /// ordered view would compare each with several stored texts. Keys are views
  /// of the texts stored in entries_, whose nodes never move.
  std::unordered_map<std::string_view, std::int32_t> index_;
  /// The text getNumberOrAdd last found in the index (a view of its stored
  /// key) and its number, -1 for none: a tool logs runs of points with the
  /// same model, target and phase, and comparing one text costs far less
  /// than hashing it.
  std::string_view lastText_;
  std::int32_t lastNumber_ = -1;
  std::uint64_t version_ = nextVersion();

  static std::uint64_t nextVersion();
};
