#include "host/trace_data_file.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "host/cell_records.h"
#include "host/raw_point_records.h"
#include "platform/host_array.h"
#include "platform/host_data_file.h"
#include "platform/host_messages.h"
#include "platform/huge_page_pool.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

namespace pt::host {
namespace {

constexpr const char* kRecordsVariable = "PerformanceTracingRawDataVector";
constexpr const char* kIdentifiersVariable = "IdentifierEnumeratorInfo";
constexpr const char* kTestPathsVariable = "MapTestPath";
constexpr const char* kSystemInfoVariable = "PerformanceTracingSystemInfo";
constexpr const char* kRootVariable = "KAVLORRoot";
constexpr const char* kStartupGrouping = "Calvoran Startup";
constexpr const char* kRecordVersion = "1";
// Records between two progress updates: the atomic store stays out of the per-record cost.
constexpr std::size_t kRecordsPerProgressUpdate = 4096;

struct SystemInfoField {
  const char* name;
  std::string PTSystemInfoStruct::*text;
};

// The stored struct's fields, in this order.
constexpr SystemInfoField kSystemInfoFields[] = {
    {"processorStr", &PTSystemInfoStruct::processorStr},
    {"cpuSpeedStr", &PTSystemInfoStruct::cpuSpeedStr},
    {"numCoresStr", &PTSystemInfoStruct::numCoresStr},
    {"totalPhysMemStr", &PTSystemInfoStruct::totalPhysMemStr},
    {"operatingSystemStr", &PTSystemInfoStruct::operatingSystemStr},
    {"KAVLORVersionStr", &PTSystemInfoStruct::KAVLORVersionStr},
    {"javaVMVersionStr", &PTSystemInfoStruct::javaVMVersionStr},
    {"installedProductsStr", &PTSystemInfoStruct::installedProductsStr},
};
constexpr int kSystemInfoFieldCount = static_cast<int>(std::size(kSystemInfoFields));

PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }

haArray* textArray(const std::string& text) { return haCreateStringFromNChars(text.data(), text.size()); }

// A file that cannot be opened is refused naming it and the system's reason.
// A name with a NUL byte would open the file its first part names.
kvdFile* openFile(const std::string& name, const char* mode) {
  if (name.empty()) haErrorMsgIdAndTxt("OpenFileFailed", name, "the file name is empty");
  if (name.find('\0') != std::string::npos) haErrorMsgIdAndTxt("OpenFileFailed", name, "the name holds a NUL byte");
  kvdFile* file = kvdOpen(name.c_str(), mode);
  if (file == nullptr) haErrorMsgIdAndTxt("OpenFileFailed", name, std::strerror(errno));
  return file;
}

// ---------------------------------------------------------------- Writing

// A file being saved: written beside its target, which it replaces only when
// closed successfully; dropped on every other way out.
class SaveFile {
 public:
  explicit SaveFile(const std::string& name) : name_(name), file_(openFile(name, "w")) {}
  ~SaveFile() { kvdDiscard(file_); }
  SaveFile(const SaveFile&) = delete;
  SaveFile& operator=(const SaveFile&) = delete;

  // Records are made, written and released one at a time, so a save never
  // holds the records of the whole trace; each is made in an arena that the
  // next one reuses (the file has encoded and released a record before it
  // asks for the next).
  void putRecords(const PTRawDataVector& points, PerformanceTracer& tables) {
    const PTRecordNameCache names;
    platform::HostArrayArena arena;
    const int result = kvdPutCellVariable(file_, kRecordsVariable, points.size(), [&](std::size_t i) {
      arena.reset();
      const platform::HostArrayArena::Scope scope(arena);
      return platform::HostArrayPtr(points[i] ? points[i]->writeToCellArray(tables) : nullptr);
    });
    if (result != 0) fail("Raw Data");
  }

  void put(const char* variable, const platform::HostArrayPtr& value, const char* label) {
    if (kvdPutVariable(file_, variable, value.get()) != 0) fail(label);
  }

