#include "support/export_trace.h"

#include <algorithm>
#include <map>
#include <utility>

namespace pt_test {

double ExportTrace::selfSeconds(std::size_t phase) const {
  double self = phases[phase].end - phases[phase].start;
  for (const ExportPhase& child : phases) {
    if (child.parent == static_cast<int>(phase)) self -= child.end - child.start;
  }
  return self;
}

int ExportTrace::ends(std::size_t phase) const {
  return 1 + static_cast<int>(std::count_if(phases.begin(), phases.end(), [phase](const ExportPhase& each) {
           return each.parent == static_cast<int>(phase);
         }));
}

std::string ExportTrace::stack(std::size_t phase, std::string ExportPhase::*name) const {
  const ExportPhase& it = phases[phase];
  return it.parent < 0 ? it.*name : stack(static_cast<std::size_t>(it.parent), name) + ";" + it.*name;
}

ExportTrace recordExportTrace(TraceBuilder& builder) {
  ExportTrace trace;
  // A time of day on the real-time scale, where a double keeps about 0.24 µs.
  const double t0 = 1796601600.0 + 37800.123456;
  const auto add = [&](const std::string& thread, const std::string& name, double start, double end, int parent) {
    trace.phases.push_back({thread, name, name, name, t0 + start, t0 + end, parent});
    return static_cast<int>(trace.phases.size()) - 1;
  };
  const int session = add("", "Session", 0.0, 3e-3, -1);
  const int loop = add("", "Loop", 1e-4, 1.2e-3, session);
  for (int k = 0; k < 200; ++k) add("", "Tick", 1.005e-4 + k * 5.3e-6, 1.005e-4 + k * 5.3e-6 + 4.05e-6, loop);
  // Each name as recorded, as the JSON writes it and as a folded stack writes it.
  const char* const hostile[][3] = {
      {"A;B", "A;B", "A%3BB"},
      {"A:B", "A:B", "A:B"},
      {"Tab\there\r\n", "Tab\there\r\n", "Tab%09here%0D%0A"},
      {"", "(unnamed)", "(unnamed)"},
      {"(unnamed)", "(unnamed)", "%28unnamed)"},
      {"bad \xff\xfe utf8", "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8", "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8"},
      {"50% \xc2\x9b\x32J", "50% \xc2\x9b\x32J", "50%25 %C2%9B2J"},  // \x32 is the '2' of "2J"
      {"Grouped", "Grouped", "Grouped"},
  };
  double at = 1.3e-3;
  for (const auto& [name, text, frame] : hostile) {
    trace.phases.push_back({"", name, text, frame, t0 + at, t0 + (at + 20e-6), session});
    at += 30e-6;
  }
  const int job = add("worker 1", "Worker Job", 5e-5, 2e-3, -1);
  add("worker 1", "Work Item", 1e-4, 1.5e-3, job);
  add("", "Cross B", 3.2e-3, 3.4e-3, -1);

  // Logging order: by time; at one time ends first, and outer phases start first.
  std::multimap<std::pair<double, int>, std::pair<const ExportPhase*, bool>> points;  // (time, order): (phase, start)
  for (const ExportPhase& phase : trace.phases) {
    points.insert({{phase.start, static_cast<int>(points.size())}, {&phase, true}});
    points.insert({{phase.end, -static_cast<int>(points.size())}, {&phase, false}});
  }
  const ExportPhase crossA{"", "Cross A", "", "", t0 + 3.1e-3, t0 + 3.3e-3, -1};
  points.insert({{crossA.start, 0}, {&crossA, true}});
  points.insert({{crossA.end, 0}, {&crossA, false}});
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  for (const auto& [when, point] : points) {
    const auto& [phase, isStart] = point;
    builder.grouping(phase->name == "Grouped" ? "Load, Compile" : "G");
    builder.identifiers(phase->thread.empty() ? Pairs{} : Pairs{{"threadStr", phase->thread}});
    isStart ? builder.start(phase->name, when.first) : builder.end(phase->name, when.first);
  }
  return trace;
}

}  // namespace pt_test
