// The tracer's system information members: thin forwards to the gathering.
#include "platform/system_probe.h"
#include "sysinfo/system_info_gathering.h"
#include "tracer/performance_tracer.h"

PTSystemInfoStruct PerformanceTracer::gatherSystemInfoFromKAVLOR() const { return pt::sysinfo::gatheredSystemInfo(); }

PTSystemInfoStruct PerformanceTracer::getSystemInfo() const { return gatherSystemInfoFromKAVLOR(); }

const PTSystemInfoStruct* PerformanceTracer::getSystemInfo() {
  // Made once; a gathering that throws leaves it unmade for the next call.
  static const PTSystemInfoStruct copy = pt::sysinfo::gatheredSystemInfo();
  return &copy;
}

std::string PerformanceTracer::getSystemDependentInfoFromKAVLOR(const char* query) const {
  return pt::sysinfo::hostTextAnswer("system_dependent", query, "CPU information");
}

std::string PerformanceTracer::getCPUSpeed() const {
  return pt::sysinfo::formatCpuSpeed(platform::maxProcessorFrequencyKHz());
}

std::string PerformanceTracer::getNumCoresFromKAVLOR() const { return pt::sysinfo::hostNumberOfCores(); }

std::string PerformanceTracer::getTotalMemoryInMB() const { return "N/A"; }

std::string PerformanceTracer::getVersionInfoFromKAVLOR(const char* option) const {
  return pt::sysinfo::hostTextAnswer("version", option, "CPU information");
}

std::string PerformanceTracer::getInstalledProductsFromKAVLOR() const {
  return pt::sysinfo::hostTextAnswer("evalc", "ver", "installed products: [evalc('ver')]");
}
