// Trace data files (".kvd"): the tracer's raw data kept in a host data file,
// to be loaded again later, in this run or another, for reports and comparisons.
//
//   pt::host::saveTraceDataFile("run1.kvd");   // every raw point, with its tables
//   pt::host::loadTraceDataFile("run1.kvd");   // the tracer now holds run1's points
//
// A file holds up to five variables, each optional for a reader: the raw
// point records, the identifier enumeration, the test-path map, the system
// information of the machine that wrote it and the host installation root. A
// save writes beside the target and replaces it only once everything is
// written, so a failed save leaves an existing file as it was. Every failure
// is a host error (platform::HostError): "OpenFileFailed", "DataWriteFail",
// "WriteFileFailed", "MissingKvdExt", and "CorruptKvdFile" naming the file and
// the problem when its content is damaged or not a trace.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "sysinfo/system_info.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"

class PerformanceTracer;

namespace pt::host {

/// Default file of the startup save.
inline constexpr const char* kStartupDataFile = "CLStartupData.kvd";

/// Full save of `tracer`: every raw point (recorded events converted first),
/// named through its tables, the identifier enumeration, the test-path map,
/// the running machine's system information and the installation root, which
/// also becomes the current root.
void saveTraceDataFile(PerformanceTracer& tracer, const std::string& fileName);
/// As above, of the process-wide tracer.
void saveTraceDataFile(const std::string& fileName);

/// Startup save: the raw points of the grouping "Calvoran Startup", the system
/// information and the installation root.
void saveStartupTraceDataFile(const std::string& fileName = kStartupDataFile);

/// How far a read has come, for a display on another thread: the records
/// read so far of the file's records (both 0 until the records are reached).
/// The reader updates it every few thousand records, and once at the end.
struct ReadProgress {
  std::atomic<std::uint64_t> recordsRead{0};
  std::atomic<std::uint64_t> records{0};
};

/// Reads a trace data file into the caller's containers: appends its points,
/// numbered in the tables of `tracer`, and fills `systemInfo` (eight empty
/// texts when the file has none). Returns the file's identifier enumeration
/// (empty when it has none). Adds the file's test paths and identifier names
/// to `tracer`. Tracer points are numbered through the file's enumeration, or
/// through the tracer's when the file has none. Records that are empty, not
/// cell arrays or of an unknown record version are skipped with one warning
/// ("SkippedRecords") saying how many and why; a file with none of a trace's
/// variables is "CorruptKvdFile".
DynamicEnum readTraceDataFile(PerformanceTracer& tracer, const std::string& fileName, PTRawDataVector& points,
                              PTSystemInfoStruct& systemInfo, ReadProgress* progress = nullptr);
/// As above, into the process-wide tracer.
DynamicEnum readTraceDataFile(const std::string& fileName, PTRawDataVector& points, PTSystemInfoStruct& systemInfo,
                              ReadProgress* progress = nullptr);

/// Replaces the tracer's raw data, system information and identifier
/// enumeration with the file's and stops using the instrumentation recorder.
/// The file's name (not its folder) must contain ".kvd". On failure the tracer's data stay as they
/// were (test paths and identifier names read so far stay added).
void loadTraceDataFile(PerformanceTracer& tracer, const std::string& fileName, ReadProgress* progress = nullptr);
/// As above, for the process-wide tracer.
void loadTraceDataFile(const std::string& fileName, ReadProgress* progress = nullptr);

// ---------------------------------------------------------------- Host methods
// The argument checks of the host methods, over the inputs the host passes.

/// saveToFile(filename). Like the startup save, refuses ("MissingKvdExt") a
/// name that a load would refuse.
void saveToFile(int nInputs, const haArray* const inputs[]);
/// saveCLStartupData([filename]).
void saveCLStartupData(int nInputs, const haArray* const inputs[]);
/// loadTracerData(filename).
void loadTracerData(int nInputs, const haArray* const inputs[]);

}  // namespace pt::host
