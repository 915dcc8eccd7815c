#include "tracer/pt_logging.h"

#include "tracer/performance_tracer.h"

#include "platform/output_file.h"

#include <array>

namespace {

// The funnel keeps its own pointer; its first call also creates the table of
// "statisticsTypeStr", which every point names.
PerformanceTracer& loggingTracer() {
  static PerformanceTracer* const tracer = [] {
    PerformanceTracer* instance = PerformanceTracer::getInstance();
    instance->initializeMapCollectionsForStat();
    return instance;
  }();
  return *tracer;
}

// Interned once, so that a logged point costs no name look-up.
struct ToolIdentifierNames {
  IdentifierName model{"modelStr"};
  IdentifierName target{"targetStr"};
  IdentifierName machine{"machineStr"};
  IdentifierName chart{"chartStr"};
};

const ToolIdentifierNames& toolNames() {
  static const ToolIdentifierNames names;
  return names;
}

std::string groupingName(int grouping) { return loggingTracer().getStringForNumber(EPT_GROUPING, grouping); }

}  // namespace

[[gnu::hot]] bool ptLogTracerDataVecInput(const std::string& grouping, const std::string& phase, bool isStart,
                                          const std::vector<std::string>& pairs) {
  return loggingTracer().logEvent(grouping, phase, isStart, pairs);
}

bool ptLogTracerDataVecInput(int grouping, const std::string& phase, bool isStart,
                             const std::vector<std::string>& pairs) {
  return ptLogTracerDataVecInput(groupingName(grouping), phase, isStart, pairs);
}

[[gnu::hot]] bool ptLogKAVLORData(const std::string& grouping, const std::string& phase, bool isStart) {
  return loggingTracer().logEvent(grouping, phase, isStart, std::span<const PerformanceTracer::LoggedIdentifier>());
}

bool ptLogKAVLORData(int grouping, const std::string& phase, bool isStart) {
  return ptLogKAVLORData(groupingName(grouping), phase, isStart);
}

[[gnu::hot]] bool ptLogCalvoranData(const std::string& grouping, const std::string& model, const std::string& target,
                                    const std::string& phase, bool isStart) {
  PerformanceTracer& tracer = loggingTracer();
  const ToolIdentifierNames& names = toolNames();
  const std::array<PerformanceTracer::LoggedIdentifier, 2> identifiers{{{names.model, model}, {names.target, target}}};
  return tracer.logEvent(grouping, phase, isStart, identifiers);
}

bool ptLogCalvoranData(int grouping, const std::string& model, const std::string& target, const std::string& phase,
                       bool isStart) {
  return ptLogCalvoranData(groupingName(grouping), model, target, phase, isStart);
}

[[gnu::hot]] bool ptLogQuorindelData(const std::string& grouping, const std::string& model, const std::string& target,
                                     const std::string& machine, const std::string& chart, const std::string& phase,
                                     bool isStart) {
  PerformanceTracer& tracer = loggingTracer();
  const ToolIdentifierNames& names = toolNames();
  const std::array<PerformanceTracer::LoggedIdentifier, 4> identifiers{
      {{names.model, model}, {names.target, target}, {names.machine, machine}, {names.chart, chart}}};
  return tracer.logEvent(grouping, phase, isStart, identifiers);
}

bool ptLogQuorindelData(int grouping, const std::string& model, const std::string& target, const std::string& machine,
                        const std::string& chart, const std::string& phase, bool isStart) {
  return ptLogQuorindelData(groupingName(grouping), model, target, machine, chart, phase, isStart);
}

bool ptLogCLStartupData(const std::string& phase, bool isStart) {
  // Never destroyed: logging may happen while the process ends.
  static const std::string* const startup = new std::string("Calvoran Startup");
  return ptLogKAVLORData(*startup, phase, isStart);
}

bool ptIsTracerEnabled(int grouping) { return loggingTracer().isLoggingAdmitted(grouping); }

bool ptIsTracerEnabled(const std::string& grouping) { return loggingTracer().isLoggingAdmitted(grouping); }

void ptEnableGlobalLogging(bool enable) { loggingTracer().enableGlobalLogging(enable); }

std::FILE* ptCreateReportFile(const std::string& path) {
  // A NUL would silently cut the name short and open another file.
  if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
  return platform::openOutputFile(path, loggingTracer().fileCalls());
}

void extractIdentifiers(const std::vector<std::string>& pairs, std::vector<std::string>& names,
                        std::vector<std::string>& values) {
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
    if (pairs[i + 1].empty()) continue;
    names.push_back(pairs[i]);
    values.push_back(pairs[i + 1]);
  }
}
