#include "bindings/report_methods.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "host/trace_data_file.h"
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "support/point_text.h"
#include "support/scratch_files.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"

namespace {

using pt_test::callTracer;
using pt_test::fileBytes;
using pt_test::In;
using pt_test::raised;

// A small tool run logged as a host would: startup, a build with a nested
// compile, per model, then a test phase.
void logToolRun(const char* model) {
  callTracer("enable", {"Tool", true}, 1);
  callTracer("enableCLStartupLogging", {true}, 1);
  callTracer("logCLStartupData", {"Init", true});
  callTracer("logCLStartupData", {"Init", false});
  callTracer("logCalvoranData", {"Tool", model, "grt", "Build", true});
  callTracer("logTracerData", {"Tool", "Compile", true, "modelStr", model});
  callTracer("logTracerData", {"Tool", "Compile", false, "modelStr", model});
  callTracer("logCalvoranData", {"Tool", model, "grt", "Build", false});
  callTracer("logKAVLORData", {"Tool", "Test", true});
  callTracer("logKAVLORData", {"Tool", "Test", false});
}

std::size_t livePoints() { return haGetNumberOfElements(callTracer("getRawData", {}, 1).at(0).get()); }

class ReportMethods : public ::testing::Test {
 protected:
  void SetUp() override {
    KVInitialize_performance_tracer();
    ptClearRawData();
    logToolRun("m1");
    callTracer("saveToFile", {saved.c_str()});
    logged = pt_test::describe(tracer, *tracer.getRawDataVector());
    ptClearRawData();
    logToolRun("m2");
    logToolRun("m2");
    pt::host::readTraceDataFile(saved, savedPoints, savedInfo);
  }
  // A grouping left on would attach the tracer's recorder in later tests.
  void TearDown() override {
    callTracer("enable", {"Tool", false}, 1);
    callTracer("enableCLStartupLogging", {false}, 1);
  }

