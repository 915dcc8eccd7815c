// Writes the reports the browser tests open, from traces recorded the way a
// tool records them: nested phases, repeated phases and subtrees, a
// 10,000-row trace, a trace thousands of levels deep, a trace whose names are
// hostile, and traces with and without detailed memory statistics; and the
// error page of a trace that does not pair, beside the diagnostic report it
// links to; the trace the export tests load into a viewer, with the self
// times each frame should show; and a flame graph drawn by the installed
// flame-graph script; comparison reports of two recordings; and model-based
// reports of one recording and of two.
//
//   browser_report_fixtures <output folder>
#include "host/trace_data_file.h"
#include "platform/child_process.h"
#include "report/model/flame_graph.h"
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "report/phase/diagnostic_report.h"
#include "support/export_trace.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <cstdio>
#include <fstream>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace {

bool writeReport(const std::filesystem::path& folder, const std::string& name, void (*record)(pt_test::TraceBuilder&),
                 const std::string& statisticsType, bool aggregateOnly) {
  PerformanceTracer tracer;
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  record(trace);
  PTSystemInfoStruct info;
  info.processorStr = "Test processor";
  info.cpuSpeedStr = "3.2 GHz";
  info.numCoresStr = "2";
  info.totalPhysMemStr = "N/A";
  info.operatingSystemStr = "Linux";
  info.installedProductsStr = "KAVLOR 1.0";
  const std::string file = (folder / name).string();
  const bool written = trace.writeReport(file, statisticsType, aggregateOnly, &info);
  if (!written) std::fprintf(stderr, "cannot write %s\n", file.c_str());
  return written;
}

// Build { Compile { Parse, Parse, Check }, Link }, then Test twice.
void recordBuild(pt_test::TraceBuilder& trace) {
  trace.start("Build", 0.0, 100)
      .start("Compile", 0.0, 100)
      .start("Parse", 0.0, 100)
      .end("Parse", 0.5, 110)
      .start("Parse", 0.5, 110)
      .end("Parse", 1.25, 130)
      .start("Check", 1.25, 130)
      .end("Check", 1.5, 135)
      .end("Compile", 1.5, 135)
      .start("Link", 1.5, 135)
      .end("Link", 3.5, 180)
      .end("Build", 3.5, 180);
  trace.grouping("T").start("Test", 3.5, 180).end("Test", 4.0, 185).start("Test", 4.0, 185).end("Test", 4.25, 190);
}

// Block-diagram phases of the models m1 and m2 for the target "ert", after a
// tracer phase of m2: the rows become tracer rows, numbered in identifier
// tables whose order differs from the model mapping's.
void recordSubjects(pt_test::TraceBuilder& trace) {
  trace.identifiers({{"modelStr", "m2"}}).start("Test", 0.0).end("Test", 0.25);
  trace.model("m1", "ert").start("Simulate", 0.25).end("Simulate", 0.5);
  trace.model("m2", "ert").start("Generate", 0.5).end("Generate", 0.75);
}

// 10,000 top-level rows; row i is phase "P<i % 50>" and takes (i % 97 + 1) ms.
void recordLarge(pt_test::TraceBuilder& trace) {
  double now = 0.0;
  for (int i = 0; i < 10000; ++i) {
    const std::string phase = std::string("P").append(std::to_string(i % 50));
    const double seconds = (i % 97 + 1) / 1000.0;
    trace.start(phase, now).end(phase, now + seconds);
    now += seconds;
  }
}

void recordHostile(pt_test::TraceBuilder& trace) {
  const std::string names[] = {"</script><script>window.injected = 1;</script>",
                               "<img src=x onerror=\"window.injected = 2\">", "quote \" and back\\slash", "line\nbreak",
                               "' + (window.injected = 3) + '"};
  double now = 0.0;
  trace.grouping("<b>\"group\"</b>\\");
  for (const std::string& name : names) {
    trace.start(name, now).end(name, now + 0.01);
    now += 0.01;
  }
}

