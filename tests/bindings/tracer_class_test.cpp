#include "bindings/tracer_class_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

namespace {

using pt_test::callTracer;
using pt_test::cell;
using pt_test::flag;
using pt_test::number;
using pt_test::raised;
using pt_test::text;

class TracerClass : public ::testing::Test {
 protected:
  void SetUp() override {
    KVInitialize_performance_tracer();
    ptClearRawData();
  }
};

TEST_F(TracerClass, RegistersEveryMethodInOrderWithItsSignature) {
  // name, declared inputs, last input open, declared outputs
  struct Row {
    const char* name;
    std::size_t inputs;
    bool open;
    std::size_t outputs;
  };
  const Row expected[] = {
      {"clearRawData", 1, true, 0},
      {"diagnosticReport", 1, true, 0},
      {"enable", 1, true, 1},
      {"enableGlobalLogging", 1, false, 1},
      {"enableCLStartupLogging", 1, false, 1},
      {"enableDetailedMemStats", 1, false, 1},
      {"generateAggregateDifferenceReport", 1, true, 0},
      {"generateDifferenceReport", 1, true, 0},
      {"generateAggregateReport", 1, true, 0},
      {"generateHTMLReport", 1, true, 0},
      {"generateCLStartupDifferenceReport", 1, true, 0},
      {"generateCLStartupReport", 1, true, 0},
      {"getProcessedData", 1, true, 1},
      {"getAggregateProcessedData", 1, true, 1},
      {"getRawData", 0, false, 1},
      {"loadTracerData", 1, false, 0},
      {"logKAVLORData", 3, false, 0},
      {"logCalvoranData", 5, false, 0},
      {"logCLStartupData", 2, false, 0},
      {"logQuorindelData", 7, false, 0},
      {"logTracerData", 4, true, 0},
      {"addGrouping", 2, false, 0},
      {"removeGrouping", 1, false, 0},
      {"saveCLStartupData", 1, true, 0},
      {"saveToFile", 1, false, 0},
      {"setStatisticsTypeForModel", 2, false, 0},
      {"addTestPathToMap", 2, false, 0},
      {"isPerfTracerEnabled", 0, false, 1},
      {"generateCLTestReport", 1, true, 1},
  };
  vesk::COSClass* cls = PerformanceTracerCOSClassInfo::GetPerformanceTracerCOSClass();
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls->getFullName(), "ZezaDazod.Tracer");
  const std::vector<const vesk::COSMethodInfo*> methods = cls->getMethods();
  ASSERT_EQ(methods.size(), std::size(expected));
  for (std::size_t i = 0; i < methods.size(); ++i) {
    const vesk::COSMethodSignature& signature = methods[i]->getSignature();
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(methods[i]->getName(), expected[i].name);
    EXPECT_EQ(methods[i]->getKind(), vesk::COSMethodInfo::Kind::kStatic);
    EXPECT_EQ(signature.inputs(), std::vector<std::string>(expected[i].inputs, "any"));
    EXPECT_EQ(signature.isLastInputOpen(), expected[i].open);
    EXPECT_EQ(signature.outputs(), std::vector<std::string>(expected[i].outputs, "any"));
  }
}