  pt_test::ScratchFolder folder;
  const std::string saved = folder.file("saved.kvd"), viaHost = folder.file("host.html"),
                    viaLibrary = folder.file("library.html");
  PTRawDataVector savedPoints;
  PTSystemInfoStruct savedInfo;
  std::vector<std::string> logged;  // the saved points, described
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
};

TEST_F(ReportMethods, WriteWhatTheLibraryWritesForTheSameDataAndLeaveTheLiveDataAlone) {
  const std::size_t before = livePoints();
  auto live = [&] { return tracer.getRawDataVector(); };
  const PTSystemInfoStruct* liveInfo = tracer.getSystemInfo();
  using Arguments = std::vector<std::string>;
  // Writes the same report from the library; the model pages list the call's arguments.
  using Library = std::function<bool(const std::string&, const Arguments&)>;
  struct Case {
    const char* method;
    Arguments inputs;  // after 'htmlfile'; "@" is the saved trace, null points the live data
    Library library;
  };
  const auto phases = [&](const char* grouping, const char* title, const char* metric, bool showMeta,
                          PTRawDataVector* points, const PTSystemInfoStruct* info) -> Library {
    return [=, this](const std::string& f, const Arguments&) {
      return tracer.generateHTMLReport(f, grouping, title, metric, showMeta, points ? points : live().get(), info);
    };
  };
  const auto models = [&](const char* grouping, const char* metric, PTRawDataVector* points, auto kind,
                          bool flameGraph) -> Library {
    return [=, this](const std::string& f, const Arguments& arguments) {
      return generateReport_modelBased(tracer, f, grouping, metric, arguments, points ? points : live().get(), kind,
                                       flameGraph);
    };
  };
  const auto savedAgainstLive = [&](const char* grouping, const char* lhsLabel) -> Library {
    return [=, this](const std::string& f, const Arguments&) {
      return tracer.generateHTMLComparisonReport(f, grouping, lhsLabel, "CurrentRun", &savedPoints, live().get(),
                                                 &savedInfo, liveInfo, "time");
    };
  };
  const std::vector<Case> cases = {
      {"generateHTMLReport",
       {"Grouping", "Tool", "METRIC", "BasicMemory"},
       phases("Tool", "Tool", "basicmemory", true, nullptr, liveInfo)},
      {"generateHTMLReport",
       {"kvdfile", "@", "format", "ModelBased", "includeflamegraph", "false"},
       models("GLOBAL", "time", &savedPoints, PT_REPORT_MODEL, false)},
      {"generateHTMLReport",
       {"format", "modelbased", "grouping", "Tool", "metric", "detailedmemory"},
       models("Tool", "detailedmemory", nullptr, PT_REPORT_MODEL, true)},
      {"generateAggregateReport",
       {"kvdfile", "@"},
       [&](const std::string& f, const Arguments&) {
         return tracer.generateAggregateReport(f, "GLOBAL", "GLOBAL", "time", true, &savedPoints, &savedInfo);
       }},
      {"diagnosticReport",
       {"kvdfile", "@", "grouping", "Tool"},
       [&](const std::string& f, const Arguments&) { return tracer.diagnosticReport(f, "Tool", &savedPoints); }},
      {"generateDifferenceReport", {"lhsfile", "@"}, savedAgainstLive("GLOBAL", "Baseline")},
      {"generateDifferenceReport",
       {"rhsfile", "@", "format", "ModelBased", "rhslabel", "After", "grouping", "Tool"},
       [&](const std::string& f, const Arguments&) {
         return generateDiffReport_modelBased(tracer, f, "Tool", "Baseline", "After", live().get(), &savedPoints,
                                              "time", true);
       }},
      {"generateAggregateDifferenceReport",
       {"rhsfile", "@", "lhslabel", "Before", "metric", "detailedmemory"},
       [&](const std::string& f, const Arguments&) {
         return tracer.generateHTMLAggregateComparisonReport(f, "GLOBAL", "Before", "CurrentRun", live().get(),
                                                             &savedPoints, liveInfo, &savedInfo, "detailedmemory");
       }},
      {"generateCLTestReport",
       {"kvdfile", "@", "metric", "BasicMemory"},
       models("GLOBAL", "basicmemory", &savedPoints, PT_REPORT_TEST, true)},
      {"generateCLTestReport",
       {"grouping", "Tool", "includeflamegraph", "false"},
       models("Tool", "time", nullptr, PT_REPORT_TEST, false)},
      {"generateCLStartupReport",
       {"kvdfile", "@"},
       phases("Calvoran Startup", "Calvoran Startup Performance", "time", false, &savedPoints, &savedInfo)},
      {"generateCLStartupReport",
       {"metric", "basicmemory"},
       phases("Calvoran Startup", "Calvoran Startup Performance", "basicmemory", false, nullptr, liveInfo)},
      {"generateCLStartupDifferenceReport",
       {"lhsfile", "@", "lhslabel", "Before"},
       savedAgainstLive("Calvoran Startup", "Before")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    Arguments arguments = {"htmlfile", viaHost};
    for (const std::string& input : c.inputs) arguments.push_back(input == "@" ? saved : input);
    std::vector<In> inputs;
    for (const std::string& a : arguments)
      inputs.push_back(a == "true" || a == "false" ? In(a == "true") : In(a.c_str()));
    // The library's report first, so that any names the analysis adds are in the tables for both.
    ASSERT_TRUE(c.library(viaLibrary, arguments));
    callTracer(c.method, inputs);
    EXPECT_EQ(fileBytes(viaHost), fileBytes(viaLibrary));
    EXPECT_EQ(livePoints(), before) << "reading a trace changed the live data";
  }
}

TEST_F(ReportMethods, RefuseToWriteOverTheirInputToReadDamagedDataOrToReportNothing) {
  const std::string trace = fileBytes(saved);
  const platform::HostError overInput = raised([&] {
    callTracer("generateHTMLReport", {"htmlfile", saved.c_str(), "kvdfile", saved.c_str()});
  });
  EXPECT_EQ(overInput.identifier(), "performance_tracer:PerformanceTracer:WriteFileFailed");
  EXPECT_EQ(fileBytes(saved), trace);

  // A damaged trace, whether loaded or reported on, leaves the live data as it was.
  const std::string damaged = folder.file("damaged.kvd");
  pt_test::writeFileBytes(damaged, trace.substr(0, trace.size() / 2));
  const std::size_t before = livePoints();
  raised([&] { callTracer("loadTracerData", {damaged.c_str()}); });
  raised([&] { callTracer("generateDifferenceReport", {"htmlfile", viaHost.c_str(), "lhsfile", damaged.c_str()}); });
  EXPECT_EQ(livePoints(), before);

  ptClearRawData();
  const platform::HostError emptyRight = raised([&] {
    callTracer("generateDifferenceReport", {"htmlfile", viaHost.c_str(), "lhsfile", saved.c_str()});
  });
  EXPECT_EQ(emptyRight.identifier(), "performance_tracer:PerformanceTracer:NoRawTracerDataLoaded");
  EXPECT_EQ(emptyRight.arguments(), std::vector<std::string>{""});

  // A run logged through the host methods only loads back to the points it was saved from.
  callTracer("loadTracerData", {saved.c_str()});
  EXPECT_EQ(pt_test::describe(tracer, *tracer.getRawDataVector()), logged);
}

}  // namespace
