// Identifier maps: the name → value-number map every tracer point carries.
//
// A trace holds millions of points and each names the same few identifiers
// ("modelStr", "statisticsTypeStr", ...). `IdentifierName` interns a name once
// for the process, so a map key is one pointer rather than a std::string, which
// would allocate for every name longer than its small-string buffer.
//   PTIdentifierMap ids = makeIdentifierMap();
//   ids["modelStr"] = 3;  int32_t n = findIdentifierNumber(ids, "modelStr");
#pragma once

#include "platform/huge_page_pool.h"

#include <boost/unordered_map.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace pt::detail {

/// One interned name; lives until the process ends.
struct InternedText {
  std::string text;
  std::size_t hash;
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

/// Identifier name → number of its value in that identifier's own table. Its
/// nodes and buckets come from the pool that holds the points themselves: a
/// trace has millions of these maps, each a handful of small allocations.
using PTIdentifierMap =
    boost::unordered_map<IdentifierName, std::int32_t, boost::hash<IdentifierName>, std::equal_to<IdentifierName>,
                         platform::HugePageAllocator<std::pair<const IdentifierName, std::int32_t>>>;

/// An empty map with the smallest bucket array and a maximum load factor of
/// 1.0; the default constructor would reserve 16 buckets for a handful of keys.
PTIdentifierMap makeIdentifierMap();

/// The number stored under `name`, or -1. Does not intern `name`, so looking up
/// unknown names leaves nothing behind.
std::int32_t findIdentifierNumber(const PTIdentifierMap& identifiers, std::string_view name);