// Run { Load, Solve { Step, Step }, Save } three times, then Run { Load,
// pause, Solve { Step } } (a gap row after Load) and Report.
void recordCallTree(pt_test::TraceBuilder& trace) {
  double now = 0.0;
  auto leaf = [&](const std::string& name, double seconds) {
    trace.start(name, now).end(name, now + seconds);
    now += seconds;
  };
  for (int run = 0; run < 3; ++run) {
    trace.start("Run", now);
    leaf("Load", 0.25);
    trace.start("Solve", now);
    leaf("Step", 0.5);
    leaf("Step", 0.5);
    trace.end("Solve", now).start("Save", now);
    now += 0.25;
    trace.end("Save", now).end("Run", now);
  }
  trace.start("Run", now);
  leaf("Load", 0.25);
  now += 0.5;
  trace.start("Solve", now);
  leaf("Step", 1.0);
  trace.end("Solve", now).end("Run", now);
  leaf("Report", 0.25);
}

// Phases nested 4,000 levels deep ("Level <k % 7>"), the innermost "Bottom":
// deeper than a page script can nest expressions.
constexpr int kDeepLevels = 4000;
void recordDeep(pt_test::TraceBuilder& trace) {
  auto name = [](int level) {
    return level + 1 == kDeepLevels ? std::string("Bottom") : std::string("Level ").append(std::to_string(level % 7));
  };
  for (int level = 0; level < kDeepLevels; ++level) trace.start(name(level), level * 0.001);
  for (int level = kDeepLevels - 1; level >= 0; --level) trace.end(name(level), 10.0 - level * 0.001);
}

// Build, with detailed statistics that change from point to point; point j
// has 6000 - 40j MB free, so the chart's values exceed its zoom threshold.
// Link belongs to the model "engine"; one phase name is hostile markup.
void recordMemoryBuild(pt_test::TraceBuilder& trace) {
  trace.start("Build", 0.0, 100)
      .start("Compile", 0.0, 100)
      .start("Parse", 0.0, 100)
      .end("Parse", 0.5, 110)
      .start("<img src=x onerror=\"window.injected = 1\">", 0.5, 110)
      .end("<img src=x onerror=\"window.injected = 1\">", 1.25, 130)
      .end("Compile", 1.5, 135);
  trace.identifiers({{"modelStr", "engine"}}).start("Link", 1.5, 135).end("Link", 3.5, 180);
  trace.identifiers({}).end("Build", 3.5, 180);
  constexpr double kMB = 1048576.0;
  int j = 0;
  for (const auto& point : trace.points()) {
    *point->detailedMemStats = pt::DetailedMemStats((6000 - 40 * j) * kMB, (400 + 10 * j) * kMB, (200 + 30 * j) * kMB,
                                                    (120 + 5 * j) * kMB, (1500 + 25 * j) * kMB);
    ++j;
  }
}

// 400 rows whose detailed statistics stay below the zoom threshold.
void recordLongMemory(pt_test::TraceBuilder& trace) {
  for (int i = 0; i < 400; ++i) {
    const std::string phase = std::string("M").append(std::to_string(i));
    trace.start(phase, i * 0.01, 100).end(phase, i * 0.01 + 0.005, 100);
  }
  constexpr double kMB = 1048576.0;
  for (const auto& point : trace.points()) {
    *point->detailedMemStats = pt::DetailedMemStats(900 * kMB, 300 * kMB, 200 * kMB, 100 * kMB, 500 * kMB);
  }
}

void recordBuildWithoutDetailedStats(pt_test::TraceBuilder& trace) {
  recordBuild(trace);
  for (const auto& point : trace.points()) point->detailedMemStats.reset();
}

