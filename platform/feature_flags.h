// Feature flags: named process-wide switches answered by the platform.
//
//   if (platform::isFeatureEnabled("UsePerformanceTracerRecorder")) ...
//   platform::setFeature("UsePerformanceTracerRecorder", true);
//
// A flag is off unless set by `setFeature` or by the environment variable
// PT_FEATURE_<name> (value "1", "true" or "on"); an API call wins over the
// environment.
#pragma once

#include <optional>
#include <string_view>

namespace platform {

bool isFeatureEnabled(std::string_view name);
/// Sets the flag for the process; std::nullopt returns it to the environment's answer.
void setFeature(std::string_view name, std::optional<bool> value);

}  // namespace platform
