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

namespace ptrace_tool {

/// The grouping that admits every point.
inline constexpr const char* kAllGroupings = "GLOBAL";

/// Replaces the tracer's data with the file's, with a progress line while it
/// takes long; CommandError naming the file otherwise.
void loadTrace(const std::string& path);

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
