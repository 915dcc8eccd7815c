#include "tracer/string_number_mapping.h"

#include <atomic>
#include <cassert>
#include <limits>

std::uint64_t StringNumberMapping::nextVersion() {
  // Process-wide, so that a table made where another was freed does not pass
  // for it in a cache.
  static std::atomic<std::uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

StringNumberMapping::StringNumberMapping(const StringNumberMapping& other) : entries_(other.entries_) {
  rebuildIndex();
}

StringNumberMapping& StringNumberMapping::operator=(const StringNumberMapping& other) {
  if (this == &other) return *this;
  entries_ = other.entries_;
  rebuildIndex();
  version_ = nextVersion();
  return *this;
}

void StringNumberMapping::rebuildIndex() {
  forgetLastText();
  index_.clear();
  index_.reserve(entries_.size());
  for (const auto& entry : entries_.left) index_.emplace(std::string_view(entry.first), entry.second);
}

std::int32_t StringNumberMapping::getNumber(std::string_view text) const {
  auto found = index_.find(text);
  return found == index_.end() ? -1 : found->second;
}

[[gnu::hot]] std::int32_t StringNumberMapping::findOrAdd(const std::string& text) {
  if (auto found = index_.find(text); found != index_.end()) {
    lastText_ = found->first;
    lastNumber_ = found->second;
    return found->second;
  }
  if (entries_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
  const auto number = static_cast<std::int32_t>(entries_.size());
  // Only a table that also had pairs inserted or removed by hand can already hold
  // the count as a number; refuse rather than hand out a number twice.
  if (!insert(text, number)) {
    assert(false && "dense numbering used on a table with explicit numbers");
    return -1;
  }
  return number;
}

std::string StringNumberMapping::getString(std::int32_t number) const {
  auto found = entries_.right.find(number);
  return found == entries_.right.end() ? std::string() : found->second;
}

bool StringNumberMapping::insert(const std::string& text, std::int32_t number) {
  auto [stored, inserted] = entries_.insert(Entries::value_type(text, number));
  if (!inserted) return false;
  index_.emplace(std::string_view(stored->left), number);
  version_ = nextVersion();
  return true;
}

bool StringNumberMapping::remove(const std::string& text) {
  auto found = entries_.left.find(text);
  if (found == entries_.left.end()) return false;
  forgetLastText();
  index_.erase(std::string_view(found->first));
  entries_.left.erase(found);
  version_ = nextVersion();
  return true;
}

void StringNumberMapping::clear() {
  forgetLastText();
  index_.clear();
  entries_.clear();
  version_ = nextVersion();
}
