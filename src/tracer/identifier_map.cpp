#include "tracer/identifier_map.h"

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>

namespace pt::detail {

std::size_t hashIdentifierText(std::string_view text) noexcept { return std::hash<std::string_view>{}(text); }

namespace {

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
    auto entry = std::make_unique<InternedText>(InternedText{std::string(text), hash});
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

struct TextHash {
  std::size_t operator()(std::string_view text) const noexcept { return hashIdentifierText(text); }
  std::size_t operator()(const IdentifierName& name) const noexcept { return name.hash(); }
};

struct TextEqual {
  bool operator()(std::string_view a, const IdentifierName& b) const noexcept { return b == a; }
  bool operator()(const IdentifierName& a, std::string_view b) const noexcept { return a == b; }
};

}  // namespace
}  // namespace pt::detail

IdentifierName::IdentifierName() : IdentifierName(std::string_view()) {}

IdentifierName::IdentifierName(std::string_view text) : entry_(pt::detail::pool().intern(text)) {}

std::ostream& operator<<(std::ostream& out, const IdentifierName& name) { return out << name.str(); }

PTIdentifierMap makeIdentifierMap() {
  PTIdentifierMap identifiers(0);
  identifiers.max_load_factor(1.0f);
  return identifiers;
}

std::int32_t findIdentifierNumber(const PTIdentifierMap& identifiers, std::string_view name) {
  auto found = identifiers.find(name, pt::detail::TextHash{}, pt::detail::TextEqual{});
  return found == identifiers.end() ? -1 : found->second;
}
