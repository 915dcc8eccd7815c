#include "platform/environment.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

namespace platform {
namespace {

struct Overrides {
  std::mutex mutex;
  std::map<std::string, std::optional<std::string>, std::less<>> values;
};

// Never destroyed: a variable may be read while the process ends.
Overrides& overrides() {
  static Overrides* const instance = new Overrides;
  return *instance;
}

}  // namespace

std::optional<std::string> environmentVariable(const std::string& name) {
  {
    Overrides& all = overrides();
    const std::lock_guard<std::mutex> lock(all.mutex);
    if (auto found = all.values.find(name); found != all.values.end()) return found->second;
  }
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

EnvironmentOverride::EnvironmentOverride(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  Overrides& all = overrides();
  const std::lock_guard<std::mutex> lock(all.mutex);
  if (auto found = all.values.find(name_); found != all.values.end()) previous_ = found->second;
  all.values[name_] = std::move(value);
}

EnvironmentOverride::~EnvironmentOverride() {
  Overrides& all = overrides();
  const std::lock_guard<std::mutex> lock(all.mutex);
  if (previous_) {
    all.values[name_] = std::move(*previous_);
  } else {
    all.values.erase(name_);
  }
}

}  // namespace platform
