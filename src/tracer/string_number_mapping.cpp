#include "tracer/string_number_mapping.h"

#include <cassert>
#include <limits>

namespace {

// The view's find() copies its key into a new std::string (the bimap converts
// it to the index's const key type by value), which allocates for every text
// longer than the small-string buffer; a range search compares in place. It
// runs on every logged point.
const std::int32_t* findNumber(const StringNumberMapping::Entries& entries, const std::string& text) {
  auto from = entries.left.range([&](const std::string& key) { return !(key < text); }, boost::bimaps::unbounded);
  return from.first == from.second || from.first->first != text ? nullptr : &from.first->second;
}

}  // namespace

std::int32_t StringNumberMapping::getNumber(const std::string& text) const {
  const std::int32_t* number = findNumber(entries_, text);
  return number == nullptr ? -1 : *number;
}

std::int32_t StringNumberMapping::getNumberOrAdd(const std::string& text) {
  if (const std::int32_t* number = findNumber(entries_, text)) return *number;
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
  if (!entries_.insert(Entries::value_type(text, number)).second) return false;
  ++version_;
  return true;
}

bool StringNumberMapping::remove(const std::string& text) {
  if (entries_.left.erase(text) == 0) return false;
  ++version_;
  return true;
}
