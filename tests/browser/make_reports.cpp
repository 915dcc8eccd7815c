// Writes the reports the browser tests open, from traces recorded the way a
// tool records them: nested phases, repeated phases, a 10,000-row trace and a
// trace whose names are hostile.
//
//   browser_report_fixtures <output folder>
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

bool writeReport(const std::filesystem::path& folder, const std::string& name,
                 void (*record)(pt_test::TraceBuilder&), const std::string& statisticsType, bool aggregateOnly) {
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
  const bool written =
      aggregateOnly
          ? tracer.generateAggregateReport(file, "GLOBAL", "GLOBAL", statisticsType, false, &trace.points(), &info)
          : tracer.generateHTMLReport(file, "GLOBAL", "GLOBAL", statisticsType, false, &trace.points(), &info);
  if (!written) std::fprintf(stderr, "cannot write %s\n", file.c_str());
  return written;
}

// Build { Compile { Parse, Parse, Check }, Link }, then Test twice.
void recordBuild(pt_test::TraceBuilder& trace) {
  trace.start("Build", 0.0, 100)
      .start("Compile", 0.0, 100)
      .start("Parse", 0.0, 100).end("Parse", 0.5, 110)
      .start("Parse", 0.5, 110).end("Parse", 1.25, 130)
      .start("Check", 1.25, 130).end("Check", 1.5, 135)
      .end("Compile", 1.5, 135)
      .start("Link", 1.5, 135).end("Link", 3.5, 180)
      .end("Build", 3.5, 180);
  trace.grouping("T").start("Test", 3.5, 180).end("Test", 4.0, 185).start("Test", 4.0, 185).end("Test", 4.25, 190);
}

// 10,000 top-level rows; row i is phase "P<i % 50>" and takes (i % 97 + 1) ms.
void recordLarge(pt_test::TraceBuilder& trace) {
  double now = 0.0;
  for (int i = 0; i < 10000; ++i) {
    const std::string phase = "P" + std::to_string(i % 50);
    const double seconds = (i % 97 + 1) / 1000.0;
    trace.start(phase, now).end(phase, now + seconds);
    now += seconds;
  }
}

void recordHostile(pt_test::TraceBuilder& trace) {
  const std::string names[] = {"</script><script>window.injected = 1;</script>",
                               "<img src=x onerror=\"window.injected = 2\">",
                               "quote \" and back\\slash", "line\nbreak", "' + (window.injected = 3) + '"};
  double now = 0.0;
  trace.grouping("<b>\"group\"</b>\\");
  for (const std::string& name : names) {
    trace.start(name, now).end(name, now + 0.01);
    now += 0.01;
  }
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
  ok = writeReport(folder, "large.html", recordLarge, "time", false) && ok;
  ok = writeReport(folder, "hostile.html", recordHostile, "time", false) && ok;
  return ok ? 0 : 1;
}
