#include "tracer/string_number_mapping.h"

#include <cassert>
#include <limits>

std::int32_t StringNumberMapping::getNumber(const std::string& text) const {
  auto found = entries_.left.find(text);
  return found == entries_.left.end() ? -1 : found->second;
}

std::int32_t StringNumberMapping::getNumberOrAdd(const std::string& text) {
  auto found = entries_.left.find(text);
  if (found != entries_.left.end()) return found->second;
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
  return entries_.insert(Entries::value_type(text, number)).second;
}

bool StringNumberMapping::remove(const std::string& text) { return entries_.left.erase(text) > 0; }
