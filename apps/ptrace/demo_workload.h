// The demo's workload: a small modelling tool chain that does real work —
// generating and parsing block-diagram models, compiling them (block sorting),
// generating code for the target "TGX", building it into an executable step
// program and running tests that compare it with a reference simulation — and
// logs every phase through the library's exported functions.
//
//   ptEnableTracer("Calvoran Test", true);
//   int failures = ptrace_tool::runDemoWorkload();
#pragma once

#include <string>

namespace ptrace_tool {

/// Enables the demo's groupings and runs the tool chain over a few models;
/// returns the number of tests that failed (0 when the chain is sound). The
/// code generation of `slowerModel` (when one of the demo's models) is done
/// several times over, so that a run can be compared with a slower one.
int runDemoWorkload(const std::string& slowerModel = "");

}  // namespace ptrace_tool
