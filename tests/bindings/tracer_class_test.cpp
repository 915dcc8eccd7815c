#include "bindings/tracer_class_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"

namespace {

using pt_test::callTracer;
using pt_test::EmptyCell;
using pt_test::In;
using pt_test::NumberCell;
using pt_test::raised;

class TracerClass : public ::testing::Test {
 protected:
  void SetUp() override {
    KVInitialize_performance_tracer();
    ptClearRawData();
  }
};

TEST_F(TracerClass, RegistersEveryMethodInOrderWithItsSignature) {
  vesk::COSClass* cls = PerformanceTracerCOSClassInfo::GetPerformanceTracerCOSClass();
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls->getFullName(), "ZezaDazod.Tracer");
  // "name inputs outputs;", "+" marking an open last input; every type is "any".
  std::string methods;
  for (const vesk::COSMethodInfo* method : cls->getMethods()) {
    const vesk::COSMethodSignature& signature = method->getSignature();
    methods += method->getName() + " " + std::to_string(signature.inputs().size()) +
               (signature.isLastInputOpen() ? "+ " : " ") + std::to_string(signature.outputs().size());
    for (const auto* types : {&signature.inputs(), &signature.outputs()})
      for (const std::string& type : *types) methods += type == "any" ? "" : " " + type;
    methods += method->getKind() == vesk::COSMethodInfo::Kind::kStatic ? "; " : " not static; ";
  }
  EXPECT_EQ(methods,
            "clearRawData 1+ 0; diagnosticReport 1+ 0; enable 1+ 1; enableGlobalLogging 1 1; "
            "enableCLStartupLogging 1 1; enableDetailedMemStats 1 1; generateAggregateDifferenceReport 1+ 0; "
            "generateDifferenceReport 1+ 0; generateAggregateReport 1+ 0; generateHTMLReport 1+ 0; "
            "generateCLStartupDifferenceReport 1+ 0; generateCLStartupReport 1+ 0; getProcessedData 1+ 1; "
            "getAggregateProcessedData 1+ 1; getRawData 0 1; loadTracerData 1 0; logKAVLORData 3 0; "
            "logCalvoranData 5 0; logCLStartupData 2 0; logQuorindelData 7 0; logTracerData 4+ 0; addGrouping 2 0; "
            "removeGrouping 1 0; saveCLStartupData 1+ 0; saveToFile 1 0; setStatisticsTypeForModel 2 0; "
            "addTestPathToMap 2 0; isPerfTracerEnabled 0 1; generateCLTestReport 1+ 1; ");
}

