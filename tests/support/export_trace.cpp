#include "support/export_trace.h"

#include <algorithm>
#include <tuple>

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
  const auto add = [&](std::string thread, std::string name, std::string frame, double start, double end, int parent,
                       std::string text = {}) {
    if (text.empty()) text = name;
    trace.phases.push_back(
        {std::move(thread), std::move(name), std::move(text), std::move(frame), t0 + start, t0 + end, parent});
    return static_cast<int>(trace.phases.size()) - 1;
  };
  const int session = add("", "Session", "Session", 0.0, 3e-3, -1);
  const int loop = add("", "Loop", "Loop", 1e-4, 1.2e-3, session);
  for (int k = 0; k < 200; ++k) add("", "Tick", "Tick", 1.005e-4 + k * 5.3e-6, 1.005e-4 + k * 5.3e-6 + 4.05e-6, loop);
  struct Hostile {
    const char *name, *text, *frame;
  };
  const Hostile hostile[] = {
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
  for (const Hostile& each : hostile) {
    add("", each.name, each.frame, at, at + 20e-6, session, each.text);
    at += 30e-6;
  }
  const int job = add("worker 1", "Worker Job", "Worker Job", 5e-5, 2e-3, -1);
  add("worker 1", "Work Item", "Work Item", 1e-4, 1.5e-3, job);
  add("", "Cross B", "Cross B", 3.2e-3, 3.4e-3, -1);

  struct Point {
    double time;
    int order;  ///< ends before starts at one time, outer starts first
    const ExportPhase* phase;
    bool isStart;
  };
  std::vector<Point> points;
  for (const ExportPhase& phase : trace.phases) {
    points.push_back({phase.start, static_cast<int>(points.size()), &phase, true});
    points.push_back({phase.end, -static_cast<int>(points.size()), &phase, false});
  }
  const ExportPhase crossA{"", "Cross A", "", "", t0 + 3.1e-3, t0 + 3.3e-3, -1};
  points.push_back({crossA.start, 0, &crossA, true});
  points.push_back({crossA.end, 0, &crossA, false});
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
    return std::tie(a.time, a.order) < std::tie(b.time, b.order);
  });
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  for (const Point& point : points) {
    const ExportPhase& phase = *point.phase;
    builder.grouping(phase.name == "Grouped" ? "Load, Compile" : "G");
    builder.identifiers(phase.thread.empty() ? Pairs{} : Pairs{{"threadStr", phase.thread}});
    point.isStart ? builder.start(phase.name, point.time) : builder.end(phase.name, point.time);
  }
  return trace;
}

}  // namespace pt_test
