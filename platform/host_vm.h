// Host virtual machines: where host-language commands run.
//
//   hvm::HVM* vm = hvm::Factory::getCurrentLocalHVM();
//   vm->feval("disp", {hello}, 0, vm->getOutputSink(), vm->getErrorSink()).get();  // waits, rethrows
//
// Every thread runs host code on one machine: the main machine unless a
// ScopedCurrentHVM has bound another to the thread. A machine's command
// dispatcher knows host functions by name. An evaluation is submitted to the
// dispatcher and its result comes back through a promise: the future holds
// the outputs, or the error the function raised. The dispatcher runs a
// command on the thread that submits it, which is the thread the machine runs
// on, so waiting on the future never waits for another thread.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/host_array.h"

namespace hvm {

/// A host function: fills outputs[0..nOutputs) with new arrays or throws.
/// `out` and `err` are the sinks of the evaluation.
using HostFunction = std::function<void(int nOutputs, haArray* outputs[], int nInputs, const haArray* const inputs[],
                                        std::ostream& out, std::ostream& err)>;

using EvalResult = std::vector<platform::HostArrayPtr>;

class CommandDispatcher {
 public:
  /// Installs `function` under `name` and returns what was there (empty if
  /// nothing); an empty `function` removes the name.
  HostFunction registerFunction(const std::string& name, HostFunction function);
  bool hasFunction(const std::string& name) const;

  /// Runs `name` with copies of nothing: the inputs stay the caller's. The
  /// future holds the outputs, or the function's error ("hvm:UndefinedFunction"
  /// for an unknown name).
  std::future<EvalResult> submit(const std::string& name, std::span<const haArray* const> inputs, int nOutputs,
                                 std::ostream& out, std::ostream& err);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, HostFunction, std::less<>> functions_;
};

class HVM {
 public:
  /// Its sinks are standard output and standard error.
  HVM(std::uint64_t id, bool isMain);
  HVM(const HVM&) = delete;
  HVM& operator=(const HVM&) = delete;

  /// Distinct for every machine of the process; the main machine's is 1.
  std::uint64_t getId() const { return id_; }
  bool isMain() const { return isMain_; }
  CommandDispatcher& getDispatcher() { return dispatcher_; }

  /// The machine's own command window and error stream (standard output and
  /// standard error unless replaced).
  std::ostream& getOutputSink() const { return *out_; }
  std::ostream& getErrorSink() const { return *err_; }
  void setSinks(std::ostream& out, std::ostream& err) {
    out_ = &out;
    err_ = &err;
  }

  /// Evaluates a host function through the dispatcher.
  std::future<EvalResult> feval(const std::string& name, std::span<const haArray* const> inputs, int nOutputs,
                                std::ostream& out, std::ostream& err) {
    return dispatcher_.submit(name, inputs, nOutputs, out, err);
  }

 private:
  std::uint64_t id_;
  bool isMain_;
  CommandDispatcher dispatcher_;
  std::ostream* out_;
  std::ostream* err_;
};

class Factory {
 public:
  /// Lives as long as the process.
  static HVM& getMainHVM();
  /// The machine this thread runs host code on.
  static HVM* getCurrentLocalHVM();
  /// A secondary machine with a fresh identifier.
  static std::unique_ptr<HVM> createHVM();
};

/// Makes `vm` this thread's current machine while it lives.
class ScopedCurrentHVM {
 public:
  explicit ScopedCurrentHVM(HVM& vm);
  ~ScopedCurrentHVM();
  ScopedCurrentHVM(const ScopedCurrentHVM&) = delete;
  ScopedCurrentHVM& operator=(const ScopedCurrentHVM&) = delete;

 private:
  HVM* previous_;
};

}  // namespace hvm
