#include "platform/host_vm.h"

#include <algorithm>
#include <atomic>
#include <iostream>
#include <utility>

#include "platform/host_messages.h"

namespace hvm {
namespace {

thread_local HVM* currentMachine = nullptr;
std::atomic<std::uint64_t> nextMachineId{2};

}  // namespace

HostFunction CommandDispatcher::registerFunction(const std::string& name, HostFunction function) {
  std::lock_guard<std::mutex> lock(mutex_);
  HostFunction previous;
  if (auto found = functions_.find(name); found != functions_.end()) {
    previous = std::move(found->second);
    functions_.erase(found);
  }
  if (function) functions_.emplace(name, std::move(function));
  return previous;
}

bool CommandDispatcher::hasFunction(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return functions_.contains(name);
}

std::future<EvalResult> CommandDispatcher::submit(const std::string& name, std::span<const haArray* const> inputs,
                                                  int nOutputs, std::ostream& out, std::ostream& err) {
  std::promise<EvalResult> promise;
  std::future<EvalResult> result = promise.get_future();
  HostFunction function;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto found = functions_.find(name); found != functions_.end()) function = found->second;
  }
  std::vector<haArray*> slots(static_cast<std::size_t>(std::max(nOutputs, 1)), nullptr);
  try {
    if (!function) haErrorMsgIdAndTxt("hvm:UndefinedFunction", name);
    function(nOutputs, slots.data(), static_cast<int>(inputs.size()), inputs.data(), out, err);
    EvalResult outputs;
    for (int i = 0; i < nOutputs; ++i) outputs.emplace_back(std::exchange(slots[static_cast<std::size_t>(i)], nullptr));
    promise.set_value(std::move(outputs));
  } catch (...) {
    promise.set_exception(std::current_exception());
  }
  for (haArray* slot : slots) haDestroyArray(slot);
  return result;
}

HVM::HVM(std::uint64_t id, bool isMain) : id_(id), isMain_(isMain), out_(&std::cout), err_(&std::cerr) {}

HVM& Factory::getMainHVM() {
  static HVM* const main = new HVM(1, true);
  return *main;
}

HVM* Factory::getCurrentLocalHVM() { return currentMachine ? currentMachine : &getMainHVM(); }

std::unique_ptr<HVM> Factory::createHVM() {
  return std::make_unique<HVM>(nextMachineId.fetch_add(1, std::memory_order_relaxed), false);
}

ScopedCurrentHVM::ScopedCurrentHVM(HVM& vm) : previous_(std::exchange(currentMachine, &vm)) {}

ScopedCurrentHVM::~ScopedCurrentHVM() { currentMachine = previous_; }

}  // namespace hvm