TEST_F(TracerClass, RaisesEachErrorWithItsArguments) {
  struct Case {
    const char* method;
    std::function<std::vector<haArray*>()> inputs;
    const char* key;
    std::vector<std::string> arguments;
  };
  const auto none = [] { return std::vector<haArray*>{}; };
  const std::vector<Case> cases = {
      {"enable", none, "MinParamsNotReached", {"1"}},
      {"enable",
       [] {
         return std::vector{text("G"), flag(true), flag(true)};
       },
       "MaxParamsExceeded",
       {"2"}},
      {"enable", [] { return std::vector{number(1)}; }, "ParameterMismatchString", {"Grouping"}},
      {"enable",
       [] {
         return std::vector{text("G"), number(1)};
       },
       "ParameterMismatchBoolean",
       {"Enable"}},
      // Counts come before evenness, evenness before any name is looked at.
      {"clearRawData", [] { return std::vector<haArray*>(7, nullptr); }, "MaxParamsExceeded", {"6"}},
      {"clearRawData",
       [] {
         return std::vector{number(1), number(2), number(3)};
       },
       "ExpectedEvenNumberOfParameters",
       {}},
      {"clearRawData",
       [] {
         return std::vector{text("colour"), text("red")};
       },
       "InvalidNames",
       {}},
      {"clearRawData",
       [] {
         return std::vector{number(1), text("m")};
       },
       "InvalidNames",
       {}},
      {"clearRawData",
       [] {
         return std::vector{text("target"), text("t")};
       },
       "InvalidNames",
       {}},
      {"logTracerData",
       [] {
         return std::vector{text("G"), text("P")};
       },
       "MinParamsNotReached",
       {"3"}},
      {"logTracerData",
       [] {
         return std::vector{text("G"), text("P"), flag(true), text("Model")};
       },
       "ExpectedEvenNumberOfParameters",
       {}},
      {"logTracerData",
       [] {
         return std::vector{text("G"), text("P"), number(1)};
       },
       "ParameterMismatchBoolean",
       {"Start of Phase"}},
      {"logKAVLORData",
       [] {
         return std::vector{text("G"), number(1), flag(true)};
       },
       "ParameterMismatchString",
       {"Phase"}},
      {"logCalvoranData",
       [] {
         return std::vector{text("G"), text("M"), number(3), text("P"), flag(true)};
       },
       "ParameterMismatchString",
       {"Target Name"}},
      {"logQuorindelData",
       [] { return std::vector{text("G"), text("M"), text("T"), text("S"), number(1), text("P"), flag(true)}; },
       "ParameterMismatchString",
       {"Chart Name"}},
      {"logCLStartupData", [] { return std::vector{text("P")}; }, "ParameterMismatchBoolean", {"Start of Phase"}},
      {"enableDetailedMemStats",
       [] { return std::vector{flag(true)}; },
       "WindowsOnlyFeature",
       {"Detailed Memory Statistics"}},
      {"enableDetailedMemStats", [] { return std::vector{number(1)}; }, "ParameterMismatchBoolean", {"Enable"}},
      {"removeGrouping", [] { return std::vector{text("NoSuchGrouping")}; }, "RemoveGroupingError", {"NoSuchGrouping"}},
      {"removeGrouping", [] { return std::vector{number(2)}; }, "ParameterMismatchString", {"grouping"}},
      {"addGrouping",
       [] {
         return std::vector{number(1), cell({})};
       },
       "InvalidNames",
       {}},
      {"addGrouping",
       [] {
         return std::vector{text("Both"), text("G")};
       },
       "UnexpectedValue",
       {"Both"}},
      {"addGrouping",
       [] {
         return std::vector{text("Both"), cell({number(1)})};
       },
       "AddGroupingExpectedString",
       {}},
      {"setStatisticsTypeForModel",
       [] {
         return std::vector{text(""), text("Update")};
       },
       "InvalidNames",
       {}},
      {"getProcessedData", [] { return std::vector{text("grouping")}; }, "ExpectedEvenNumberOfParameters", {}},
      {"getProcessedData",
       [] {
         return std::vector{number(1), text("G")};
       },
       "ExpectedNames",
       {"'grouping' or 'model'"}},
      {"getProcessedData",
       [] {
         return std::vector{text("GROUPING"), number(1)};
       },
       "ParameterMismatchString",
       {"grouping"}},
      {"getProcessedData",
       [] {
         return std::vector{text("grouping"), cell({number(1)})};
       },
       "AddGroupingExpectedString",
       {}},
      {"getAggregateProcessedData",
       [] {
         return std::vector{text("phase"), text("P")};
       },
       "InvalidNames",
       {}},
      {"loadTracerData", [] { return std::vector{text("trace.txt")}; }, "MissingKvdExt", {}},
      {"saveToFile", [] { return std::vector{text("trace.txt")}; }, "MissingKvdExt", {}},
      {"saveCLStartupData", [] { return std::vector{text("startup")}; }, "MissingKvdExt", {}},
      {"generateCLTestReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html")};
       },
       "NoRawTracerData",
       {}},
      {"generateCLStartupReport",
       [] {
         return std::vector{text("metric"), text("time")};
       },
       "NoRawTracerData",
       {}},
      {"generateCLStartupDifferenceReport",
       [] {
         return std::vector{text("lhslabel"), text("A")};
       },
       "ExpectedNames",
       {"at least one of 'lhsfile' or 'rhsfile' must be set"}},
      // Reports: counts, evenness, pairs, required names, then the data.
      {"generateHTMLReport", [] { return std::vector{text("htmlfile")}; }, "MinParamsNotReached", {"2"}},
      {"generateAggregateDifferenceReport",
       [] { return std::vector<haArray*>(14, nullptr); },
       "MaxParamsExceeded",
       {"12"}},
      {"generateDifferenceReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html"), text("lhsfile")};
       },
       "MinParamsNotReached",
       {"4"}},
      {"generateAggregateReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html"), text("format"), text("x")};
       },
       "InvalidNames",
       {}},
      {"generateHTMLReport",
       [] {
         return std::vector{text("grouping"), text("G")};
       },
       "ExpectedNames",
       {"'htmlfile' must be set"}},
      {"diagnosticReport",
       [] {
         return std::vector{text("grouping"), text("G")};
       },
       "ExpectedNames",
       {"'htmlfile' must be set."}},
      {"generateHTMLReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html"), text("Metric"), text("memory")};
       },
       "InvalidMetric",
       {"time", "basicmemory", "detailedmemory"}},
      {"generateDifferenceReport",
       [] {
         return std::vector{text("format"), text("tree"), text("htmlfile"), text("d")};
       },
       "InvalidFormat",
       {"ModelBased", "PhaseBased"}},
      {"generateHTMLReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html"), text("showmeta"), text("no")};
       },
       "ParameterMismatchString",
       {"showmeta"}},
      {"generateAggregateDifferenceReport",
       [] {
         return std::vector{text("htmlfile"), text("d.html"), text("lhslabel"), text("A")};
       },
       "ExpectedNames",
       {"'htmlfile' and one of 'lhsfile' or 'rhsfile' to be set."}},
      {"generateAggregateReport",
       [] {
         return std::vector{text("htmlfile"), text("r.html")};
       },
       "NoRawTracerData",
       {}},
      {"generateDifferenceReport",
       [] {
         return std::vector{text("htmlfile"), text("d.html"), text("rhsfile"), text("no such.kvd")};
       },
       "OpenFileFailed",
       {"no such.kvd", "No such file or directory"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.key);
    const std::vector<haArray*> inputs = c.inputs();
    std::vector<platform::HostArrayPtr> owned(inputs.begin(), inputs.end());
    const std::vector<const haArray*> views(inputs.begin(), inputs.end());
    const platform::HostError e = raised([&] { vesk::callStaticMethod("ZezaDazod.Tracer", c.method, views, 0); });
    EXPECT_EQ(e.identifier(), std::string("performance_tracer:PerformanceTracer:") + c.key);
    EXPECT_EQ(e.arguments(), c.arguments);
  }
  EXPECT_TRUE(PerformanceTracer::getInstance()->getRawDataVector()->empty()) << "a refused call logged";
}

