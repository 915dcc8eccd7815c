#include "platform/feature_flags.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace platform {
namespace {

using Overrides = std::map<std::string, bool, std::less<>>;

// Flags are read on the logging path and set almost never, so a reader takes
// no lock: it loads the current snapshot of the overrides, and a writer
// publishes a new snapshot. Old snapshots stay alive (a reader may still be
// inside one); there is one per setFeature call, a handful in a process.
class FeatureRegistry {
 public:
  const Overrides* current() const { return current_.load(std::memory_order_acquire); }

  void set(std::string_view name, std::optional<bool> value) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto next = std::make_unique<Overrides>(*current());
    if (value) {
      next->insert_or_assign(std::string(name), *value);
    } else if (auto it = next->find(name); it != next->end()) {
      next->erase(it);
    }
    current_.store(next.get(), std::memory_order_release);
    snapshots_.push_back(std::move(next));
  }

  // Never destroyed: flags are read by logging from static destructors and
  // exit handlers too.
  static FeatureRegistry& instance() {
    static FeatureRegistry* const registry = new FeatureRegistry;
    return *registry;
  }

 private:
  FeatureRegistry() : current_(snapshots_.emplace_back(std::make_unique<Overrides>()).get()) {}

  std::mutex mutex_;
  std::vector<std::unique_ptr<Overrides>> snapshots_;
  std::atomic<const Overrides*> current_;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Scans the environment in place: getenv would need the variable's name built
// in a buffer, and flag names are long enough for that to allocate.
std::optional<std::string_view> environmentValue(std::string_view name) {
  constexpr std::string_view prefix = "PT_FEATURE_";
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    if (text.size() <= prefix.size() + name.size() || text.substr(0, prefix.size()) != prefix ||
        text.substr(prefix.size(), name.size()) != name || text[prefix.size() + name.size()] != '=') {
      continue;
    }
    return text.substr(prefix.size() + name.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

bool isFeatureEnabled(std::string_view name) {
  const Overrides* overrides = FeatureRegistry::instance().current();
  if (auto it = overrides->find(name); it != overrides->end()) return it->second;
  std::optional<std::string_view> value = environmentValue(name);
  if (!value) return false;
  return *value == "1" || equalsIgnoringCase(*value, "true") || equalsIgnoringCase(*value, "on");
}

void setFeature(std::string_view name, std::optional<bool> value) { FeatureRegistry::instance().set(name, value); }

}  // namespace platform
