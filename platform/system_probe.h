// System probe: facts about the machine and the installation.
//
//   std::optional<double> khz = platform::maxProcessorFrequencyKHz();
//   std::string root = platform::installationRoot();
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Highest frequency any processor may run at, in kHz: sysfs cpufreq first,
/// else the "cpu MHz" lines of /proc/cpuinfo; nullopt when neither answers.
std::optional<double> maxProcessorFrequencyKHz();

/// Root folder of the installation: $PT_INSTALL_ROOT when set and non-empty;
/// otherwise the parent of the lib/ or bin/ folder holding the loaded library
/// (or program); otherwise, in a build tree, the build folder.
std::string installationRoot();

namespace detail {

/// Highest "cpu MHz" of a /proc/cpuinfo text, in kHz.
std::optional<double> maxFrequencyKHzFromCpuinfo(std::string_view cpuinfo);
/// Highest cpu*/cpufreq/cpuinfo_max_freq (kHz) under `cpuRoot`, normally /sys/devices/system/cpu.
std::optional<double> maxFrequencyKHzFromSysfs(const std::filesystem::path& cpuRoot);
/// The sysfs answer, else the cpuinfo one.
std::optional<double> maxProcessorFrequencyKHz(const std::filesystem::path& cpuRoot,
                                               const std::filesystem::path& cpuinfoPath);
/// <root> for a binary at <root>/{bin,lib,lib64}/name or <root>/lib/<multiarch>/name.
std::optional<std::string> rootFromBinaryPath(const std::filesystem::path& binary);

}  // namespace detail

}  // namespace platform
