// Host calls: the host-language functions the library asks for facts.
//
//   haArray* out[1] = {nullptr};
//   if (hxCallKAVLOR(1, out, 0, nullptr, "kavlorroot") == 0) root = haArrayToStdString(out[0]);
//
// Calls are dispatched by name to a registry of host functions. Built in, with
// answers from this Linux machine:
//   "kavlorroot"                       installation root (text)
//   "system_dependent" "getcpu"        processor model (text)
//   "system_dependent" "getos"         operating system name and version (text)
//   "system_dependent" "getwinsys"     kernel name and release (text)
//   "feature" "numCores"               number of online processors (double)
//   "version"                          product version (text); "-java" fails: there is no Java VM
//   "evalc" "ver"                      listing of the installed components (text)
// Query names are matched without regard to case. Tests install fakes with
// ScopedHostFunction.
#pragma once

#include <functional>
#include <string>

#include "platform/host_array.h"

/// Calls the host function `functionName`. Returns 0 on success, with
/// outputs[0..nOut) set to new arrays owned by the caller; any other result
/// means failure, with every output set to nullptr. Inputs stay the caller's.
/// An unknown function, wrong arguments or a function that throws all fail.
int hxCallKAVLOR(int nOut, haArray* outputs[], int nIn, haArray* inputs[], const char* functionName);

namespace platform {

/// Fills outputs[0..nOut) (all nullptr on entry) with new arrays and returns 0,
/// or returns non-zero; the dispatcher releases whatever a failed call produced.
using HostFunction = std::function<int(int nOut, haArray* outputs[], int nIn, const haArray* const inputs[])>;

/// Installs `function` under `name` and returns what was there before (empty if nothing).
/// An empty `function` removes the name.
HostFunction registerHostFunction(const std::string& name, HostFunction function);

/// Removes `name`; later calls of it fail.
void unregisterHostFunction(const std::string& name);

/// Drops every replacement and puts the built-in functions back.
void restoreBuiltinHostFunctions();

/// Replaces one host function for the lifetime of the object.
class ScopedHostFunction {
 public:
  ScopedHostFunction(std::string name, HostFunction replacement);
  ~ScopedHostFunction();
  ScopedHostFunction(const ScopedHostFunction&) = delete;
  ScopedHostFunction& operator=(const ScopedHostFunction&) = delete;

 private:
  std::string name_;
  HostFunction previous_;
};

}  // namespace platform
