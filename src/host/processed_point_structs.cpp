#include "host/processed_point_structs.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "analysis/aggregation.h"
#include "analysis/diagnostic_info.h"
#include "analysis/outline_labels.h"
#include "analysis/processed_points.h"
#include "host/cell_records.h"
#include "platform/host_array.h"
#include "tracer/fixed_texts.h"
#include "tracer/pt_api.h"

namespace {

using platform::HostArrayPtr;

// Fields 4 to 30 of a row, after its names; the tracer row has them too.
constexpr std::array<const char*, 4> kTimeFields = {"wcStartTime", "wcElapsedTime", "cpuStartTime", "cpuElapsedTime"};
constexpr std::array<const char*, 16> kMemoryFields = {
    "freeMem",        "resMem",           "commitMem",      "dllsMem",           "nonprocessMem",
    "freeMemDelta",   "resMemDelta",      "commitMemDelta", "dllsMemDelta",      "nonprocessMemDelta",
    "procMemUsage",   "procMemUsagePeak", "procVMSize",     "procMemUsageDelta", "procMemUsagePeakDelta",
    "procVMSizeDelta"};
constexpr std::array<const char*, 7> kMetaDataFields = {
    "errorRow", "gapRow", "HTMLPhaseNumString", "HTMLRowNumber", "numChildren", "stackDepth", "childrenIDs"};

haArray* uint32Scalar(std::uint32_t value) {
  haArray* a = haCreateNumericMatrix(1, 1, haUINT32_CLASS, haREAL);
  *haGetElements<std::uint32_t>(a) = value;
  return a;
}

std::uint32_t asUInt32(std::int32_t value) { return static_cast<std::uint32_t>(value); }

// The detailed values and changes in field order; zeros without statistics.
std::array<double, 10> detailedValues(const PTKAVLORProcessedDataPoint& row) {
  const pt::DetailedProcessedMemStats* d = row.detailedProcessedMemStats.get();
  if (d == nullptr) return {};
  return {d->freeMem,      d->resMem,      d->commitMem,      d->dllsMem,      d->nonprocessMem,
          d->freeMemDelta, d->resMemDelta, d->commitMemDelta, d->dllsMemDelta, d->nonprocessMemDelta};
}

std::array<double, 6> basicValues(const PTKAVLORProcessedDataPoint& row) {
  if (!row.basicProcessedMemStats) return {};
  const pt::BasicProcessedMemStats& b = *row.basicProcessedMemStats;
  return {b.procMemUsage,      b.procMemUsagePeak,      b.procVMSize,
          b.procMemUsageDelta, b.procMemUsagePeakDelta, b.procVMSizeDelta};
}

using NamedTexts = std::vector<std::pair<std::string, std::string>>;

// A row as a struct: the names (grouping, phase, the class's subjects, the
// statistics type unless the class has none), the times, memory, metadata,
// then `trailing` text fields.
haArray* rowStruct(PTKAVLORProcessedDataPoint& row, const NamedTexts& subjects, bool withStatisticsType,
                   const NamedTexts& trailing, const std::string& phaseNumText) {
  std::vector<std::string> names = {"pointType", "groupingStr", "phaseIDStr"};
  for (const auto& subject : subjects) names.push_back(subject.first);
  if (withStatisticsType) names.push_back(pt::statisticsTypeIdentifierText());
  names.insert(names.end(), kTimeFields.begin(), kTimeFields.end());
  names.insert(names.end(), kMemoryFields.begin(), kMemoryFields.end());
  names.insert(names.end(), kMetaDataFields.begin(), kMetaDataFields.end());
  NamedTexts extra;
  for (const auto& field : trailing) {
    if (field.first.empty() || std::find(names.begin(), names.end(), field.first) != names.end()) continue;
    names.push_back(field.first);
    extra.push_back(field);
  }
  std::vector<const char*> pointers;
  for (const std::string& name : names) pointers.push_back(name.c_str());
  const std::size_t dims[2] = {1, 1};
  HostArrayPtr s(haCreateStructArray(2, dims, static_cast<int>(pointers.size()), pointers.data()));

  int field = 0;
  auto put = [&](haArray* value) { haSetFieldByNumber(s.get(), 0, field++, value); };
  put(uint32Scalar(asUInt32(row.pointType)));
  put(haCreateString(ptGetStringForNumber(EPT_GROUPING, row.grouping).c_str()));
  put(haCreateString(ptGetStringForNumber(EPT_PHASE, row.phase).c_str()));
  for (const auto& subject : subjects) put(haCreateString(subject.second.c_str()));
  if (withStatisticsType) put(haCreateString(ptGetStringForNumber(EPT_STATISTICS_TYPE, row.statisticsType).c_str()));
  for (double time : {row.wcStartTime, row.wcElapsedTime, row.cpuStartTime, row.cpuElapsedTime})
    put(haCreateDoubleScalar(time));
  HostArrayPtr scratch(haCreateDoubleScalar(0.0));
  row.writeMemoryStatsToStructArray(s.get(), 0, scratch.get());
  field += static_cast<int>(kMemoryFields.size());
  put(haCreateLogicalScalar(row.errorRow));
  put(haCreateLogicalScalar(row.gapRow));
  put(haCreateString(phaseNumText.c_str()));
  put(uint32Scalar(asUInt32(row.HTMLRowNumber)));
  put(uint32Scalar(asUInt32(row.numChildren)));
  put(uint32Scalar(asUInt32(row.stackDepth)));
  put(ptCreateCellArrayFromIntVector(row.childrenIDs()));
  for (const auto& [name, value] : extra) put(haCreateString(value.c_str()));
  return s.release();
}

// A row as a cell: the struct's values in its order; the metadata integers
// are int32, and `pairs` (identifier name and value texts) follow the phase
// name with their count in front.
haArray* rowCell(const PTKAVLORProcessedDataPoint& row, const NamedTexts& subjects, bool withStatisticsType,
                 const NamedTexts* pairs, const std::string& phaseNumText) {
  const std::size_t size = 3 + subjects.size() + (withStatisticsType ? 1 : 0) + (pairs ? 1 + 2 * pairs->size() : 0) +
                           kTimeFields.size() + kMemoryFields.size() + kMetaDataFields.size();
  HostArrayPtr cell(haCreateCellMatrix(1, size));
  unsigned long cursor[2] = {0, 0};
  ptAddIntToCellArray(cell.get(), row.pointType, cursor);
  ptAddStringToCellArray(cell.get(), ptGetStringForNumber(EPT_GROUPING, row.grouping), cursor);
  ptAddStringToCellArray(cell.get(), ptGetStringForNumber(EPT_PHASE, row.phase), cursor);
  if (pairs != nullptr) {
    ptAddIntToCellArray(cell.get(), static_cast<int>(pairs->size()), cursor);
    for (const auto& [name, value] : *pairs) {
      ptAddStringToCellArray(cell.get(), name, cursor);
      ptAddStringToCellArray(cell.get(), value, cursor);
    }
  }
  for (const auto& subject : subjects) ptAddStringToCellArray(cell.get(), subject.second, cursor);
  if (withStatisticsType)
    ptAddStringToCellArray(cell.get(), ptGetStringForNumber(EPT_STATISTICS_TYPE, row.statisticsType), cursor);
  for (double time : {row.wcStartTime, row.wcElapsedTime, row.cpuStartTime, row.cpuElapsedTime})
    ptAddDoubleToCellArray(cell.get(), time, cursor);
  row.writeDetailedMemStatsToCellArray(cell.get(), cursor);
  row.writeBasicMemStatsToCellArray(cell.get(), cursor);
  row.writeMetaDataToCellArray(cell.get(), cursor, phaseNumText);
  return cell.release();
}

NamedTexts modelTarget(const PTCLTGXProcessedDataPoint& row) {
  return {{pt::kModelIdentifier, ptGetModelStr(row.model)}, {pt::kTargetIdentifier, ptGetTargetStr(row.target)}};
}

NamedTexts modelTargetMachineChart(const PTQDProcessedDataPoint& row) {
  NamedTexts subjects = modelTarget(row);
  subjects.emplace_back(pt::kMachineIdentifier, ptGetMachineStr(row.machine));
  subjects.emplace_back(pt::kChartIdentifier, ptGetChartStr(row.chart));
  return subjects;
}

// Identifier name and value text, in the order of the row's own enumeration.
NamedTexts identifierTexts(PTTracerProcessedDataPoint& row) {
  DynamicEnum& names = row.identifierEnum();
  names.addKeysFromMap(row.identifiers);
  NamedTexts texts;
  for (const auto& entry : names.entries().right) {
    const int number = row.getIdentifierNum(entry.second);
    if (number >= 0) texts.emplace_back(entry.second, ptGetStringForNumber(entry.second, number));
  }
  return texts;
}

}  // namespace

