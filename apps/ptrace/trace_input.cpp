#include "apps/ptrace/trace_input.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/progress.h"
#include "host/trace_data_file.h"
#include "tracer/performance_tracer.h"

namespace ptrace_tool {

namespace {

// A missing file, a folder or an unreadable path, named before the reader sees it.
void checkTraceFile(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) throw CommandError("no such file: '" + path + "'");
  // A symbolic link loop, a folder that may not be searched, ...
  if (error) throw CommandError("cannot open '" + path + "': " + error.message());
  if (!std::filesystem::is_regular_file(status)) throw CommandError("not a file: '" + path + "'");
}

// Runs `read` with a progress line fed by its ReadProgress; a library error
// becomes one naming the file, as the library's texts do not always.
template <class Read>
void readWithProgress(const std::string& path, Read read) {
  try {
    pt::host::ReadProgress progress;
    const Progress loading("loading " + std::filesystem::path(path).filename().string(), [&progress] {
      const auto records = progress.records.load(std::memory_order_relaxed);
      return records == 0 ? -1.0 : static_cast<double>(progress.recordsRead.load(std::memory_order_relaxed)) / records;
    });
    read(progress);
  } catch (const std::exception& failure) {
    throw CommandError("cannot load '" + path + "': " + failure.what());
  }
}

}  // namespace

void loadTrace(const std::string& path) {
  checkTraceFile(path);
  readWithProgress(path, [&](pt::host::ReadProgress& progress) { pt::host::loadTraceDataFile(path, &progress); });
}

void readTrace(const std::string& path, PTRawDataVector& points, PTSystemInfoStruct& systemInfo) {
  checkTraceFile(path);
  readWithProgress(path, [&](pt::host::ReadProgress& progress) {
    pt::host::readTraceDataFile(path, points, systemInfo, &progress);
  });
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
