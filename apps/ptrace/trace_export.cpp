#include "apps/ptrace/trace_export.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

#include "analysis/diagnostic_info.h"
#include "apps/ptrace/utf8_text.h"
#include "sysinfo/system_info.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {
namespace {

constexpr const char* kUnnamed = "(unnamed)";

// Names as both exports write them: valid UTF-8 (each bad byte becomes
// U+FFFD) and never empty. Each distinct name is repaired, and counted, once.
class ExportedNames {
 public:
  const std::string& text(const std::string& name) {
    auto [entry, isNew] = texts_.try_emplace(name);
    if (isNew) entry->second = name.empty() ? kUnnamed : repairedUtf8(name, repaired_);
    return entry->second;
  }
  std::size_t repaired() const { return repaired_; }

 private:
  std::unordered_map<std::string, std::string> texts_;
  std::size_t repaired_ = 0;
};

void appendPercent(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// `text` (valid UTF-8) with the bytes of `special` characters and of every
// control character (C0, DEL, C1) written as %XX, so that different texts
// stay different and none breaks the line or field it lands in.
std::string percentEscaped(std::string_view text, std::string_view special) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = std::max<std::size_t>(utf8SequenceLength(text, i), 1);
    const char32_t code = utf8CodePoint(text, i, length);
    const bool escape =
        code < 0x20 || (code >= 0x7F && code <= 0x9F) || special.find(text[i]) != std::string_view::npos;
    for (std::size_t k = 0; k < length; ++k) {
      if (escape) {
        appendPercent(out, static_cast<unsigned char>(text[i + k]));
      } else {
        out += text[i + k];
      }
    }
    i += length;
  }
  return out;
}

// A frame of a folded stack: ";" separates frames, and a line ends in " <count>".
std::string frameName(const std::string& name, ExportedNames& names) {
  if (name.empty()) return kUnnamed;
  std::string frame = percentEscaped(names.text(name), "%;");
  return frame == kUnnamed ? "%28unnamed)" : frame;
}

// Every time is taken once as whole nanoseconds from one origin, so nested
// and adjacent phases meet exactly and durations add up in both forms.
struct Clock {
  double origin;
  std::int64_t at(double seconds) const { return std::llround((seconds - origin) * 1e9); }
  // Viewers read microseconds; three decimals hold the nanoseconds exactly.
  static double microseconds(std::int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e3; }
};

// Midnight UTC before the earliest time: the timestamps stay small enough for
// a double to keep every nanosecond, and none is 0, which some viewers take
// for "no time" when they compute the trace's bounds.
Clock clockFor(const pt::PairedTrace& trace) {
  double first = trace.summary.baseWallClockTime;
  for (const auto& info : trace.summary.diagnosticInfos) first = std::min(first, info->processedPoint->wcStartTime);
  for (const pt::PairingProblem& problem : trace.problems) first = std::min(first, problem.wallClockTime);
  constexpr double kDay = 86400.0;
  Clock clock{std::floor(first / kDay) * kDay};
  if (clock.at(first) == 0) clock.origin -= kDay;
  return clock;
}

nlohmann::json identifiersOf(const PTKAVLORProcessedDataPoint& row, PerformanceTracer& tracer, ExportedNames& names) {
  nlohmann::json args = nlohmann::json::object();
  const auto put = [&](const std::string& name, const std::string& value) {
    if (!value.empty()) args[names.text(name)] = names.text(value);
  };
  if (row.getModelID() != -1) put("model", tracer.getStringForNumber(EPT_MODEL, row.getModelID()));
  if (row.getTargetID() != -1) put("target", tracer.getStringForNumber(EPT_TARGET, row.getTargetID()));
  if (row.getMachineID() != -1) put("machine", tracer.getStringForNumber(EPT_MACHINE, row.getMachineID()));
  if (row.getChartID() != -1) put("chart", tracer.getStringForNumber(EPT_CHART, row.getChartID()));
  if (const auto* tracerRow = dynamic_cast<const PTTracerProcessedDataPoint*>(&row)) {
    for (const auto& [name, number] : tracerRow->identifiers) {
      // The thread is the event's tid.
      if (name == pt::statisticsTypeIdentifierText() || name == pt::kThreadIdentifier) continue;
      const std::string& text = name.str();
      put(PerformanceTracer::removeStrSuffix(text), tracer.getStringForNumber(text, number));
    }
  }
  return args;
}

// Viewers split a category at commas.
std::string category(const std::string& grouping, ExportedNames& names) {
  return percentEscaped(names.text(grouping), "%,");
}

// "GLOBAL (host 0.1.0, recorded on <processor>, <operating system>)".
std::string processName(const std::string& grouping, const PTSystemInfoStruct* info) {
  std::string details;
  const auto add = [&details](const std::string& label, const std::string& value) {
    if (!value.empty()) details += (details.empty() ? "" : ", ") + label + value;
  };
  if (info != nullptr) {
    add("host ", info->KAVLORVersionStr);
    add("recorded on ", info->processorStr);
    add("", info->operatingSystemStr);
  }
  return details.empty() ? grouping : grouping + " (" + details + ")";
}

}  // namespace