// Build { <hostile> <end of Compile inside it>, Link }, Test <never closed>,
// all in a hostile grouping and model.
bool writeUnbalancedReports(const std::filesystem::path& folder) {
  PerformanceTracer tracer;
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  const std::string hostile = "<img src=x onerror=\"window.injected = 1\">";
  trace.grouping("<b>" + hostile).identifiers({{"modelStr", "</td><script>window.injected = 2;</script>"}});
  trace.start("Build", 0.0).start(hostile, 0.0).end("Compile", 0.25).end(hostile, 0.5);
  trace.start("Link", 0.5).end("Link", 0.75).end("Build", 0.75).start("Test", 0.75);
  const std::string page = (folder / "unbalanced.html").string();
  const std::string diagnostic = (folder / "unbalanced-diagnostic.html").string();
  const bool written = tracer.diagnosticReport(diagnostic, "GLOBAL", &trace.points()) &&
                       pt::writeInstrumentationErrorPage(page, "unbalanced-diagnostic.html");
  if (!written) std::fprintf(stderr, "cannot write %s\n", page.c_str());
  return written;
}

// export.kvd, and export-expected.json: per phase its thread, its name as
// the JSON and as the folded stacks write it, its self nanoseconds and how
// many phases' ends (its own and its children's) that self time depends on.
bool writeExportTrace(const std::filesystem::path& folder) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  pt_test::TraceBuilder builder(tracer);
  const pt_test::ExportTrace trace = pt_test::recordExportTrace(builder);
  tracer.setRawDataVector(builder.points());
  pt::host::saveTraceDataFile((folder / "export.kvd").string());
  nlohmann::json phases = nlohmann::json::array();
  for (std::size_t i = 0; i < trace.phases.size(); ++i) {
    const pt_test::ExportPhase& phase = trace.phases[i];
    phases.push_back({{"thread", phase.thread},
                      {"text", phase.text},
                      {"frame", phase.frame},
                      {"selfNs", trace.selfSeconds(i) * 1e9},
                      {"ends", trace.ends(i)}});
  }
  std::ofstream file(folder / "export-expected.json");
  return static_cast<bool>(file << phases.dump(1, ' ', false, nlohmann::json::error_handler_t::replace));
}

/// The script's own drawing, as a user running it alone would open it.
bool writeFlameGraph(const std::filesystem::path& folder) {
  const std::vector<std::string> lines{"model 2",
                                       "model;compile 300",
                                       "model;compile;parse 450",
                                       "model;compile;<b>&\"emit\" 120",
                                       "model;simulate 800",
                                       "model;simulate;step 400",
                                       "model;simulate;step;solve 150",
                                       "tests 90"};
  const std::string stacks = (folder / "stacks.txt").string();
  if (!writeStackTracesToFile(stacks, lines)) return false;
  const platform::ProcessResult run =
      platform::runProcess({"perl", flameGraphScriptPath(), stacks, "--width", "1200", "--title", "Flame <graph>"},
                           (folder / "flamegraph.svg").string(), "");
  std::filesystem::remove(stacks);
  if (!run.ok()) std::fprintf(stderr, "flame graph: %s\n", run.describe().c_str());
  return run.ok();
}