TEST_F(TracerClass, RaisesEachErrorWithItsArguments) {
  struct Case {
    const char* method;
    std::vector<In> inputs;
    const char* key;
    std::vector<std::string> arguments;
  };
  const std::vector<Case> cases = {
      {"enable", {}, "MinParamsNotReached", {"1"}},
      {"enable", {"G", true, true}, "MaxParamsExceeded", {"2"}},
      {"enable", {1.0}, "ParameterMismatchString", {"Grouping"}},
      {"enable", {"G", 1.0}, "ParameterMismatchBoolean", {"Enable"}},
      // Counts come before evenness, evenness before any name is looked at.
      {"clearRawData", std::vector<In>(7, nullptr), "MaxParamsExceeded", {"6"}},
      {"clearRawData", {1.0, 2.0, 3.0}, "ExpectedEvenNumberOfParameters", {}},
      {"clearRawData", {"colour", "red"}, "InvalidNames", {}},
      {"clearRawData", {1.0, "m"}, "InvalidNames", {}},
      {"clearRawData", {"target", "t"}, "InvalidNames", {}},
      {"logTracerData", {"G", "P"}, "MinParamsNotReached", {"3"}},
      {"logTracerData", {"G", "P", true, "Model"}, "ExpectedEvenNumberOfParameters", {}},
      {"logTracerData", {"G", "P", 1.0}, "ParameterMismatchBoolean", {"Start of Phase"}},
      {"logKAVLORData", {"G", 1.0, true}, "ParameterMismatchString", {"Phase"}},
      {"logCalvoranData", {"G", "M", 3.0, "P", true}, "ParameterMismatchString", {"Target Name"}},
      {"logQuorindelData", {"G", "M", "T", "S", 1.0, "P", true}, "ParameterMismatchString", {"Chart Name"}},
      {"logCLStartupData", {"P"}, "ParameterMismatchBoolean", {"Start of Phase"}},
      {"enableDetailedMemStats", {true}, "WindowsOnlyFeature", {"Detailed Memory Statistics"}},
      {"enableDetailedMemStats", {1.0}, "ParameterMismatchBoolean", {"Enable"}},
      {"removeGrouping", {"NoSuchGrouping"}, "RemoveGroupingError", {"NoSuchGrouping"}},
      {"removeGrouping", {2.0}, "ParameterMismatchString", {"grouping"}},
      {"addGrouping", {1.0, EmptyCell{}}, "InvalidNames", {}},
      {"addGrouping", {"Both", "G"}, "UnexpectedValue", {"Both"}},
      {"addGrouping", {"Both", NumberCell{}}, "AddGroupingExpectedString", {}},
      {"setStatisticsTypeForModel", {"", "Update"}, "InvalidNames", {}},
      {"getProcessedData", {"grouping"}, "ExpectedEvenNumberOfParameters", {}},
      {"getProcessedData", {1.0, "G"}, "ExpectedNames", {"'grouping' or 'model'"}},
      {"getProcessedData", {"GROUPING", 1.0}, "ParameterMismatchString", {"grouping"}},
      {"getProcessedData", {"grouping", NumberCell{}}, "AddGroupingExpectedString", {}},
      {"getAggregateProcessedData", {"phase", "P"}, "InvalidNames", {}},
      {"loadTracerData", {"trace.txt"}, "MissingKvdExt", {}},
      {"saveToFile", {"trace.txt"}, "MissingKvdExt", {}},
      {"saveCLStartupData", {"startup"}, "MissingKvdExt", {}},
      {"saveToFile", {1.0}, "ParameterMismatchString", {"Filename"}},
      {"loadTracerData", {true}, "ParameterMismatchString", {"Filename"}},
      {"saveCLStartupData", {EmptyCell{}}, "ParameterMismatchString", {"Filename"}},
      {"saveCLStartupData", {"a.kvd", "b.kvd"}, "MaxParamsExceeded", {"1"}},
      {"generateCLTestReport", {"htmlfile", "r.html"}, "NoRawTracerData", {}},
      {"generateCLStartupReport", {"metric", "time"}, "NoRawTracerData", {}},
      {"generateCLStartupDifferenceReport",
       {"lhslabel", "A"},
       "ExpectedNames",
       {"at least one of 'lhsfile' or 'rhsfile' must be set"}},
      // Reports: counts, evenness, pairs, required names, then the data.
      {"generateHTMLReport", {"htmlfile"}, "MinParamsNotReached", {"2"}},
      {"generateAggregateDifferenceReport", std::vector<In>(14, nullptr), "MaxParamsExceeded", {"12"}},
      {"generateDifferenceReport", {"htmlfile", "r.html", "lhsfile"}, "MinParamsNotReached", {"4"}},
      {"generateAggregateReport", {"htmlfile", "r.html", "format", "x"}, "InvalidNames", {}},
      {"generateHTMLReport", {"grouping", "G"}, "ExpectedNames", {"'htmlfile' must be set"}},
      {"diagnosticReport", {"grouping", "G"}, "ExpectedNames", {"'htmlfile' must be set."}},
      {"generateHTMLReport",
       {"htmlfile", "r.html", "Metric", "memory"},
       "InvalidMetric",
       {"time", "basicmemory", "detailedmemory"}},
      {"generateDifferenceReport", {"format", "tree", "htmlfile", "d"}, "InvalidFormat", {"ModelBased", "PhaseBased"}},
      {"generateHTMLReport", {"htmlfile", "r.html", "showmeta", "no"}, "ParameterMismatchString", {"showmeta"}},
      {"generateAggregateDifferenceReport",
       {"htmlfile", "d.html", "lhslabel", "A"},
       "ExpectedNames",
       {"'htmlfile' and one of 'lhsfile' or 'rhsfile' to be set."}},
      {"generateAggregateReport", {"htmlfile", "r.html"}, "NoRawTracerData", {}},
      {"generateDifferenceReport",
       {"htmlfile", "d.html", "rhsfile", "no such.kvd"},
       "OpenFileFailed",
       {"no such.kvd", "No such file or directory"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.key);
    const platform::HostError e = raised([&] { callTracer(c.method, c.inputs); });
    EXPECT_EQ(e.identifier(), std::string("performance_tracer:PerformanceTracer:") + c.key);
    EXPECT_EQ(e.arguments(), c.arguments);
  }
  EXPECT_TRUE(PerformanceTracer::getInstance()->getRawDataVector()->empty()) << "a refused call logged";
}

// Raw points left after logging one start of model m1 and two of m2 in
// grouping G and then clearing with `clearInputs`.
std::size_t leftAfterClearing(const std::vector<In>& clearInputs) {
  ptClearRawData();
  for (const char* model : {"m1", "m2", "m2"}) callTracer("logCalvoranData", {"G", model, "grt", "Build", true});
  callTracer("clearRawData", clearInputs);
  return haGetNumberOfElements(callTracer("getRawData", {}, 1).at(0).get());
}

TEST_F(TracerClass, ClearRawDataTakesNamesInAnyCaseAndTheLastValueOfAName) {
  ptEnableTracer("G", true);
  EXPECT_EQ(leftAfterClearing({}), 0u);
  EXPECT_EQ(leftAfterClearing({"MODEL", "m1"}), 2u);
  EXPECT_EQ(leftAfterClearing({"model", "m1", "Model", "m2"}), 1u);
  EXPECT_EQ(leftAfterClearing({"Model", "m1", "GROUPING", "G"}), 2u);
  EXPECT_EQ(leftAfterClearing({"grouping", "G", "model", "m2"}), 1u);
  EXPECT_EQ(leftAfterClearing({"grouping", "Other", "model", "m2"}), 3u);
  EXPECT_EQ(leftAfterClearing({"grouping", "G", "model", "m1", "target", "grt"}), 2u);
  EXPECT_EQ(leftAfterClearing({"grouping", "G", "model", "m1", "target", "ert"}), 3u);
  // A grouping without a model clears the whole grouping, a target or not.
  EXPECT_EQ(leftAfterClearing({"Grouping", "G", "target", "grt"}), 0u);
  ptEnableTracer("G", false);
}

TEST_F(TracerClass, EnableAnswersTheStateAndSetsItOnlyWhenGivenAFlag) {
  auto state = [](const std::vector<In>& inputs) {
    return haIsLogicalScalarTrue(callTracer("enable", inputs, 1).at(0).get());
  };
  EXPECT_FALSE(state({"Switched"}));
  EXPECT_TRUE(state({"Switched", true}));
  EXPECT_TRUE(state({"Switched"}));
  EXPECT_FALSE(state({"Switched", false}));
  EXPECT_FALSE(state({"Switched"}));
}

TEST_F(TracerClass, HostObjectsOfTheClassHaveATracerOfTheirOwn) {
  auto first = vesk::createObject("ZezaDazod.Tracer", {});
  auto second = vesk::createObject("ZezaDazod.Tracer", {});
  ASSERT_NE(first->getInstance(), nullptr);
  EXPECT_NE(first->getInstance(), second->getInstance());
  EXPECT_NE(first->getInstance(), PerformanceTracer::getInstance());
}

}  // namespace
