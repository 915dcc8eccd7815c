// Environment: the process environment variables the library and its tools
// read, through one door that tests can fake without touching the process.
//
//   std::optional<std::string> probe = platform::environmentVariable("PT_BASIC_MEMORY_PROBE");
//   platform::EnvironmentOverride off("PT_BASIC_MEMORY_PROBE", "off");  // in a test
#pragma once

#include <optional>
#include <string>

namespace platform {

/// The variable's value, or std::nullopt when it is not set. An override
/// alive for the name answers instead of the process environment.
std::optional<std::string> environmentVariable(const std::string& name);

/// While alive, environmentVariable(name) answers `value` (std::nullopt:
/// not set); the process environment itself is never changed. Overrides of
/// one name nest: the latest answers, and destroying it brings back the one
/// before. Meant for tests, one thread at a time.
class EnvironmentOverride {
 public:
  EnvironmentOverride(std::string name, std::optional<std::string> value);
  ~EnvironmentOverride();
  EnvironmentOverride(const EnvironmentOverride&) = delete;
  EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

 private:
  std::string name_;
  std::optional<std::optional<std::string>> previous_;
};

}  // namespace platform
