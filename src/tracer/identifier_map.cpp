#include "tracer/identifier_map.h"

#include <boost/unordered_map.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <type_traits>

namespace pt::detail {

std::size_t hashIdentifierText(std::string_view text) noexcept { return std::hash<std::string_view>{}(text); }

namespace {

// The bit mixer the table applies to a name's hash before masking it to a
// bucket; part of what fixes the order of saved identifier elements.
std::size_t mixHash(std::size_t key) noexcept {
  key = (~key) + (key << 21);
  key = key ^ (key >> 24);
  key = (key + (key << 3)) + (key << 8);
  key = key ^ (key >> 14);
  key = (key + (key << 2)) + (key << 4);
  key = key ^ (key >> 28);
  key = key + (key << 31);
  return key;
}

// The names of a process are few (the identifier names its tools log), so the
// pool only grows by new names and never frees one: points may outlive any
// tracer. Entries are heap nodes, so their addresses stay put as the index grows.
// Recorder listeners may build points on other threads, hence the lock.
class InternPool {
 public:
  const InternedText* intern(std::string_view text) {
    const std::size_t hash = hashIdentifierText(text);
    std::lock_guard lock(mutex_);
    auto found = index_.find(text);
    if (found != index_.end()) return found->second.get();
    // Mixed once here rather than for every entry a map insert passes over.
    auto entry = std::make_unique<InternedText>(InternedText{std::string(text), hash, mixHash(hash)});
    const std::string_view key = entry->text;
    return index_.emplace(key, std::move(entry)).first->second.get();
  }

 private:
  std::mutex mutex_;
  boost::unordered_map<std::string_view, std::unique_ptr<InternedText>> index_;
};

// Never destroyed, like the names it holds: logging from static destructors
// and exit handlers interns names too.
InternPool& pool() {
  static InternPool* const instance = new InternPool;
  return *instance;
}

}  // namespace
}  // namespace pt::detail

IdentifierName::IdentifierName() : IdentifierName(std::string_view()) {}

IdentifierName::IdentifierName(std::string_view text) : entry_(pt::detail::pool().intern(text)) {}

std::ostream& operator<<(std::ostream& out, const IdentifierName& name) { return out << name.str(); }

// ------------------------------------------------------------ PTIdentifierMap

namespace {

constexpr float kMinimumMaxLoadFactor = 1e-3f;

// Sizes below this convert to double and back unchanged.
constexpr std::size_t kExactInDouble = std::size_t{1} << 53;

std::size_t doubleToSize(double value) noexcept {
  constexpr std::size_t kMax = std::numeric_limits<std::size_t>::max();
  return value >= static_cast<double>(kMax) ? kMax : static_cast<std::size_t>(value);
}

}  // namespace

std::size_t PTIdentifierMap::newBucketCount(std::size_t atLeast) noexcept {
  constexpr std::size_t kLargest = std::size_t{1} << (std::numeric_limits<std::size_t>::digits - 1);
  if (atLeast <= 4) return 4;
  return atLeast > kLargest ? kLargest : std::bit_ceil(atLeast);
}

std::uint8_t PTIdentifierMap::shiftFor(std::size_t buckets) noexcept {
  return static_cast<std::uint8_t>(std::countr_zero(buckets));
}

std::size_t PTIdentifierMap::bucketOf(const IdentifierName& name) const noexcept {
  return name.bucketHash() & (bucket_count() - 1);
}

std::size_t PTIdentifierMap::perLoadFactor(std::size_t count, bool roundUp) const noexcept {
  // Every point's map has the factor 1, which gives `count` itself: no
  // floating-point division on the logging path.
  if (maxLoadFactor_ == 1.0f && count < kExactInDouble) return count;
  const double quotient = static_cast<double>(count) / static_cast<double>(maxLoadFactor_);
  return doubleToSize(roundUp ? std::ceil(quotient) : std::floor(quotient));
}

std::size_t PTIdentifierMap::maxLoad() const noexcept {
  if (!hasBuckets_) return 0;
  if (maxLoadFactor_ == 1.0f) return bucket_count();
  return doubleToSize(std::ceil(static_cast<double>(maxLoadFactor_) * static_cast<double>(bucket_count())));
}