// Two recordings of one tracer: phases slower and faster by chosen amounts
// (one of them in the 30 to 35 % band the classes do not split), a hostile
// name in both, and a phase in each recording only.
bool writeComparisonReports(const std::filesystem::path& folder) {
  PerformanceTracer tracer;
  tracer.initialize();
  const std::string hostile = "<!--</script><img src=x onerror=\"window.injected = 1\">'\"";
  pt_test::TraceBuilder lhs(tracer);
  pt_test::TraceBuilder rhs(tracer);
  struct Phase {
    std::string name;
    double before, after;  // seconds; negative: not recorded
  };
  const std::vector<Phase> phases{{"Same", 1.0, 1.0},       {"Slower", 1.0, 1.6}, {"Band", 1.0, 1.32},
                                  {"Only Before", 0.5, -1}, {"Faster", 2.0, 0.9}, {hostile, 1.0, 1.1},
                                  {"Only After", -1, 0.25}, {"Little", 1.0, 0.97}};
  double lhsAt = 0.0, rhsAt = 0.0;
  for (const Phase& phase : phases) {
    if (phase.before >= 0) {
      lhs.start(phase.name, lhsAt).end(phase.name, lhsAt + phase.before);
      lhsAt += phase.before;
    }
    if (phase.after >= 0) {
      rhs.start(phase.name, rhsAt).end(phase.name, rhsAt + phase.after);
      rhsAt += phase.after;
    }
  }
  PTSystemInfoStruct lhsInfo, rhsInfo;
  lhsInfo.processorStr = "Before processor";
  rhsInfo.processorStr = "After <b>processor</b>";
  const std::string file = (folder / "comparison.html").string();
  const std::string aggregateFile = (folder / "comparison_aggregate.html").string();
  bool written = tracer.generateHTMLComparisonReport(file, "GLOBAL", "before.kvd", "after <i>.kvd", &lhs.points(),
                                                     &rhs.points(), &lhsInfo, &rhsInfo, "time");
  written = tracer.generateHTMLAggregateComparisonReport(aggregateFile, "GLOBAL", "before.kvd", "after.kvd",
                                                         &lhs.points(), &rhs.points(), &lhsInfo, &rhsInfo, "time") &&
            written;

  // 100,000 rows a side, one in twenty changed.
  pt_test::TraceBuilder large(tracer);
  pt_test::TraceBuilder changed(tracer);
  for (int i = 0; i < 100000; ++i) {
    const std::string phase = std::string("P").append(std::to_string(i % 500));
    large.start(phase, i * 0.05).end(phase, i * 0.05 + 0.02);
    changed.start(phase, i * 0.05).end(phase, i * 0.05 + (i % 20 == 0 ? 0.036 : 0.02));
  }
  const std::string largeFile = (folder / "comparison_large.html").string();
  written = tracer.generateHTMLComparisonReport(largeFile, "GLOBAL", "large.kvd", "changed.kvd", &large.points(),
                                                &changed.points(), &lhsInfo, &rhsInfo, "time") &&
            written;
  // The memory build against itself with half as much again committed.
  pt_test::TraceBuilder memoryBefore(tracer);
  pt_test::TraceBuilder memoryAfter(tracer);
  recordMemoryBuild(memoryBefore);
  recordMemoryBuild(memoryAfter);
  for (const auto& point : memoryAfter.points()) point->detailedMemStats->commitMem *= 1.5;
  const std::string memoryFile = (folder / "comparison_memory.html").string();
  written = tracer.generateHTMLComparisonReport(memoryFile, "GLOBAL", "before.kvd", "after.kvd", &memoryBefore.points(),
                                                &memoryAfter.points(), &lhsInfo, &rhsInfo, "detailedmemory") &&
            written;
  if (!written) std::fprintf(stderr, "cannot write the comparison reports\n");
  return written;
}

constexpr const char* kHostileModel = "<img src=x onerror=window.pwned=1>";
constexpr const char* kHostilePhase = "</script><b onclick=window.pwned=1>\"x'</b>";

// Two models; `slower` makes Load take 1.5 times as long, runs Parse once
// more, adds Extra and leaves out Cleanup.
void recordModels(pt_test::TraceBuilder& trace, bool slower) {
  trace.identifiers({{"modelStr", "plant"}, {"targetStr", "grt"}}).start("Pre_Compile", 0.0);
  trace.start("Load", 0.0).end("Load", slower ? 1.5 : 1.0);
  trace.start("Parse", 2.0).end("Parse", 2.5).start("Parse", 2.5).end("Parse", 3.0);
  if (slower) trace.start("Parse", 3.0).end("Parse", 3.5).start("Extra", 3.5).end("Extra", 4.0);
  if (!slower) trace.start("Cleanup", 3.0).end("Cleanup", 4.0);
  trace.end("Pre_Compile", 4.0);
  trace.start("Simulation", 4.0).start("Step", 4.0).end("Step", 5.0).end("Simulation", 5.0);
  trace.identifiers({{"modelStr", kHostileModel}, {"targetStr", "ert"}}).start("Pre_Compile", 5.0);
  trace.start(kHostilePhase, 5.0).end(kHostilePhase, 6.0).end("Pre_Compile", 6.0);
}

