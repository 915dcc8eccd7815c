#include "platform/host_calls.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cbor/configuration.h>
#include <openssl/crypto.h>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/version.hpp>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

#include "platform/system_probe.h"

namespace platform {
namespace {

int fail() { return 1; }

int returnText(int nOut, haArray* outputs[], const std::string& text) {
  if (nOut > 1) return fail();
  if (nOut == 1) outputs[0] = haCreateStringFromNChars(text.data(), text.size());
  return 0;
}

// The one text argument of a query-style function.
bool singleTextArgument(int nIn, const haArray* const inputs[], std::string& text) {
  if (nIn != 1 || !haIsCharVector(inputs[0])) return false;
  text = haArrayToStdString(inputs[0]);
  return true;
}

std::string trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1));
}

// "key : value" lines of /proc/cpuinfo; the first processor's answer is enough.
std::string cpuInfoValue(const std::string& key) {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && trim(std::string_view(line).substr(0, colon)) == key)
      return trim(std::string_view(line).substr(colon + 1));
  }
  return {};
}

struct utsname unameInfo() {
  struct utsname info {};
  if (::uname(&info) != 0) return {};
  return info;
}

std::string processorModel() {
  // x86 names the model; other architectures use one of the later keys.
  for (const char* key : {"model name", "Hardware", "Processor", "cpu model", "cpu"}) {
    std::string value = cpuInfoValue(key);
    if (!value.empty()) return value;
  }
  return unameInfo().machine;
}

// Value of an os-release assignment: optionally quoted, with shell escapes.
std::string unquoteOsReleaseValue(std::string_view raw) {
  if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front()) {
    const char quote = raw.front();
    raw = raw.substr(1, raw.size() - 2);
    if (quote == '\'') return std::string(raw);
  }
  std::string value;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;
    value += raw[i];
  }
  return value;
}

std::string operatingSystemName() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    std::map<std::string, std::string> fields;
    std::string line;
    while (std::getline(in, line)) {
      const auto eq = line.find('=');
      if (eq == std::string::npos || line.starts_with('#')) continue;
      fields[trim(std::string_view(line).substr(0, eq))] =
          unquoteOsReleaseValue(trim(std::string_view(line).substr(eq + 1)));
    }
    if (!fields["PRETTY_NAME"].empty()) return fields["PRETTY_NAME"];
    if (!fields["NAME"].empty()) return trim(fields["NAME"] + " " + fields["VERSION"]);
  }
  return unameInfo().sysname;
}

std::string kernelName() {
  const struct utsname info = unameInfo();
  return trim(std::string(info.sysname) + " " + info.release);
}

double onlineProcessorCount() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  if (n > 0) return static_cast<double>(n);
  return static_cast<double>(std::max(1u, std::thread::hardware_concurrency()));
}

std::string productVersion() { return PT_VERSION; }

std::string installedComponents() {
  const std::string rule(100, '-');
  auto line = [](std::string name, const std::string& version) {
    name.resize(std::max<std::size_t>(name.size() + 1, 54), ' ');
    return name + "Version " + version + "\n";
  };
  std::ostringstream boost;
  boost << BOOST_VERSION / 100000 << '.' << BOOST_VERSION / 100 % 1000 << '.' << BOOST_VERSION % 100;
  const std::string cbor = std::to_string(CBOR_MAJOR_VERSION) + "." + std::to_string(CBOR_MINOR_VERSION) + "." +
                           std::to_string(CBOR_PATCH_VERSION);
  const struct utsname info = unameInfo();
  return rule + "\n" + "performance_tracer Version " + productVersion() + "\n" +
         "Operating System: " + operatingSystemName() + " " + kernelName() + " " + info.machine + "\n" + rule + "\n" +
         line("performance_tracer", productVersion()) + line("Boost", boost.str()) + line("libcbor", cbor) +
         line("OpenSSL", OpenSSL_version(OPENSSL_VERSION_STRING));
}

