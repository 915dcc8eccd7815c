// Loading a saved trace into the process-wide tracer for the commands that
// read one, with one clear error per problem (missing file, not a trace,
// damaged file, unknown grouping).
//
//   ptrace_tool::loadTrace("run.kvd");
//   PTProcessedDataStruct summary = ptrace_tool::analyseGrouping("GLOBAL");
#pragma once

#include <string>
#include <vector>

#include "analysis/processed_data.h"
#include "sysinfo/system_info.h"
#include "tracer/data_points.h"
#include "tracer/fixed_texts.h"

namespace ptrace_tool {

/// The grouping that admits every point.
inline constexpr const char* kAllGroupings = pt::kGlobalGrouping;

/// Replaces the tracer's data with the file's, with a progress line while it
/// takes long; CommandError naming the file otherwise.
void loadTrace(const std::string& path);

/// Appends the file's points to `points` and reads its system information,
/// numbering names in the process-wide tracer's tables as they are met, so
/// that the points of several files read one after another name the same
/// phase by the same number. The tracer's own points stay as they are.
void readTrace(const std::string& path, PTRawDataVector& points, PTSystemInfoStruct& systemInfo);

/// CommandError when writing `output` would overwrite the trace file (the
/// same file, by any name or link).
void refuseToOverwrite(const std::string& output, const std::string& trace);

/// A default output name in the trace's folder: the trace's name without its
/// ".kvd" extension (only when that is the file's own extension), then `suffix`.
std::string besideTrace(const std::string& trace, const std::string& suffix);

/// The names of the groupings the tracer's points belong to, sorted.
std::vector<std::string> groupingsInTrace();

/// CommandError when the trace has no point of the grouping (GLOBAL admits all).
void checkGrouping(const std::string& grouping);

/// The paired rows of the grouping, after checkGrouping.
PTProcessedDataStruct analyseGrouping(const std::string& grouping);

}  // namespace ptrace_tool