// The model-based report of one recording and the difference of two, with
// flame graphs: hostile names, repeated phases, nodes on one side only.
bool writeModelReports(const std::filesystem::path& folder) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.initialize();
  pt_test::TraceBuilder lhs(tracer);
  recordModels(lhs, false);
  pt_test::TraceBuilder rhs(tracer);
  recordModels(rhs, true);
  const std::string single = (folder / "model.html").string();
  const std::string diff = (folder / "model-diff.html").string();
  const bool written =
      generateReport_modelBased(tracer, single, "GLOBAL", "time", {}, &lhs.points(), PT_REPORT_MODEL, true) &&
      generateDiffReport_modelBased(tracer, diff, "GLOBAL", "before", "after", &lhs.points(), &rhs.points(), "time",
                                    true);
  if (!written) std::fprintf(stderr, "cannot write %s or %s\n", single.c_str(), diff.c_str());
  pt_test::TraceBuilder large(tracer);
  // 100k phases: blocks of one Pre_Compile holding 10 Loads of 9 Parses, by
  // turns of two models.
  double now = 0;
  for (int block = 0; block < 990; ++block) {
    large.identifiers({{"modelStr", block % 2 == 0 ? "plant" : "controller"}, {"targetStr", "grt"}});
    large.start("Pre_Compile", now);
    for (int load = 0; load < 10; ++load) {
      large.start("Load", now);
      for (int parse = 0; parse < 9; ++parse) {
        large.start("Parse", now);
        now += 0.01;  // the records hold hundredths
        large.end("Parse", now);
      }
      large.end("Load", now);
    }
    large.end("Pre_Compile", now);
  }
  const std::string largeFile = (folder / "model-large.html").string();
  if (!generateReport_modelBased(tracer, largeFile, "GLOBAL", "time", {}, &large.points(), PT_REPORT_MODEL, true)) {
    std::fprintf(stderr, "cannot write %s\n", largeFile.c_str());
    return false;
  }
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: browser_report_fixtures <output folder>\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  bool ok = writeReport(folder, "build.html", recordBuild, "time", false);
  ok = writeReport(folder, "build_memory.html", recordBuild, "basicmemory", false) && ok;
  ok = writeReport(folder, "build_aggregate.html", recordBuild, "time", true) && ok;
  ok = writeReport(folder, "subjects.html", recordSubjects, "time", false) && ok;
  ok = writeReport(folder, "large.html", recordLarge, "time", false) && ok;
  ok = writeReport(folder, "hostile.html", recordHostile, "time", false) && ok;
  ok = writeReport(folder, "calltree.html", recordCallTree, "time", false) && ok;
  ok = writeReport(folder, "deep.html", recordDeep, "time", false) && ok;
  ok = writeReport(folder, "memchart.html", recordMemoryBuild, "detailedmemory", false) && ok;
  ok = writeReport(folder, "memchart_aggregate.html", recordMemoryBuild, "detailedmemory", true) && ok;
  ok = writeReport(folder, "memchart_long.html", recordLongMemory, "detailedmemory", false) && ok;
  ok = writeReport(folder, "memchart_missing.html", recordBuildWithoutDetailedStats, "detailedmemory", false) && ok;
  ok = writeUnbalancedReports(folder) && ok;
  ok = writeExportTrace(folder) && ok;
  ok = writeFlameGraph(folder) && ok;
  ok = writeComparisonReports(folder) && ok;
  ok = writeModelReports(folder) && ok;
  return ok ? 0 : 1;
}
