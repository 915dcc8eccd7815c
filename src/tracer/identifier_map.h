// Identifier maps: the name → value-number map every tracer point carries.
//
// A trace holds millions of points and each names the same few identifiers
// ("modelStr", "statisticsTypeStr", ...). `IdentifierName` interns a name once
// for the process, so a map key is one pointer rather than a std::string, which
// would allocate for every name longer than its small-string buffer.
//   PTIdentifierMap ids = makeIdentifierMap();
//   ids["modelStr"] = 3;  int32_t n = findIdentifierNumber(ids, "modelStr");
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

namespace pt::detail {

/// One interned name; lives until the process ends.
struct InternedText {
  std::string text;
  std::size_t hash;
  std::size_t bucketHash;  ///< `hash` through the identifier map's bit mixer
};

std::size_t hashIdentifierText(std::string_view text) noexcept;

}  // namespace pt::detail

/// An identifier name, interned: equal names share one immutable text, so
/// copies are a pointer copy, equality is a pointer compare and the hash is
/// computed once. Converts from and to std::string; hashes and orders by text.
class IdentifierName {
 public:
  IdentifierName();  ///< the empty name
  IdentifierName(std::string_view text);
  IdentifierName(const std::string& text) : IdentifierName(std::string_view(text)) {}
  IdentifierName(const char* text) : IdentifierName(std::string_view(text)) {}

  const std::string& str() const noexcept { return entry_->text; }
  operator const std::string&() const noexcept { return entry_->text; }
  std::size_t hash() const noexcept { return entry_->hash; }
  std::size_t bucketHash() const noexcept { return entry_->bucketHash; }

  friend bool operator==(const IdentifierName& a, const IdentifierName& b) noexcept { return a.entry_ == b.entry_; }
  friend bool operator==(const IdentifierName& a, std::string_view b) noexcept { return a.str() == b; }
  friend bool operator==(const IdentifierName& a, const std::string& b) noexcept { return a.str() == b; }
  friend bool operator==(const IdentifierName& a, const char* b) noexcept { return a.str() == b; }
  friend bool operator<(const IdentifierName& a, const IdentifierName& b) noexcept {
    return a.entry_ != b.entry_ && a.str() < b.str();
  }
  friend std::size_t hash_value(const IdentifierName& name) noexcept { return name.hash(); }

 private:
  const pt::detail::InternedText* entry_;
};

std::ostream& operator<<(std::ostream& out, const IdentifierName& name);

/// Identifier name → number of its value in that identifier's own table.
///
/// A flat store: the entries of a point sit inline (a tracer point names up to
/// three identifiers; more spill to the heap), and look-ups scan them by pointer.
/// Entries are kept in the order a chained hash table with power-of-two
/// buckets would visit them, since that order decides the order of the
/// identifier elements in saved records and files made by earlier versions:
/// the store keeps the bucket count and load factor such a table would have
/// and places each new entry where it would link it. Iteration order thus
/// depends on the sequence of inserts, reserves and copies, never on chance.
class PTIdentifierMap {
 public:
  using key_type = IdentifierName;
  using mapped_type = std::int32_t;
  using value_type = std::pair<IdentifierName, std::int32_t>;
  using size_type = std::size_t;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  /// Sixteen buckets' worth of order, as a default-sized table.
  PTIdentifierMap() : PTIdentifierMap(kDefaultBucketRequest) {}
  /// `buckets` rounded up to a power of two, at least four.
  explicit PTIdentifierMap(std::size_t buckets) : bucketShift_(shiftFor(newBucketCount(buckets))) {}
  PTIdentifierMap(const PTIdentifierMap& other);
  PTIdentifierMap(PTIdentifierMap&& other) noexcept;
  PTIdentifierMap& operator=(const PTIdentifierMap& other);
  PTIdentifierMap& operator=(PTIdentifierMap&& other) noexcept;
  ~PTIdentifierMap() { releaseHeap(); }

  iterator begin() noexcept { return data(); }
  iterator end() noexcept { return data() + size(); }
  const_iterator begin() const noexcept { return data(); }
  const_iterator end() const noexcept { return data() + size(); }
  size_type size() const noexcept { return onHeap() ? heap_->size : inlineSize_; }
  bool empty() const noexcept { return size() == 0; }

  iterator find(const IdentifierName& name) noexcept;
  const_iterator find(const IdentifierName& name) const noexcept;
  size_type count(const IdentifierName& name) const noexcept { return find(name) == end() ? 0 : 1; }
  /// The number under `name`, inserting 0 when missing.
  std::int32_t& operator[](const IdentifierName& name);
  /// The number under `name`; throws std::out_of_range when missing.
  std::int32_t at(const IdentifierName& name) const;
  /// Removes every entry; the bucket count stays.
  void clear() noexcept { setSize(0); }