  // Only here is the target replaced; a failure to do so is the save's failure.
  void close() {
    if (kvdClose(std::exchange(file_, nullptr)) != 0) haErrorMsgIdAndTxt("WriteFileFailed", name_);
  }

 private:
  [[noreturn]] void fail(const char* label) {
    kvdDiscard(std::exchange(file_, nullptr));
    haErrorMsgIdAndTxt("DataWriteFail", label, name_);
  }

  std::string name_;
  kvdFile* file_;
};

// "number:name" per entry, by number.
platform::HostArrayPtr identifierEnumCell(const DynamicEnum& identifierEnum) {
  platform::HostArrayPtr cell(haCreateCellMatrix(1, identifierEnum.size()));
  unsigned long cursor[2] = {0, 0};
  for (const auto& entry : identifierEnum.entries().right)
    ptAddStringToCellArray(cell.get(), std::to_string(entry.first) + ":" + entry.second, cursor);
  return cell;
}

// T rows of key and path, filled row by row.
platform::HostArrayPtr testPathCell(const PerformanceTracer::TestPathMap& testPaths) {
  platform::HostArrayPtr cell(haCreateCellMatrix(testPaths.size(), 2));
  unsigned long cursor[2] = {0, 0};
  for (const auto& [key, path] : testPaths) {
    ptAddStringToCellArray(cell.get(), key, cursor);
    ptAddStringToCellArray(cell.get(), path, cursor);
    ++cursor[0];
    cursor[1] = 0;
  }
  return cell;
}

platform::HostArrayPtr systemInfoStruct(const PTSystemInfoStruct& info) {
  const char* names[kSystemInfoFieldCount];
  for (int f = 0; f < kSystemInfoFieldCount; ++f) names[f] = kSystemInfoFields[f].name;
  const std::size_t one[2] = {1, 1};
  platform::HostArrayPtr record(haCreateStructArray(2, one, kSystemInfoFieldCount, names));
  for (int f = 0; f < kSystemInfoFieldCount; ++f)
    haSetFieldByNumber(record.get(), 0, f, textArray(info.*kSystemInfoFields[f].text));
  return record;
}

// The root is also made current, so that the phase names saved are relative to it.
platform::HostArrayPtr currentRootText() {
  const std::string root = ptGetKAVLORRoot();
  ptSetCurrentKAVLORRoot(root);
  return platform::HostArrayPtr(textArray(root));
}

// ---------------------------------------------------------------- Reading

class ReadFile {
 public:
  explicit ReadFile(const std::string& name) : name_(name), file_(openFile(name, "r")) {}
  ~ReadFile() { kvdDiscard(file_); }
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  platform::HostArrayPtr get(const char* variable) { return platform::HostArrayPtr(kvdGetVariable(file_, variable)); }

  template <class Visit>
  void visitCells(const char* variable, Visit visit) {
    kvdVisitCellVariable(file_, variable, visit);
  }

  bool has(const char* variable) const {
    const std::vector<std::string> names = kvdGetVariableNames(file_);
    return std::find(names.begin(), names.end(), variable) != names.end();
  }

  const std::string& name() const { return name_; }

  void close() {
    if (kvdClose(std::exchange(file_, nullptr)) != 0) haErrorMsgIdAndTxt("WriteFileFailed", name_);
  }

  [[noreturn]] void corrupt(const std::string& problem) const { haErrorMsgIdAndTxt("CorruptKvdFile", name_, problem); }

