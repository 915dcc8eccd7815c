#include "apps/ptrace/trace_input.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "host/trace_data_file.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {

void loadTrace(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) throw CommandError("no such file: '" + path + "'");
  // A symbolic link loop, a folder that may not be searched, ...
  if (error) throw CommandError("cannot open '" + path + "': " + error.message());
  if (!std::filesystem::is_regular_file(status)) throw CommandError("not a file: '" + path + "'");
  try {
    pt::host::ReadProgress read;
    const Progress loading("loading " + std::filesystem::path(path).filename().string(), [&read] {
      const auto records = read.records.load(std::memory_order_relaxed);
      return records == 0 ? -1.0 : static_cast<double>(read.recordsRead.load(std::memory_order_relaxed)) / records;
    });
    pt::host::loadTraceDataFile(path, &read);
  } catch (const std::exception& failure) {
    // The library's texts do not always name the file (a missing extension).
    throw CommandError("cannot load '" + path + "': " + failure.what());
  }
}

void refuseToOverwrite(const std::string& output, const std::string& trace) {
  std::error_code error;
  if (std::filesystem::equivalent(output, trace, error))
    throw CommandError("the output '" + output + "' is the trace '" + trace + "' itself; choose another output file");
}

std::string besideTrace(const std::string& trace, const std::string& suffix) {
  std::filesystem::path path(trace);
  if (path.extension() == ".kvd") path.replace_extension();
  return path.string() + suffix;
}

std::vector<std::string> groupingsInTrace() {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  std::set<std::string> names;
  if (const PTRawDataVector* points = tracer.rawDataVector()) {
    for (const auto& point : *points) names.insert(tracer.getStringForNumber(EPT_GROUPING, point->grouping));
  }
  return {names.begin(), names.end()};
}

void checkGrouping(const std::string& grouping) {
  if (grouping != kAllGroupings) {
    const std::vector<std::string> known = groupingsInTrace();
    if (!std::binary_search(known.begin(), known.end(), grouping)) {
      std::string list;
      for (const std::string& name : known) list += (list.empty() ? "" : ", ") + ("'" + name + "'");
      throw CommandError("unknown grouping '" + grouping + "'; the trace has " + (list.empty() ? "none" : list));
    }
  }
}

PTProcessedDataStruct analyseGrouping(const std::string& grouping) {
  checkGrouping(grouping);
  return PerformanceTracer::getInstance()->getProcessedData(nullptr, {grouping}, false);
}

}  // namespace ptrace_tool