// ------------------------------------------------------------------ Members

void PTKAVLORProcessedDataPoint::writeMemoryStatsToStructArray(haArray* s, unsigned long index,
                                                               haArray* scratch) const {
  const int first = haGetFieldNumber(s, kMemoryFields.front());
  const std::array<double, 10> detailed = detailedValues(*this);
  const std::array<double, 6> basic = basicValues(*this);
  double* value = haGetElements<double>(scratch);
  for (std::size_t i = 0; i < kMemoryFields.size(); ++i) {
    *value = i < detailed.size() ? detailed[i] : basic[i - detailed.size()];
    haSetFieldByNumber(s, index, first + static_cast<int>(i), haDuplicateArray(scratch));
  }
}

void PTKAVLORProcessedDataPoint::writeDetailedMemStatsToCellArray(haArray* cell, unsigned long* cursor) const {
  for (double value : detailedValues(*this)) ptAddDoubleToCellArray(cell, value, cursor);
}

void PTKAVLORProcessedDataPoint::writeBasicMemStatsToCellArray(haArray* cell, unsigned long* cursor) const {
  for (double value : basicValues(*this)) ptAddDoubleToCellArray(cell, value, cursor);
}

void PTKAVLORProcessedDataPoint::writeMetaDataToCellArray(haArray* cell, unsigned long* cursor,
                                                          const std::string& phaseNumText) const {
  ptAddLogicalToCellArray(cell, errorRow, cursor);
  ptAddLogicalToCellArray(cell, gapRow, cursor);
  ptAddStringToCellArray(cell, phaseNumText, cursor);
  ptAddIntToCellArray(cell, HTMLRowNumber, cursor);
  ptAddIntToCellArray(cell, numChildren, cursor);
  ptAddIntToCellArray(cell, stackDepth, cursor);
  ptAddIntVectorToCellArray(cell, childrenIDs(), cursor);
}