// Raw points left after logging one start of model m1 and two of m2 in
// grouping G and then clearing with `clearInputs`.
std::size_t leftAfterClearing(std::initializer_list<haArray*> clearInputs) {
  ptClearRawData();
  for (const char* model : {"m1", "m2", "m2"})
    callTracer("logCalvoranData", {text("G"), text(model), text("grt"), text("Build"), flag(true)});
  callTracer("clearRawData", clearInputs);
  return haGetNumberOfElements(callTracer("getRawData", {}, 1).at(0).get());
}

TEST_F(TracerClass, ClearRawDataTakesNamesInAnyCaseAndTheLastValueOfAName) {
  ptEnableTracer("G", true);
  EXPECT_EQ(leftAfterClearing({}), 0u);
  EXPECT_EQ(leftAfterClearing({text("MODEL"), text("m1")}), 2u);
  EXPECT_EQ(leftAfterClearing({text("model"), text("m1"), text("Model"), text("m2")}), 1u);
  EXPECT_EQ(leftAfterClearing({text("Model"), text("m1"), text("GROUPING"), text("G")}),
            leftAfterClearing({text("model"), text("m1"), text("grouping"), text("G")}));
  EXPECT_EQ(leftAfterClearing({text("grouping"), text("G"), text("model"), text("m2")}), 1u);
  EXPECT_EQ(leftAfterClearing({text("grouping"), text("Other"), text("model"), text("m2")}), 3u);
  EXPECT_EQ(leftAfterClearing({text("grouping"), text("G"), text("model"), text("m1"), text("target"), text("grt")}),
            2u);
  EXPECT_EQ(leftAfterClearing({text("grouping"), text("G"), text("model"), text("m1"), text("target"), text("ert")}),
            3u);
  // A grouping without a model clears the whole grouping, a target or not.
  EXPECT_EQ(leftAfterClearing({text("Grouping"), text("G"), text("target"), text("grt")}), 0u);
  ptEnableTracer("G", false);
}

TEST_F(TracerClass, EnableAnswersTheStateAndSetsItOnlyWhenGivenAFlag) {
  auto state = [](std::initializer_list<haArray*> inputs) {
    return haIsLogicalScalarTrue(callTracer("enable", inputs, 1).at(0).get());
  };
  EXPECT_FALSE(state({text("Switched")}));
  EXPECT_TRUE(state({text("Switched"), flag(true)}));
  EXPECT_TRUE(state({text("Switched")}));
  EXPECT_FALSE(state({text("Switched"), flag(false)}));
  EXPECT_FALSE(state({text("Switched")}));
}

TEST_F(TracerClass, HostObjectsOfTheClassHaveATracerOfTheirOwn) {
  auto first = vesk::createObject("ZezaDazod.Tracer", {});
  auto second = vesk::createObject("ZezaDazod.Tracer", {});
  ASSERT_NE(first->getInstance(), nullptr);
  EXPECT_NE(first->getInstance(), second->getInstance());
  EXPECT_NE(first->getInstance(), PerformanceTracer::getInstance());
}

}  // namespace
