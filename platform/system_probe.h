// System probe: facts about the machine and the installation.
//
//   std::optional<double> khz = platform::maxProcessorFrequencyKHz();
//   std::string root = platform::installationRoot();
#pragma once

#include <optional>
#include <string>

namespace platform {

/// Highest frequency any processor may run at, in kHz: sysfs cpufreq first,
/// else the "cpu MHz" lines of /proc/cpuinfo; nullopt when neither answers.
std::optional<double> maxProcessorFrequencyKHz();

/// Root folder of the installation: $PT_INSTALL_ROOT when set, otherwise the
/// folder the library was installed or staged into.
std::string installationRoot();

}  // namespace platform