 private:
  std::string name_;
  kvdFile* file_;
};

void addTestPaths(PerformanceTracer& tracer, const haArray* cell) {
  const std::size_t rows = haGetNumberOfElements(cell) / 2;
  for (std::size_t row = 0; row < rows; ++row) {
    unsigned long cursor[2] = {row, 0};
    const std::string key = ptGetStringFromCellArray(cell, cursor);
    tracer.addTestPathToMap(key, ptGetStringFromCellArray(cell, cursor));
  }
}

// Entries without a colon are passed over; one whose number is not a number
// cannot be told apart from damage.
void readIdentifierEnum(PerformanceTracer& tracer, const haArray* cell, DynamicEnum& identifierEnum,
                        const ReadFile& file) {
  for (std::size_t i = 0, n = haGetNumberOfElements(cell); i < n; ++i) {
    const std::string entry = haArrayToStdString(haGetCell(cell, i));
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos) continue;
    int number = 0;
    try {
      number = std::stoi(entry.substr(0, colon));
    } catch (const std::invalid_argument&) {
      file.corrupt("identifier entry " + std::to_string(i + 1) + " ('" + entry + "') does not begin with a number");
    } catch (const std::out_of_range&) {
      file.corrupt("identifier entry " + std::to_string(i + 1) + " ('" + entry + "') has a number out of range");
    }
    const std::string name = entry.substr(colon + 1);
    identifierEnum.add(name, number);
    tracer.insertIdentifierToMapCollections(name);
  }
}

// A loaded trace's points are made together and mostly dropped together.
template <class Point, class... Arguments>
boost::shared_ptr<PTKAVLORDataPoint> makePoint(Arguments&&... arguments) {
  return boost::allocate_shared<Point>(platform::HugePageAllocator<Point>(), std::forward<Arguments>(arguments)...);
}

// Records a reader passes over, by reason, so that a load can say what it skipped.
struct SkippedRecords {
  std::size_t empty = 0;
  std::size_t notCells = 0;
  std::map<std::string, std::size_t> byVersion;

  std::size_t total() const {
    std::size_t n = empty + notCells;
    for (const auto& [version, count] : byVersion) n += count;
    return n;
  }

  // "2 have the record version '7', which this version does not read; 1 is not a cell array".
  std::string reasons() const {
    std::string text;
    const auto add = [&text](std::size_t count, const std::string& one, const std::string& many) {
      if (count == 0) return;
      text += (text.empty() ? "" : "; ") + std::to_string(count) + " " + (count == 1 ? one : many);
    };
    for (const auto& [version, count] : byVersion)
      add(count, "has the record version '" + version + "', which this version does not read",
          "have the record version '" + version + "', which this version does not read");
    add(notCells, "is not a cell array", "are not cell arrays");
    add(empty, "is empty", "are empty");
    return text;
  }
};

// The point of one record; null, counted in `skipped`, for an element that
// is empty, is no record at all or has a version this library does not know.
boost::shared_ptr<PTKAVLORDataPoint> pointFromRecord(PerformanceTracer& tracer, const haArray* record,
                                                     DynamicEnum* fileEnum, SkippedRecords& skipped) {
  if (record == nullptr) {
    ++skipped.empty;
    return nullptr;
  }
  if (!haIsCell(record)) {
    ++skipped.notCells;
    return nullptr;
  }
  unsigned long cursor[2] = {0, 0};
  if (ptCellArrayHasVersionString(record, cursor)) {
    if (const std::string version = ptGetStringFromCellArray(record, cursor); version != kRecordVersion) {
      // A damaged or hostile version text is shown, not echoed whole.
      ++skipped.byVersion[version.size() <= 16 ? version : version.substr(0, 16) + "..."];
      return nullptr;
    }
  }
  switch (ptGetIntFromCellArray(record, cursor)) {
    case PT_KAVLOR: return makePoint<PTKAVLORDataPoint>(record, tracer);
    case PT_CLTGX: return makePoint<PTCLTGXDataPoint>(record, tracer);
    case PT_QD: return makePoint<PTQuorindelDataPoint>(record, tracer);
    default:
      if (fileEnum != nullptr) return makePoint<PTTracerDataPoint>(record, *fileEnum, tracer);
      return makePoint<PTTracerDataPoint>(record, tracer);
  }
}

