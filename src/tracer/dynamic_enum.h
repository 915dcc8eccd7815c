// Dynamic enumeration: a growable, two-way unique numbering of names.
//
// The tracer numbers identifier names with it, and trace data files carry it so
// that identifiers stored by number can be named again when read.
//   DynamicEnum names;
//   int32_t n = names.add("modelStr");  names.getString(n) == "modelStr";
#pragma once

#include "tracer/string_number_mapping.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// The two key arrays are rebuilt by the calls that return them, so copies
/// never hand out pointers into another object's storage.
class DynamicEnum {
 public:
  /// The name's number; a new name gets the next value.
  std::int32_t add(const std::string& name);
  /// Stores the pair unless the name or the value is taken; in every case the
  /// next value moves past `value`.
  void add(const std::string& name, std::int32_t value);
  bool remove(const std::string& name);
  /// The name's number, or -1.
  std::int32_t getInt(const std::string& name) const { return entries_.getNumber(name); }
  /// The number's name, or the empty string.
  std::string getString(std::int32_t value) const { return entries_.getString(value); }

  /// Every name, in ascending byte order; valid until the next call or change.
  const std::vector<const char*>& getKeyArray();
  /// The `count` extra keys in their order, then every name in ascending
  /// number order; valid until the next call or change.
  const std::vector<const char*>& combineKeyArrays(const char** extraKeys, std::size_t count);

  /// add(key) for every key of a map whose keys convert to std::string; the
  /// map's values are ignored.
  template <class Map>
  void addKeysFromMap(const Map& map) {
    for (const auto& entry : map) add(static_cast<const std::string&>(entry.first));
  }

  void clear();

  std::size_t size() const { return entries_.size(); }
  std::int32_t nextValue() const { return nextValue_; }
  /// Name ↔ number pairs, by name (left) and by number (right).
  const StringNumberMapping::Entries& entries() const { return entries_.entries(); }

 private:
  StringNumberMapping entries_;
  std::int32_t nextValue_ = 0;
  std::vector<std::string> keyStrings_;
  std::vector<const char*> keyArray_;
  std::vector<const char*> combinedKeys_;
};