int kavlorroot(int nOut, haArray* outputs[], int nIn, const haArray* const[]) {
  if (nIn != 0) return fail();
  return returnText(nOut, outputs, installationRoot());
}

int systemDependent(int nOut, haArray* outputs[], int nIn, const haArray* const inputs[]) {
  std::string query;
  if (!singleTextArgument(nIn, inputs, query)) return fail();
  if (boost::iequals(query, "getcpu")) return returnText(nOut, outputs, processorModel());
  if (boost::iequals(query, "getos")) return returnText(nOut, outputs, operatingSystemName());
  if (boost::iequals(query, "getwinsys")) return returnText(nOut, outputs, kernelName());
  return fail();
}

int feature(int nOut, haArray* outputs[], int nIn, const haArray* const inputs[]) {
  std::string name;
  if (!singleTextArgument(nIn, inputs, name) || !boost::iequals(name, "numCores") || nOut > 1) return fail();
  if (nOut == 1) outputs[0] = haCreateDoubleScalar(onlineProcessorCount());
  return 0;
}

int version(int nOut, haArray* outputs[], int nIn, const haArray* const[]) {
  if (nIn == 0) return returnText(nOut, outputs, productVersion());
  // "-java" asks for the Java VM's version; there is no Java VM in this host.
  return fail();
}

int evalc(int nOut, haArray* outputs[], int nIn, const haArray* const inputs[]) {
  std::string command;
  if (!singleTextArgument(nIn, inputs, command) || trim(command) != "ver") return fail();
  return returnText(nOut, outputs, installedComponents());
}

std::map<std::string, HostFunction> builtins() {
  return {{"kavlorroot", kavlorroot},
          {"system_dependent", systemDependent},
          {"feature", feature},
          {"version", version},
          {"evalc", evalc}};
}

struct Registry {
  std::mutex mutex;
  std::map<std::string, HostFunction> functions = builtins();
};

Registry& registry() {
  static Registry r;
  return r;
}

HostFunction lookUp(const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const auto it = r.functions.find(name);
  return it == r.functions.end() ? HostFunction{} : it->second;
}

}  // namespace

HostFunction registerHostFunction(const std::string& name, HostFunction function) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  HostFunction previous;
  if (const auto it = r.functions.find(name); it != r.functions.end()) {
    previous = std::move(it->second);
    r.functions.erase(it);
  }
  if (function) r.functions.emplace(name, std::move(function));
  return previous;
}

void unregisterHostFunction(const std::string& name) { registerHostFunction(name, {}); }

void restoreBuiltinHostFunctions() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.functions = builtins();
}

ScopedHostFunction::ScopedHostFunction(std::string name, HostFunction replacement)
    : name_(std::move(name)), previous_(registerHostFunction(name_, std::move(replacement))) {}

ScopedHostFunction::~ScopedHostFunction() { registerHostFunction(name_, std::move(previous_)); }

}  // namespace platform

int hxCallKAVLOR(int nOut, haArray* outputs[], int nIn, haArray* inputs[], const char* functionName) {
  if (outputs != nullptr)
    for (int i = 0; i < nOut; ++i) outputs[i] = nullptr;
  if (nOut < 0 || nIn < 0 || (nOut > 0 && outputs == nullptr) || (nIn > 0 && inputs == nullptr) ||
      functionName == nullptr)
    return 1;
  const platform::HostFunction function = platform::lookUp(functionName);
  if (!function) return 1;

  int result = 1;
  try {
    result = function(nOut, outputs, nIn, inputs);
  } catch (...) {
    result = 1;  // a host function's failure is reported as a failed call, like any other
  }
  for (int i = 0; result == 0 && i < nOut; ++i)
    if (outputs[i] == nullptr) result = 1;  // callers rely on every requested output
  if (result != 0) {
    for (int i = 0; i < nOut; ++i) {
      haDestroyArray(outputs[i]);
      outputs[i] = nullptr;
    }
  }
  return result;
}
