#include "bindings/module_entry.h"

#include <gtest/gtest.h>

#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "bindings/tracer_class_info.h"
#include "bindings/zeza_dazod_namespace.h"
#include "platform/host_vm.h"

namespace {

// Replaces clsvInternal on a machine for the test's length, recording the
// text of every call.
class RecordedClsvInternal {
 public:
  explicit RecordedClsvInternal(hvm::HVM& vm, bool fail = false) : vm_(vm) {
    previous_ = vm.getDispatcher().registerFunction(
        "clsvInternal",
        [this, fail](int nOut, haArray*[], int nIn, const haArray* const inputs[], std::ostream& out, std::ostream&) {
          calls.push_back(std::to_string(nIn) + " " + haArrayToStdString(inputs[0]) + " " + std::to_string(nOut));
          sinkUsed = &out == &vm_.getOutputSink();
          if (fail) haErrorMsgIdAndTxt("hvm:UndefinedFunction", "clsvStringTable");
        });
  }
  ~RecordedClsvInternal() { vm_.getDispatcher().registerFunction("clsvInternal", previous_); }
  std::vector<std::string> calls;
  bool sinkUsed = false;

 private:
  hvm::HVM& vm_;
  hvm::HostFunction previous_;
};

TEST(ModuleEntry, InitialisesOnceAndKeepsEverythingAfterTermination) {
  KVInitialize_performance_tracer();
  initialize_performance_tracer();
  KVInitialize_performance_tracer();
  EXPECT_TRUE(ptIsModuleInitialized());
  vesk::COSNamespace* ns = ptGetZezaDazodCOSNamespace();
  ASSERT_EQ(ns, vesk::omGetNamespace("ZezaDazod"));
  EXPECT_EQ(ns->getFunctionNames(),
            (std::vector<std::string>{"clsvStringTableDoGarbageCollection", "clsvStringTableDisableGarbageCollection",
                                      "clsvStringTableEnableGarbageCollection"}));
  EXPECT_EQ(vesk::COSClass::getClass("ZezaDazod.Tracer"),
            PerformanceTracerCOSClassInfo::GetPerformanceTracerCOSClass());
  const vesk::COSClass* scoped = vesk::COSClass::getClass("ZezaDazod.Tracer.ScopedTracerData");
  ASSERT_NE(scoped, nullptr);
  EXPECT_EQ(scoped->getClassInfo().getDescription(), "Instrumentation Point for Performance Tracer");
  EXPECT_NE(scoped->getConstructor(), nullptr);

  KVTerminate_performance_tracer();
  destroy_performance_tracer();
  EXPECT_TRUE(ptIsModuleTerminated());
  EXPECT_EQ(pt_test::callTracer("isPerfTracerEnabled", {}, 1).size(), 1u);
  EXPECT_NE(vesk::COSClass::getClass("ZezaDazod.Tracer.ScopedTracerData"), nullptr);
}

TEST(ModuleEntry, StringTableFunctionsRunClsvInternalOnTheCurrentMachine) {
  const auto collect = [](std::span<const haArray* const> inputs) {
    vesk::callFunction("ZezaDazod.clsvStringTableDoGarbageCollection", inputs, 0);
  };
  KVInitialize_performance_tracer();
  RecordedClsvInternal onMain(hvm::Factory::getMainHVM());
  collect({});
  vesk::callFunction("ZezaDazod.clsvStringTableDisableGarbageCollection", {}, 0);
  auto secondary = hvm::Factory::createHVM();
  RecordedClsvInternal onSecondary(*secondary);
  {
    hvm::ScopedCurrentHVM bound(*secondary);
    vesk::callFunction("ZezaDazod.clsvStringTableEnableGarbageCollection", {}, 0);
  }
  EXPECT_EQ(onMain.calls,
            (std::vector<std::string>{"1 clsvStringTableCollectGarbageNow 0", "1 clsvEnterTableNoLeakMode 0"}));
  EXPECT_EQ(onSecondary.calls, std::vector<std::string>{"1 clsvExitTableNoLeakMode 0"});
  EXPECT_TRUE(onMain.sinkUsed);

  // The functions take no inputs, and the command's error reaches the caller.
  const pt_test::Inputs extra({"x"});
  EXPECT_EQ(pt_test::raised([&] { collect(extra.span()); }).identifier(), "vesk:TooManyInputs");
  RecordedClsvInternal failing(hvm::Factory::getMainHVM(), true);
  EXPECT_EQ(pt_test::raised([&] { collect({}); }).identifier(), "hvm:UndefinedFunction");
  EXPECT_EQ(failing.calls.size(), 1u);
}

}  // namespace
