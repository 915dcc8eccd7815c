#include "analysis/processed_identifier_map.h"

#include <boost/make_shared.hpp>

namespace {

const PTProcessedIdentifierMap::Entries& emptyEntries() {
  static const PTProcessedIdentifierMap::Entries empty;
  return empty;
}

boost::shared_ptr<PTProcessedIdentifierMap::Entries> entriesOf(const PTIdentifierMap& identifiers) {
  auto entries = boost::make_shared<PTProcessedIdentifierMap::Entries>();
  entries->reserve(identifiers.size());
  for (const auto& [name, number] : identifiers) entries->emplace(name, number);
  return entries;
}

// Independent of the order in which the hash map visits its entries.
std::size_t hashOf(const PTIdentifierMap& identifiers) {
  std::size_t hash = identifiers.size();
  for (const auto& [name, number] : identifiers) {
    std::size_t entry =
        name.hash() ^ (static_cast<std::size_t>(static_cast<std::uint32_t>(number)) * 0x9E3779B97F4A7C15ULL);
    entry ^= entry >> 29;
    entry *= 0xBF58476D1CE4E5B9ULL;
    hash += entry ^ (entry >> 32);
  }
  return hash;
}

bool sameEntries(const PTProcessedIdentifierMap::Entries& entries, const PTIdentifierMap& identifiers) {
  if (entries.size() != identifiers.size()) return false;
  for (const auto& [name, number] : identifiers) {
    const auto found = entries.find(name);
    if (found == entries.end() || found->second != number) return false;
  }
  return true;
}

}  // namespace

PTProcessedIdentifierMap::PTProcessedIdentifierMap(const PTIdentifierMap& identifiers) {
  if (!identifiers.empty()) entries_ = entriesOf(identifiers);
}

const PTProcessedIdentifierMap::Entries& PTProcessedIdentifierMap::entries() const {
  return entries_ ? *entries_ : emptyEntries();
}

std::int32_t PTProcessedIdentifierMap::number(std::string_view name) const {
  // A handful of entries: a scan beats interning the name for a lookup.
  for (const auto& [key, number] : entries()) {
    if (key == name) return number;
  }
  return -1;
}

PTProcessedIdentifierMap::Entries& PTProcessedIdentifierMap::own() {
  if (!entries_) {
    entries_ = boost::make_shared<Entries>();
  } else if (entries_.use_count() > 1) {
    entries_ = boost::make_shared<Entries>(*entries_);
  }
  return *entries_;
}

PTProcessedIdentifierMap PTIdentifierMapPool::share(const PTIdentifierMap& identifiers) {
  if (identifiers.empty()) return PTProcessedIdentifierMap();
  std::vector<boost::shared_ptr<PTProcessedIdentifierMap::Entries>>& candidates = sets_[hashOf(identifiers)];
  for (const auto& entries : candidates) {
    if (sameEntries(*entries, identifiers)) return PTProcessedIdentifierMap(entries);
  }
  candidates.push_back(entriesOf(identifiers));
  return PTProcessedIdentifierMap(candidates.back());
}
