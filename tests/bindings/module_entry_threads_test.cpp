#include "bindings/module_entry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bindings/tracer_class_info.h"
#include "bindings/zeza_dazod_namespace.h"

namespace {

// Registering twice would raise "vesk:NameAlreadyDefined" in the loser; a
// caller that returned before the winner finished would find no class.
TEST(ModuleEntryThreads, TwoThreadsInitialisingAtOnceRegisterEverythingOnce) {
  std::atomic<bool> go{false};
  std::atomic<int> complete{0};
  auto load = [&](void (*entry)()) {
    while (!go.load()) std::this_thread::yield();
    entry();
    if (vesk::COSClass::getClass("ZezaDazod.Tracer") != nullptr &&
        vesk::COSClass::getClass("ZezaDazod.Tracer.ScopedTracerData") != nullptr)
      ++complete;
  };
  std::thread first(load, &KVInitialize_performance_tracer);
  std::thread second(load, &initialize_performance_tracer);
  go = true;
  first.join();
  second.join();
  EXPECT_EQ(complete.load(), 2);
  EXPECT_EQ(vesk::COSClass::getClass("ZezaDazod.Tracer")->getMethods().size(), tracerMethodTable().size());
  EXPECT_EQ(ptGetZezaDazodCOSNamespace()->getFunctionNames().size(), 3u);
}

}  // namespace
