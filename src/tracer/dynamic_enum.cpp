#include "tracer/dynamic_enum.h"

#include <limits>

namespace {
constexpr std::int32_t kMaxValue = std::numeric_limits<std::int32_t>::max();
}

std::int32_t DynamicEnum::add(const std::string& name) {
  const auto& byName = entries_.entries().left;
  if (auto found = byName.find(name); found != byName.end()) return found->second;
  // nextValue_ stays above every stored number, except once it saturates at the
  // largest number, which can then be taken.
  if (!entries_.insert(name, nextValue_)) return -1;
  const std::int32_t value = nextValue_;
  if (nextValue_ < kMaxValue) ++nextValue_;
  return value;
}

void DynamicEnum::add(const std::string& name, std::int32_t value) {
  entries_.insert(name, value);
  if (nextValue_ <= value) nextValue_ = value < kMaxValue ? value + 1 : kMaxValue;
}

bool DynamicEnum::remove(const std::string& name) { return entries_.remove(name); }

const std::vector<const char*>& DynamicEnum::getKeyArray() {
  keyStrings_.clear();
  keyStrings_.reserve(entries_.size());
  for (const auto& entry : entries_.entries().left) keyStrings_.push_back(entry.first);
  keyArray_.clear();
  keyArray_.reserve(keyStrings_.size());
  for (const std::string& key : keyStrings_) keyArray_.push_back(key.c_str());
  return keyArray_;
}

const std::vector<const char*>& DynamicEnum::combineKeyArrays(const char** extraKeys, std::size_t count) {
  combinedKeys_.clear();
  combinedKeys_.reserve(count + entries_.size());
  if (extraKeys != nullptr) combinedKeys_.insert(combinedKeys_.end(), extraKeys, extraKeys + count);
  for (const auto& entry : entries_.entries().right) combinedKeys_.push_back(entry.second.c_str());
  return combinedKeys_;
}

void DynamicEnum::clear() {
  entries_.clear();
  nextValue_ = 0;
  keyStrings_.clear();
  keyArray_.clear();
  combinedKeys_.clear();
}
