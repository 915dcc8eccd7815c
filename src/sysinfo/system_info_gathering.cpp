#include "sysinfo/system_info_gathering.h"

#include <cmath>
#include <mutex>
#include <sstream>

#include "host/cell_records.h"
#include "platform/host_array.h"
#include "platform/host_calls.h"
#include "platform/host_messages.h"
#include "platform/system_probe.h"

namespace pt::sysinfo {
namespace {

// Inputs and outputs of one host call, released on every path.
struct HostCall {
  haArray* input = nullptr;
  haArray* output = nullptr;
  ~HostCall() {
    haDestroyArray(input);
    haDestroyArray(output);
  }
  bool run(const char* function, const char* query) {
    if (query != nullptr) input = haCreateString(query);
    haArray* inputs[1] = {input};
    haArray* outputs[1] = {nullptr};
    const int status = hxCallKAVLOR(1, outputs, input != nullptr ? 1 : 0, inputs, function);
    output = outputs[0];
    return status == 0 && output != nullptr;
  }
};

std::string formatSignificant(double value) {
  std::ostringstream text;
  text.precision(5);
  text << value;
  return text.str();
}

}  // namespace

std::string hostTextAnswer(const char* function, const char* query, const char* label) {
  HostCall call;
  if (!call.run(function, query)) return {};
  if (!haIsChar(call.output) || !(haIsCharVector(call.output) || haIsEmpty(call.output))) {
    haErrorMsgIdAndTxt("UnexpectedValue", label);
  }
  return ptCreateStringFrom_haArray(call.output);
}

std::string hostNumberOfCores() {
  HostCall call;
  if (!call.run("feature", "numCores")) return {};
  const double cores = haGetScalar(call.output);
  // llround of a value beyond long long (or NaN) is undefined.
  if (!haIsNumeric(call.output) || haIsEmpty(call.output) || !(std::fabs(cores) < 9.0e18))
    haErrorMsgIdAndTxt("UnexpectedValue", "Number of Cores");
  std::ostringstream text;
  text << static_cast<long long>(std::llround(cores));
  return text.str();
}

std::string formatCpuSpeed(std::optional<double> frequencyKHz) {
  const double f = frequencyKHz.value_or(0.0);
  if (f / 1e6 > 1.0) return formatSignificant(f / 1e6) + " GHz";
  return formatSignificant(f / 1000) + " MHz";
}

PTSystemInfoStruct gatherSystemInfo() {
  // Field by field, in the order the host is asked.
  PTSystemInfoStruct gathered;
  gathered.processorStr = hostTextAnswer("system_dependent", "getcpu", "CPU information");
  gathered.cpuSpeedStr = formatCpuSpeed(platform::maxProcessorFrequencyKHz());
  gathered.numCoresStr = hostNumberOfCores();
  gathered.totalPhysMemStr = "N/A";
  gathered.KAVLORVersionStr = hostTextAnswer("version", nullptr, "CPU information");
  gathered.javaVMVersionStr = hostTextAnswer("version", "-java", "CPU information");
  // Two statements: the operands of + may be evaluated in either order.
  const std::string system = hostTextAnswer("system_dependent", "getos", "CPU information");
  gathered.operatingSystemStr = system + " " + hostTextAnswer("system_dependent", "getwinsys", "CPU information");
  gathered.installedProductsStr = hostTextAnswer("evalc", "ver", "installed products: [evalc('ver')]");
  return gathered;
}

const PTSystemInfoStruct& gatheredSystemInfo() {
  static std::mutex mutex;
  static PTSystemInfoStruct record;
  static bool complete = false;
  std::lock_guard lock(mutex);
  if (complete) return record;
  // A throw leaves the record incomplete so that the next call asks again.
  record = gatherSystemInfo();
  complete = true;
  return record;
}

}  // namespace pt::sysinfo
