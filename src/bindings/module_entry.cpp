#include "bindings/module_entry.h"

#include <atomic>
#include <exception>
#include <mutex>

#include "bindings/tracer_class_info.h"
#include "bindings/zeza_dazod_namespace.h"

namespace {

// The host may load the module from several threads at once: the first
// caller registers, the others wait for it.
std::once_flag initialization;
std::atomic<bool> initialized{false};
std::atomic<bool> terminated{false};

}  // namespace

void KVInitialize_performance_tracer() {
  std::exception_ptr failure;
  std::call_once(initialization, [&] {
    // Set first: a failed registration is not retried by later calls.
    initialized.store(true, std::memory_order_release);
    try {
      ptGetZezaDazodCOSNamespace()->addClass(PerformanceTracerCOSClassInfo::getClassInfo());
    } catch (...) {
      failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

void initialize_performance_tracer() { KVInitialize_performance_tracer(); }

void KVTerminate_performance_tracer() { terminated.store(true, std::memory_order_release); }

void destroy_performance_tracer() { KVTerminate_performance_tracer(); }

bool ptIsModuleInitialized() { return initialized.load(std::memory_order_acquire); }

bool ptIsModuleTerminated() { return terminated.load(std::memory_order_acquire); }
