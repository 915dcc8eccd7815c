// Processed identifier map: the identifiers of a report row (identifier name →
// number of its value in that identifier's table), ordered by name so that
// equal identifiers always print in one order.
//
//   PTProcessedIdentifierMap ids = pool.share(rawPoint.identifiers);
//   for (const auto& [name, number] : ids) print(name, number);
//
// The rows of a trace mostly carry a handful of distinct identifier sets, so
// equal maps share one immutable set of entries (made once by a
// PTIdentifierMapPool); writing to a map gives it entries of its own first.
// Copies therefore behave as independent maps.
#pragma once

#include "tracer/identifier_map.h"

#include <boost/container/flat_map.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/unordered_map.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

class PTProcessedIdentifierMap {
 public:
  using Entries = boost::container::flat_map<IdentifierName, std::int32_t>;
  using value_type = Entries::value_type;
  using const_iterator = Entries::const_iterator;
  using iterator = const_iterator;
  using size_type = std::size_t;

  PTProcessedIdentifierMap() = default;
  /// The entries of a tracer point's map, not shared.
  explicit PTProcessedIdentifierMap(const PTIdentifierMap& identifiers);

  const_iterator begin() const { return entries().begin(); }
  const_iterator end() const { return entries().end(); }
  size_type size() const { return entries_ ? entries_->size() : 0; }
  bool empty() const { return size() == 0; }
  const_iterator find(const IdentifierName& name) const { return entries().find(name); }
  size_type count(const IdentifierName& name) const { return entries().count(name); }
  /// The number stored under `name`, or -1; does not intern `name`.
  std::int32_t number(std::string_view name) const;
  const Entries& entries() const;

  /// The number under `name`, inserting 0 when missing.
  std::int32_t& operator[](const IdentifierName& name) { return own()[name]; }
  void clear() { entries_.reset(); }

  friend bool operator==(const PTProcessedIdentifierMap& a, const PTProcessedIdentifierMap& b) {
    return a.entries_ == b.entries_ || a.entries() == b.entries();
  }

 private:
  friend class PTIdentifierMapPool;
  explicit PTProcessedIdentifierMap(boost::shared_ptr<Entries> entries) : entries_(std::move(entries)) {}
  /// Entries this map alone refers to, copied first when shared.
  Entries& own();

  /// Null when empty. Never changed while another map refers to it.
  boost::shared_ptr<Entries> entries_;
};

/// Hands out one shared set of entries per distinct identifier map, for the
/// rows of one analysis run.
class PTIdentifierMapPool {
 public:
  PTProcessedIdentifierMap share(const PTIdentifierMap& identifiers);

 private:
  boost::unordered_map<std::size_t, std::vector<boost::shared_ptr<PTProcessedIdentifierMap::Entries>>> sets_;
};