std::size_t PTIdentifierMap::minBucketsForSize(std::size_t size) const noexcept {
  return newBucketCount(perLoadFactor(size, false) + 1);
}

static_assert(std::is_trivially_destructible_v<PTIdentifierMap::value_type> &&
                  std::is_trivially_copy_constructible_v<PTIdentifierMap::value_type>,
              "entries are moved about as plain bytes and never destroyed");

void PTIdentifierMap::setSize(std::size_t size) noexcept {
  if (onHeap()) {
    heap_->size = size;
  } else {
    inlineSize_ = static_cast<std::uint8_t>(size);
  }
}

void PTIdentifierMap::releaseHeap() noexcept {
  if (!onHeap()) return;
  ::operator delete(heap_);
  inlineSize_ = 0;
}

void PTIdentifierMap::reserveEntries(std::size_t count) {
  if (count <= capacity()) return;
  if (count > (std::numeric_limits<std::size_t>::max() - sizeof(HeapEntries)) / sizeof(value_type)) {
    throw std::length_error("identifier map too large");
  }
  const std::size_t size = this->size();
  auto* block = static_cast<HeapEntries*>(::operator new(sizeof(HeapEntries) + count * sizeof(value_type)));
  block->size = size;
  block->capacity = count;
  std::uninitialized_copy_n(data(), size, block->entries());
  releaseHeap();
  heap_ = block;
  inlineSize_ = kOnHeap;
}

PTIdentifierMap::value_type* PTIdentifierMap::insertAt(std::size_t index, const value_type& entry) {
  const std::size_t size = this->size();
  if (size == capacity()) reserveEntries(std::max(2 * size, size + 1));
  value_type* const entries = data();
  // Entries are plain bytes (asserted above), and a point's map has a few:
  // shift the later ones up one by one.
  for (std::size_t i = size; i > index; --i) std::construct_at(entries + i, entries[i - 1]);
  std::construct_at(entries + index, entry);
  setSize(size + 1);
  return entries + index;
}

void PTIdentifierMap::takeEntries(PTIdentifierMap& other) noexcept {
  releaseHeap();
  if (other.onHeap()) {
    heap_ = other.heap_;
    inlineSize_ = kOnHeap;
    other.inlineSize_ = 0;
  } else {
    std::uninitialized_copy_n(other.data(), other.inlineSize_, reinterpret_cast<value_type*>(inline_));
    inlineSize_ = other.inlineSize_;
    other.inlineSize_ = 0;
  }
}

PTIdentifierMap::PTIdentifierMap(const PTIdentifierMap& other)
    : maxLoadFactor_(other.maxLoadFactor_), bucketShift_(shiftFor(other.minBucketsForSize(other.size()))) {
  reserveEntries(other.size());
  copyFrom(other);
}

PTIdentifierMap::PTIdentifierMap(PTIdentifierMap&& other) noexcept
    : maxLoadFactor_(other.maxLoadFactor_), bucketShift_(other.bucketShift_), hasBuckets_(other.hasBuckets_) {
  takeEntries(other);
  other.hasBuckets_ = false;
}

PTIdentifierMap& PTIdentifierMap::operator=(const PTIdentifierMap& other) {
  if (this == &other) return *this;
  maxLoadFactor_ = other.maxLoadFactor_;
  if (other.size() > maxLoad()) {
    setBucketCount(minBucketsForSize(other.size()));
    hasBuckets_ = true;
  }
  clear();
  reserveEntries(other.size());
  copyFrom(other);
  return *this;
}

PTIdentifierMap& PTIdentifierMap::operator=(PTIdentifierMap&& other) noexcept {
  if (this == &other) return *this;
  takeEntries(other);
  maxLoadFactor_ = other.maxLoadFactor_;
  bucketShift_ = other.bucketShift_;
  hasBuckets_ = other.hasBuckets_;
  other.hasBuckets_ = false;
  return *this;
}

void PTIdentifierMap::cloneFromAnywhere(const PTIdentifierMap& other) {
  clear();
  reserveEntries(other.size());
  std::uninitialized_copy_n(other.data(), other.size(), data());
  setSize(other.size());
  maxLoadFactor_ = other.maxLoadFactor_;
  bucketShift_ = other.bucketShift_;
  hasBuckets_ = other.hasBuckets_;
}