void readSystemInfo(const haArray* record, PTSystemInfoStruct& info) {
  for (int f = 0; f < kSystemInfoFieldCount; ++f) {
    const haArray* value = haGetFieldByNumber(record, 0, f);
    info.*kSystemInfoFields[f].text = haIsCharVector(value) ? ptCreateStringFrom_haArray(value) : std::string();
  }
}

}  // namespace

// -------------------------------------------------------------------- Saving

void saveTraceDataFile(const std::string& fileName) { saveTraceDataFile(tracer(), fileName); }

void saveTraceDataFile(PerformanceTracer& t, const std::string& fileName) {
  SaveFile file(fileName);
  platform::HostArrayPtr root = currentRootText();
  // Numbering every identifier name first gives the records the same numbers
  // in every run; a name a point holds beyond those is numbered as it is written.
  t.getIdentifierRawEnum();
  // Writing only reads the points, so the tracer's own are written rather
  // than a deep copy of a million of them; pending recorder events are
  // converted first, as a copy would.
  t.processRecorderDataToRawData();
  file.putRecords(t.rawDataVector() ? *t.rawDataVector() : PTRawDataVector(), t);
  file.put(kIdentifiersVariable, identifierEnumCell(t.identifierRawEnum()), "Identifier Enumerator");
  file.put(kTestPathsVariable, testPathCell(t.getMapTestPath()), "TestPath Map");
  file.put(kSystemInfoVariable, systemInfoStruct(*t.getSystemInfo()), "System Information");
  file.put(kRootVariable, root, "KAVLOR Root");
  file.close();
}

void saveStartupTraceDataFile(const std::string& fileName) {
  SaveFile file(fileName);
  platform::HostArrayPtr root = currentRootText();
  PerformanceTracer& t = tracer();
  const std::unique_ptr<PTRawDataVector> points = t.getRawDataVector(kStartupGrouping);
  file.putRecords(points ? *points : PTRawDataVector(), t);
  file.put(kSystemInfoVariable, systemInfoStruct(*t.getSystemInfo()), "System Information");
  file.put(kRootVariable, root, "KAVLOR Root");
  file.close();
}

// ------------------------------------------------------------------- Loading

DynamicEnum readTraceDataFile(const std::string& fileName, PTRawDataVector& points, PTSystemInfoStruct& systemInfo,
                              ReadProgress* progress) {
  return readTraceDataFile(tracer(), fileName, points, systemInfo, progress);
}

DynamicEnum readTraceDataFile(PerformanceTracer& tracer, const std::string& fileName, PTRawDataVector& points,
                              PTSystemInfoStruct& systemInfo, ReadProgress* progress) {
  DynamicEnum identifierEnum;
  ReadFile file(fileName);
  constexpr const char* kTraceVariables[] = {kRecordsVariable, kIdentifiersVariable, kTestPathsVariable,
                                             kSystemInfoVariable, kRootVariable};
  if (std::none_of(std::begin(kTraceVariables), std::end(kTraceVariables),
                   [&](const char* variable) { return file.has(variable); }))
    file.corrupt("it holds none of the variables of a trace");
  const platform::HostArrayPtr info = file.get(kSystemInfoVariable);
  file.get(kRootVariable);  // not used, but a damaged root is a damaged file
  const platform::HostArrayPtr identifiers = file.get(kIdentifiersVariable);
  const platform::HostArrayPtr testPaths = file.get(kTestPathsVariable);

  if (testPaths) addTestPaths(tracer, testPaths.get());
  if (identifiers) readIdentifierEnum(tracer, identifiers.get(), identifierEnum, file);
  DynamicEnum* fileEnum = identifiers ? &identifierEnum : nullptr;
  const PTRecordNameCache names;
  SkippedRecords skipped;
  file.visitCells(kRecordsVariable, [&](std::size_t i, std::size_t count, const haArray* record) {
    // Room for all the points at once, within reason: a damaged count is
    // bounded only by the file's size, and empty elements make no point.
    if (i == 0) points.reserve(points.size() + std::min<std::size_t>(count, 1u << 24));
    if (progress != nullptr && i % kRecordsPerProgressUpdate == 0) {
      progress->records.store(count, std::memory_order_relaxed);
      progress->recordsRead.store(i, std::memory_order_relaxed);
    }
    // std::stoi of an identifier element throws the first two.
    const auto refuse = [&] {
      file.corrupt("record " + std::to_string(i + 1) + " has an identifier element that does not begin with a number");
    };
    try {
      if (auto point = pointFromRecord(tracer, record, fileEnum, skipped)) points.push_back(std::move(point));
    } catch (const std::invalid_argument&) {
      refuse();
    } catch (const std::out_of_range&) {
      refuse();
    }
  });
  if (progress != nullptr)
    progress->recordsRead.store(progress->records.load(std::memory_order_relaxed), std::memory_order_relaxed);
  systemInfo = PTSystemInfoStruct();
  if (haIsStruct(info.get())) readSystemInfo(info.get(), systemInfo);
  file.close();
  if (skipped.total() > 0)
    haWarningMsgId("SkippedRecords", std::to_string(skipped.total()), fileName, skipped.reasons());
  return identifierEnum;
}