  /// Room for `count` entries without a rehash (and the bucket count that gives).
  void reserve(std::size_t count);
  void rehash(std::size_t buckets);
  float max_load_factor() const noexcept { return maxLoadFactor_; }
  void max_load_factor(float factor) noexcept;
  std::size_t bucket_count() const noexcept { return std::size_t{1} << bucketShift_; }

  /// Makes this map the exact twin of `other`: the same entries in the same
  /// order, bucket count and load factor, as the same inserts would have made
  /// it. A copy is linked anew, as a table's copy is, and may differ in both.
  void cloneFrom(const PTIdentifierMap& other) {
    if (this == &other) return;
    if (onHeap() || other.onHeap()) return cloneFromAnywhere(other);
    // Both inline, which a point's map mostly is: a plain copy of the bytes.
    std::memcpy(inline_, other.inline_, sizeof inline_);
    inlineSize_ = other.inlineSize_;
    maxLoadFactor_ = other.maxLoadFactor_;
    bucketShift_ = other.bucketShift_;
    hasBuckets_ = other.hasBuckets_;
  }

  /// Equal entries, whatever their order.
  friend bool operator==(const PTIdentifierMap& a, const PTIdentifierMap& b) noexcept;

 private:
  static constexpr std::size_t kDefaultBucketRequest = 11;
  static std::size_t newBucketCount(std::size_t atLeast) noexcept;
  static std::uint8_t shiftFor(std::size_t buckets) noexcept;
  std::size_t bucketOf(const IdentifierName& name) const noexcept;
  /// `count` / the maximum load factor, rounded down or up.
  std::size_t perLoadFactor(std::size_t count, bool roundUp) const noexcept;
  std::size_t maxLoad() const noexcept;
  std::size_t minBucketsForSize(std::size_t size) const noexcept;
  void setBucketCount(std::size_t buckets) noexcept { bucketShift_ = shiftFor(buckets); }
  /// Links `entry` as a table links a new node: first of its bucket's run,
  /// or first of all when its bucket is empty. Returns its index.
  std::size_t link(const value_type& entry);
  /// Relinks every entry for `buckets` buckets, in the table's own way.
  void relink(std::size_t buckets);
  void copyFrom(const PTIdentifierMap& other);
  void cloneFromAnywhere(const PTIdentifierMap& other);

  // Storage: up to kInlineEntries in the map itself, more in one heap block
  // that starts with its size and capacity. The small fields share one word,
  // so that a point's map takes 56 bytes.
  struct HeapEntries {
    std::size_t size;
    std::size_t capacity;
    value_type* entries() noexcept { return reinterpret_cast<value_type*>(this + 1); }
  };
  static constexpr std::size_t kInlineEntries = 3;
  static constexpr std::uint8_t kOnHeap = 0xff;
  bool onHeap() const noexcept { return inlineSize_ == kOnHeap; }
  value_type* data() noexcept { return onHeap() ? heap_->entries() : reinterpret_cast<value_type*>(inline_); }
  const value_type* data() const noexcept { return const_cast<PTIdentifierMap*>(this)->data(); }
  std::size_t capacity() const noexcept { return onHeap() ? heap_->capacity : kInlineEntries; }
  void setSize(std::size_t size) noexcept;
  /// Room for `count` entries; the entries keep their order.
  void reserveEntries(std::size_t count);
  /// Puts `entry` at `index`, moving the later entries up one.
  value_type* insertAt(std::size_t index, const value_type& entry);
  void releaseHeap() noexcept;
  /// Takes `other`'s entries, leaving it empty.
  void takeEntries(PTIdentifierMap& other) noexcept;

  float maxLoadFactor_ = 1.0f;
  std::uint8_t bucketShift_;
  std::uint8_t inlineSize_ = 0;  ///< or kOnHeap
  /// A table allocates its buckets at its first insert; until then its
  /// count may still grow to fit without relinking anything.
  bool hasBuckets_ = false;
  union {
    alignas(value_type) unsigned char inline_[kInlineEntries * sizeof(value_type)];
    HeapEntries* heap_;
  };
};

/// An empty map with the order of the smallest bucket array and a maximum load
/// factor of 1.0, as every point's map starts.
PTIdentifierMap makeIdentifierMap();

/// The number stored under `name`, or -1. Does not intern `name`, so looking up
/// unknown names leaves nothing behind.
std::int32_t findIdentifierNumber(const PTIdentifierMap& identifiers, std::string_view name);
