// Gathering the system information record from the host, once per process.
//
//   const PTSystemInfoStruct& info = pt::sysinfo::gatheredSystemInfo();
//   std::cout << info.processorStr << ", " << info.cpuSpeedStr << "\n";
#pragma once

#include <optional>
#include <string>

#include "sysinfo/system_info.h"

namespace pt::sysinfo {

/// The record of this process: gathered through the host calls on the first
/// call, the same values afterwards. A host query answering with a value of the
/// wrong kind raises the host error "UnexpectedValue"; the next call then
/// gathers again. A host call that fails leaves its field empty.
const PTSystemInfoStruct& gatheredSystemInfo();

/// Asks the host for every field, on every call: processor, CPU speed, cores,
/// total memory, version, Java version, operating system, installed products.
PTSystemInfoStruct gatherSystemInfo();

/// "3.2 GHz" for 3,200,000 kHz, "800 MHz" for 800,000; "0 MHz" when unknown.
std::string formatCpuSpeed(std::optional<double> frequencyKHz);

/// Text answer of host function `function` called with `query` (none when
/// null); empty when the call fails, "UnexpectedValue" with `label` when the
/// answer is not text.
std::string hostTextAnswer(const char* function, const char* query, const char* label);

/// Whole number of processor cores from the host, empty when the call fails.
std::string hostNumberOfCores();

}  // namespace pt::sysinfo