namespace {

// Only the file's own name counts: a folder "x.kvd.d" makes no trace of what it holds.
void requireKvdName(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  if (fileName.find(".kvd", slash == std::string::npos ? 0 : slash + 1) == std::string::npos)
    haErrorMsgIdAndTxt("MissingKvdExt");
}

}  // namespace

void loadTraceDataFile(const std::string& fileName, ReadProgress* progress) {
  loadTraceDataFile(tracer(), fileName, progress);
}

void loadTraceDataFile(PerformanceTracer& tracer, const std::string& fileName, ReadProgress* progress) {
  ptSetCurrentKAVLORRoot(ptGetKAVLORRoot());
  requireKvdName(fileName);
  PTRawDataVector points;
  PTSystemInfoStruct systemInfo;
  const DynamicEnum identifierEnum = readTraceDataFile(tracer, fileName, points, systemInfo, progress);
  tracer.setRawDataVector(points);
  tracer.setSystemInfo(&systemInfo);
  tracer.setIdentifierRawEnum(identifierEnum);
  tracer.setUsePerformanceTracerRecorder(false);
}

// -------------------------------------------------------------- Host methods

namespace {

std::string fileNameArgument(const haArray* argument) {
  if (!haIsCharVector(argument)) haErrorMsgIdAndTxt("ParameterMismatchString", "Filename");
  return ptCreateStringFrom_haArray(argument);
}

void expectOneInput(int nInputs) {
  if (nInputs < 1) haErrorMsgIdAndTxt("MinParamsNotReached", "1");
  if (nInputs > 1) haErrorMsgIdAndTxt("MaxParamsExceeded", "1");
}

}  // namespace

// The host saves only what loadTracerData will take back: a name without
// ".kvd" is refused before any file is made.
void saveToFile(int nInputs, const haArray* const inputs[]) {
  expectOneInput(nInputs);
  const std::string fileName = fileNameArgument(inputs[0]);
  requireKvdName(fileName);
  saveTraceDataFile(fileName);
}

void saveCLStartupData(int nInputs, const haArray* const inputs[]) {
  if (nInputs > 1) haErrorMsgIdAndTxt("MaxParamsExceeded", "1");
  const std::string fileName = nInputs == 1 ? fileNameArgument(inputs[0]) : std::string(kStartupDataFile);
  requireKvdName(fileName);
  saveStartupTraceDataFile(fileName);
}

void loadTracerData(int nInputs, const haArray* const inputs[]) {
  expectOneInput(nInputs);
  loadTraceDataFile(fileNameArgument(inputs[0]));
}

}  // namespace pt::host