haArray* PTKAVLORProcessedDataPoint::writeToStructArray(const std::string& phaseNumText) {
  return rowStruct(*this, {}, true, {}, phaseNumText);
}

haArray* PTKAVLORProcessedDataPoint::writeToCellArray(const std::string& phaseNumText) {
  return rowCell(*this, {}, true, nullptr, phaseNumText);
}

haArray* PTCLTGXProcessedDataPoint::writeToStructArray(const std::string& phaseNumText) {
  return rowStruct(*this, modelTarget(*this), true, {}, phaseNumText);
}

haArray* PTCLTGXProcessedDataPoint::writeToCellArray(const std::string& phaseNumText) {
  return rowCell(*this, modelTarget(*this), true, nullptr, phaseNumText);
}

haArray* PTQDProcessedDataPoint::writeToStructArray(const std::string& phaseNumText) {
  return rowStruct(*this, modelTargetMachineChart(*this), true, {}, phaseNumText);
}

haArray* PTQDProcessedDataPoint::writeToCellArray(const std::string& phaseNumText) {
  return rowCell(*this, modelTargetMachineChart(*this), true, nullptr, phaseNumText);
}

haArray* PTTracerProcessedDataPoint::writeToStructArray(const std::string& phaseNumText) {
  return rowStruct(*this, {}, false, identifierTexts(*this), phaseNumText);
}

haArray* PTTracerProcessedDataPoint::writeToCellArray(const std::string& phaseNumText) {
  const NamedTexts pairs = identifierTexts(*this);
  return rowCell(*this, {}, false, &pairs, phaseNumText);
}

haArray* PTAggregateDataPoint::writeToStructArray() const {
  static constexpr const char* kFields[] = {"pointType",
                                            "grouping",
                                            "phaseID",
                                            "wcElapsedTime",
                                            "cpuElapsedTime",
                                            "procMemUsageDelta",
                                            "procMemUsagePeakDelta",
                                            "procVMSizeDelta",
                                            "Count"};
  const std::size_t dims[2] = {1, 1};
  HostArrayPtr s(haCreateStructArray(2, dims, static_cast<int>(std::size(kFields)), kFields));
  int field = 0;
  auto put = [&](haArray* value) { haSetFieldByNumber(s.get(), 0, field++, value); };
  put(uint32Scalar(asUInt32(pointType)));
  put(haCreateString(ptGetStringForNumber(EPT_GROUPING, grouping).c_str()));
  put(haCreateString(ptGetStringForNumber(EPT_PHASE, phaseID).c_str()));
  for (double value : {wcElapsedTime, cpuElapsedTime, procMemUsageDelta, procMemUsagePeakDelta, procVMSizeDelta})
    put(haCreateDoubleScalar(value));
  put(uint32Scalar(asUInt32(count)));
  return s.release();
}

// ------------------------------------------------------------------ Sequences

haArray* ptProcessedRowsToStructCell(const PTDiagnosticInfoVector& rows) {
  HostArrayPtr cell(haCreateCellMatrix(1, rows.size()));
  PTOutlineLabels labels;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    PTKAVLORProcessedDataPoint& row = *rows[i]->processedPoint;
    haSetCell(cell.get(), i, row.writeToStructArray(labels.next(row)));
  }
  return cell.release();
}

haArray* ptAggregatesToStructCell(const PTAggregateDataMap& aggregates) {
  HostArrayPtr cell(haCreateCellMatrix(1, aggregates.size()));
  std::size_t i = 0;
  for (const auto& entry : aggregates) haSetCell(cell.get(), i++, entry.second->writeToStructArray());
  return cell.release();
}