nlohmann::json chromeTrace(const pt::PairedTrace& trace, const std::string& grouping, std::size_t& repairedNames) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  ExportedNames names;
  const Clock clock = clockFor(trace);
  constexpr int kPid = 1;
  // The host thread is tid 1 even when only other threads logged anything.
  std::map<std::string, int> tids{{"", 1}};
  const auto tidOf = [&tids](const std::string& thread) {
    return tids.try_emplace(thread, static_cast<int>(tids.size()) + 1).first->second;
  };

  nlohmann::json events = nlohmann::json::array();
  for (const auto& info : trace.summary.diagnosticInfos) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (row.gapRow) continue;  // time the pairing inferred, not a phase someone logged
    const std::int64_t start = clock.at(row.wcStartTime), end = clock.at(row.wcStartTime + row.wcElapsedTime);
    nlohmann::json event = {{"name", names.text(tracer.getStringForNumber(EPT_PHASE, row.phase))},
                            {"cat", category(tracer.getStringForNumber(EPT_GROUPING, row.grouping), names)},
                            {"ph", "B"},
                            {"ts", Clock::microseconds(start)},
                            {"pid", kPid},
                            {"tid", tidOf(pt::threadOf(tracer, row))}};
    if (nlohmann::json args = identifiersOf(row, tracer, names); !args.empty()) event["args"] = std::move(args);
    if (end == start) {
      // A begin and an end at one time could be read in either order.
      event["ph"] = "X";
      event["dur"] = 0;
      events.push_back(std::move(event));
      continue;
    }
    // Separate begin and end events keep the very same number for times that
    // coincide (a child ending with its parent, a phase starting as another
    // ends), where ts + dur summed by a viewer may land on either side. The
    // end's empty args keep it apart from the begin of a same-named phase
    // that starts at that moment, for viewers that tell frames by their args.
    nlohmann::json ending = {{"name", event["name"]},           {"cat", event["cat"]}, {"ph", "E"},
                             {"ts", Clock::microseconds(end)},  {"pid", kPid},         {"tid", event["tid"]},
                             {"args", nlohmann::json::object()}};
    events.push_back(std::move(event));
    events.push_back(std::move(ending));
  }
  // A reason quotes names already counted where they are the event's own.
  std::size_t reasonRepairs = 0;
  for (const pt::PairingProblem& problem : trace.problems) {
    events.push_back({{"name", names.text(problem.phase)},
                      {"cat", category(problem.grouping, names)},
                      {"ph", "i"},
                      {"s", "t"},
                      {"ts", Clock::microseconds(clock.at(problem.wallClockTime))},
                      {"pid", kPid},
                      {"tid", tidOf(problem.thread)},
                      {"args", {{"reason", repairedUtf8(problem.reason, reasonRepairs)}}}});
  }

  nlohmann::json metadata = nlohmann::json::array();
  const std::string process = processName(grouping, tracer.getStoredSystemInfo());
  metadata.push_back(
      {{"name", "process_name"}, {"ph", "M"}, {"pid", kPid}, {"tid", 1}, {"args", {{"name", names.text(process)}}}});
  for (const auto& [thread, tid] : tids) {
    metadata.push_back(
        {{"name", "thread_name"},
         {"ph", "M"},
         {"pid", kPid},
         {"tid", tid},
         {"args", {{"name", thread.empty() ? std::string("host thread") : "thread " + names.text(thread)}}}});
  }
  metadata.insert(metadata.end(), events.begin(), events.end());
  repairedNames += names.repaired();
  return {{"traceEvents", std::move(metadata)}, {"displayTimeUnit", "ms"}};
}

std::string foldedStacks(const pt::PairedTrace& trace, std::size_t& repairedNames) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  ExportedNames names;
  const Clock clock = clockFor(trace);
  struct Frame {
    std::string stack;
    std::int32_t depth;
    std::int64_t end, self;
  };
  // Rows come thread by thread in start order with their depth, so the open
  // frames are a stack cut back to each row's depth and start (a parent that
  // did not pair leaves its children at the top); a child's time leaves its
  // parent's self time.
  std::vector<Frame> open;
  std::string openThread;
  std::map<std::string, std::int64_t> selfByStack;
  const auto closeTo = [&](std::int32_t depth, std::int64_t start) {
    while (!open.empty() && (open.back().depth >= depth || open.back().end < start)) {
      selfByStack[open.back().stack] += open.back().self;
      open.pop_back();
    }
  };
  for (const auto& info : trace.summary.diagnosticInfos) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (row.gapRow) continue;
    const std::int64_t start = clock.at(row.wcStartTime), end = clock.at(row.wcStartTime + row.wcElapsedTime);
    if (std::string thread = pt::threadOf(tracer, row); thread != openThread) {
      closeTo(0, start);
      openThread = std::move(thread);
    }
    closeTo(row.stackDepth, start);
    const std::string frame = frameName(tracer.getStringForNumber(EPT_PHASE, row.phase), names);
    if (!open.empty()) open.back().self -= end - start;
    open.push_back({open.empty() ? frame : open.back().stack + ";" + frame, row.stackDepth, end, end - start});
  }
  closeTo(0, 0);
  std::string text;
  for (const auto& [stack, self] : selfByStack) {
    if (self > 0) text += stack + " " + std::to_string(self) + "\n";
  }
  repairedNames += names.repaired();
  return text;
}

}  // namespace ptrace_tool