// A copy links the entries one by one in the source's order into buckets
// sized for them, so its order may differ from the source's.
void PTIdentifierMap::copyFrom(const PTIdentifierMap& other) {
  if (other.empty()) return;
  hasBuckets_ = true;
  for (const value_type& entry : other) link(entry);
}

PTIdentifierMap::iterator PTIdentifierMap::find(const IdentifierName& name) noexcept {
  return std::find_if(begin(), end(), [&](const value_type& entry) { return entry.first == name; });
}

PTIdentifierMap::const_iterator PTIdentifierMap::find(const IdentifierName& name) const noexcept {
  return std::find_if(begin(), end(), [&](const value_type& entry) { return entry.first == name; });
}

std::int32_t PTIdentifierMap::at(const IdentifierName& name) const {
  const auto found = find(name);
  if (found == end()) throw std::out_of_range("no identifier named " + name.str());
  return found->second;
}

std::int32_t& PTIdentifierMap::operator[](const IdentifierName& name) {
  if (const auto found = find(name); found != end()) return found->second;
  const std::size_t size = this->size() + 1;
  if (!hasBuckets_) {
    // The first insert allocates the buckets: nothing to relink yet.
    setBucketCount(std::max(bucket_count(), minBucketsForSize(size)));
    hasBuckets_ = true;
  } else if (size > maxLoad()) {
    const std::size_t buckets = minBucketsForSize(std::max(size, this->size() + this->size() / 2));
    if (buckets != bucket_count()) relink(buckets);
  }
  // Linking may move the entries to the heap: index them only afterwards.
  const std::size_t index = link(value_type(name, 0));
  return data()[index].second;
}

std::size_t PTIdentifierMap::link(const value_type& entry) {
  const std::size_t bucket = bucketOf(entry.first);
  const auto run =
      std::find_if(begin(), end(), [&](const value_type& other) { return bucketOf(other.first) == bucket; });
  const std::size_t index = run == end() ? 0 : static_cast<std::size_t>(run - begin());
  insertAt(index, entry);
  return index;
}

// Walks the entries in order: one whose bucket is still empty stays where it
// is, one whose bucket already has entries moves to the front of that run.
void PTIdentifierMap::relink(std::size_t buckets) {
  setBucketCount(buckets);
  value_type* const entries = data();
  for (std::size_t next = 1; next < size(); ++next) {
    const std::size_t bucket = bucketOf(entries[next].first);
    for (std::size_t earlier = 0; earlier < next; ++earlier) {
      if (bucketOf(entries[earlier].first) != bucket) continue;
      std::rotate(entries + earlier, entries + next, entries + next + 1);
      break;
    }
  }
}

void PTIdentifierMap::reserve(std::size_t count) {
  rehash(perLoadFactor(count, true));
  reserveEntries(count);
}

void PTIdentifierMap::rehash(std::size_t buckets) {
  if (empty()) {
    hasBuckets_ = false;
    setBucketCount(newBucketCount(buckets));
    return;
  }
  const std::size_t fitting = std::max(newBucketCount(buckets), minBucketsForSize(size()));
  if (fitting != bucket_count()) relink(fitting);
}

void PTIdentifierMap::max_load_factor(float factor) noexcept {
  maxLoadFactor_ = std::max(factor, kMinimumMaxLoadFactor);
}

bool operator==(const PTIdentifierMap& a, const PTIdentifierMap& b) noexcept {
  if (a.size() != b.size()) return false;
  for (const auto& [name, number] : a) {
    const auto found = b.find(name);
    if (found == b.end() || found->second != number) return false;
  }
  return true;
}

PTIdentifierMap makeIdentifierMap() {
  PTIdentifierMap identifiers(0);
  identifiers.max_load_factor(1.0f);
  return identifiers;
}

std::int32_t findIdentifierNumber(const PTIdentifierMap& identifiers, std::string_view name) {
  // Compares texts, so that an unknown name is not interned.
  for (const auto& [key, number] : identifiers) {
    if (key == name) return number;
  }
  return -1;
}
