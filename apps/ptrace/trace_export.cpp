#include "apps/ptrace/trace_export.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "analysis/diagnostic_info.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

// Gap rows are time the pairing inferred, not a phase someone logged. The
// rows given are closed by their own end, so even an error row among them
// (a phase another phase's end interleaved with) has a true extent.
bool isPairedPhase(const PTKAVLORProcessedDataPoint& row) { return !row.gapRow; }

std::int64_t microseconds(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * 1e6)); }

nlohmann::json identifiersOf(const PTKAVLORProcessedDataPoint& row, PerformanceTracer& tracer) {
  nlohmann::json args = nlohmann::json::object();
  const auto put = [&args](const char* name, const std::string& value) {
    if (!value.empty()) args[name] = value;
  };
  if (row.getModelID() != -1) put("model", tracer.getStringForNumber(EPT_MODEL, row.getModelID()));
  if (row.getTargetID() != -1) put("target", tracer.getStringForNumber(EPT_TARGET, row.getTargetID()));
  if (row.getMachineID() != -1) put("machine", tracer.getStringForNumber(EPT_MACHINE, row.getMachineID()));
  if (row.getChartID() != -1) put("chart", tracer.getStringForNumber(EPT_CHART, row.getChartID()));
  if (const auto* tracerRow = dynamic_cast<const PTTracerProcessedDataPoint*>(&row)) {
    for (const auto& [name, number] : tracerRow->identifiers) {
      if (name == "statisticsTypeStr") continue;
      const std::string& text = name.str();
      put(PerformanceTracer::removeStrSuffix(text).c_str(), tracer.getStringForNumber(text, number));
    }
  }
  return args;
}

// Frame names may not hold the separators of the folded format.
std::string frameName(std::string name) {
  std::replace(name.begin(), name.end(), ';', ':');
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return name;
}

}  // namespace

nlohmann::json chromeTrace(const PairedTrace& trace) {
  const PTProcessedDataStruct& summary = trace.summary;
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  nlohmann::json events = nlohmann::json::array();
  for (const auto& info : summary.diagnosticInfos) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (!isPairedPhase(row)) continue;
    events.push_back({{"name", tracer.getStringForNumber(EPT_PHASE, row.phase)},
                      {"cat", tracer.getStringForNumber(EPT_GROUPING, row.grouping)},
                      {"ph", "X"},
                      {"ts", microseconds(row.wcStartTime - summary.baseWallClockTime)},
                      {"dur", microseconds(row.wcElapsedTime)},
                      {"pid", 1},
                      {"tid", 1},
                      {"args", identifiersOf(row, tracer)}});
  }
  for (const PairingProblem& problem : trace.problems) {
    events.push_back({{"name", problem.phase},
                      {"cat", problem.grouping},
                      {"ph", "i"},
                      {"s", "t"},
                      {"ts", microseconds(problem.wallClockTime - summary.baseWallClockTime)},
                      {"pid", 1},
                      {"tid", 1},
                      {"args", {{"reason", problem.reason}}}});
  }
  return {{"traceEvents", std::move(events)}, {"displayTimeUnit", "ms"}};
}

std::string foldedStacks(const PTProcessedDataStruct& summary) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  struct Frame {
    std::string stack;
    double self;
  };
  // Rows come in start order with their depth, so the open frames are a stack
  // cut back to each row's depth; a child's time leaves its parent's self time.
  std::vector<Frame> open;
  std::map<std::string, double> selfByStack;
  const auto close = [&](std::size_t depth) {
    while (open.size() > depth) {
      selfByStack[open.back().stack] += open.back().self;
      open.pop_back();
    }
  };
  for (const auto& info : summary.diagnosticInfos) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (!isPairedPhase(row)) continue;
    const auto depth = static_cast<std::size_t>(std::max(row.stackDepth, 0));
    close(std::min(depth, open.size()));
    std::string name = frameName(tracer.getStringForNumber(EPT_PHASE, row.phase));
    if (!open.empty()) open.back().self -= row.wcElapsedTime;
    open.push_back({open.empty() ? name : open.back().stack + ";" + name, row.wcElapsedTime});
  }
  close(0);
  std::string text;
  for (const auto& [stack, self] : selfByStack) {
    const std::int64_t count = microseconds(self);
    if (count > 0) text += stack + " " + std::to_string(count) + "\n";
  }
  return text;
}

}  // namespace ptrace_tool
