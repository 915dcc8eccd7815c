// The data arrays of the phase-based pages: procData (one record per row),
// aggData (one per phase) and one array of names per mapping, which the
// records index by number. The page script addresses every field by name and
// every name by position, so the texts here are fixed to the character.
#include "analysis/aggregation.h"
#include "analysis/processed_data.h"
#include "report/phase/html_escape.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

void appendInt(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// printf writes "nan" and "inf", which the page script would read as
// undefined names; its own spellings keep the page loading.
void appendDouble(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "Infinity" : "-Infinity";
    return;
  }
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%.5g", value);
  out.append(buffer, static_cast<std::size_t>(std::max(length, 0)));
}

void appendField(std::string& out, double value) {
  out += ',';
  appendDouble(out, value);
}

// A subject field the row does not have is written ", -1".
void appendSubject(std::string& out, int number) {
  if (number == -1) {
    out += ", -1";
  } else {
    out += ',';
    appendInt(out, number);
  }
}

// Line feeds would end the script string; the page shows them as blanks.
std::string quotedName(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  // Appended, not "\"" + temporary: that trips a false -Wrestrict of GCC 12 at -O3.
  std::string quoted = "\"";
  quoted += ptEscapeForScriptString(text);
  quoted += '"';
  return quoted;
}

std::string declarationBlock() {
  return "       var PhaseLengths     = new Array();\n"
         "       var GroupingLengths  = new Array();\n"
         "       var ModelLengths     = new Array();\n"
         "       var TargetLengths    = new Array();\n"
         "       var MachineLengths   = new Array();\n"
         "       var ChartLengths     = new Array();\n"
         "       var ExpandStrLengths = new Array();\n"
         "       var ExpandStr        = [\"&nbsp;&nbsp;&nbsp;\",\"[+]\",\"[-]\"];\n"
         "       var phaseStrToShow;\n"
         "       var modelStrToShow;\n"
         "       var machineStrToShow;\n"
         "       var chartStrToShow;\n"
         "       var phaseStr;\n"
         "       var modelStr;\n"
         "       var machineStr;\n"
         "       var chartStr;\n"
         "       var targetStr;\n"
         "       var groupingStr;\n";
}

// Tracer rows carry their subjects as identifiers; the first candidate name
// the trace uses stands for each subject column.
struct SubjectIdentifiers {
  std::array<std::string, 4> names;  // model, target, machine, chart; empty: none
};

SubjectIdentifiers chooseSubjectIdentifiers(const PerformanceTracer::MapCollections& collections) {
  static const std::array<std::array<const char*, 3>, 4> candidates{{{"modelStr", "model", "Model"},
                                                                     {"targetStr", "target", "Target"},
                                                                     {"machineStr", "machine", "Machine"},
                                                                     {"chartStr", "chart", "Chart"}}};
  SubjectIdentifiers chosen;
  for (std::size_t subject = 0; subject < candidates.size(); ++subject) {
    for (const char* name : candidates[subject]) {
      if (collections.count(name) > 0) {
        chosen.names[subject] = name;
        break;
      }
    }
  }
  return chosen;
}

std::array<int, 4> subjectNumbers(const PTKAVLORProcessedDataPoint& row, const SubjectIdentifiers& identifiers) {
  if (row.pointType == PT_TRACER) {
    const auto& tracerRow = static_cast<const PTTracerProcessedDataPoint&>(row);
    std::array<int, 4> numbers{-1, -1, -1, -1};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      if (!identifiers.names[i].empty()) numbers[i] = tracerRow.getIdentifierNum(identifiers.names[i]);
    }
    return numbers;
  }
  return {row.getModelID(), row.getTargetID(), row.getMachineID(), row.getChartID()};
}

void appendTimeFields(std::string& out, const PTKAVLORProcessedDataPoint& row) {
  const bool leaf = row.numChildren == 0;
  appendField(out, row.wcStartTime);
  appendField(out, row.wcElapsedTime);
  appendField(out, leaf ? row.wcElapsedTime : 0.0);
  appendField(out, row.cpuStartTime);
  appendField(out, row.cpuElapsedTime);
  appendField(out, leaf ? row.cpuElapsedTime : 0.0);
}

void appendBasicMemoryFields(std::string& out, const PTKAVLORProcessedDataPoint& row) {
  const bool leaf = row.numChildren == 0;
  const pt::BasicProcessedMemStats stats = row.basicProcessedMemStats.value_or(pt::BasicProcessedMemStats());
  for (const double value : {stats.procMemUsageDelta, stats.procMemUsage, stats.procMemUsagePeakDelta,
                             stats.procMemUsagePeak}) {
    appendField(out, value);
    appendField(out, leaf ? value : 0.0);
  }
}

void appendDetailedMemoryFields(std::string& out, const PTKAVLORProcessedDataPoint& row) {
  if (!row.detailedProcessedMemStats) {
    for (int i = 0; i < 15; ++i) out += ",0";
    return;
  }
  const bool leaf = row.numChildren == 0;
  const pt::DetailedProcessedMemStats& end = *row.detailedProcessedMemStats;
  const std::array<double, 5> values{end.freeMem, end.resMem, end.commitMem, end.dllsMem, end.nonprocessMem};
  for (const double value : values) {
    appendField(out, value);
    appendField(out, leaf ? value : 0.0);
  }
  if (leaf || !row.startDetailedMemStats) {
    for (const double value : values) appendField(out, value);
  } else {
    const pt::DetailedMemStats& start = *row.startDetailedMemStats;
    for (const double value : {start.freeMem, start.resMem, start.commitMem, start.dllsMem, start.nonprocessMem}) {
      appendField(out, value);
    }
  }
}

}  // namespace

std::string PerformanceTracer::generateDataArrayJS(const PTProcessedDataStruct* summary,
                                                   const std::string& statisticsType) const {
  std::string js = "        var dataStruct = makeStruct(\"isParent HTMLPhaseNum GapRow Phase Grouping Model Target Machine Chart ";
  void (*appendMetrics)(std::string&, const PTKAVLORProcessedDataPoint&) = nullptr;
  if (statisticsType == "time") {
    js += "WCStart WCElapsed WCSelf CPUStart CPUElapsed CPUSelf ";
    appendMetrics = appendTimeFields;
  } else if (statisticsType == "basicmemory") {
    js += "UsageDelta UsageDeltaSelf Usage UsageSelf UsagePeakDelta UsagePeakDeltaSelf UsagePeak UsagePeakSelf";
    appendMetrics = appendBasicMemoryFields;
  } else if (statisticsType == "detailedmemory") {
    js += "Free FreeSelf Reserved ReservedSelf Committed CommittedSelf Dlls DllsSelf NonProcess NonProcessSelf "
          "FreeStart ReservedStart CommittedStart DllsStart NonProcessStart";
    appendMetrics = appendDetailedMemoryFields;
  }
  js += "\");\n        var numBlankData = 0;\n        var procData = [";
  if (summary != nullptr) {
    const SubjectIdentifiers identifiers = chooseSubjectIdentifiers(mapCollections_);
    js.reserve(js.size() + summary->diagnosticInfos.size() * 160);
    bool first = true;
    for (const auto& info : summary->diagnosticInfos) {
      const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
      if (!first) js += ",\n                    ";
      first = false;
      js += "new dataStruct(";
      js += row.numChildren > 0 ? '1' : '0';
      js += ",\"" + ptEscapeForScriptString(row.HTMLPhaseNumString) + "\",";
      js += row.gapRow ? '1' : '0';
      js += ',';
      appendInt(js, row.phase);
      js += ',';
      appendInt(js, row.grouping);
      for (const int number : subjectNumbers(row, identifiers)) appendSubject(js, number);
      if (appendMetrics != nullptr) appendMetrics(js, row);
      js += ')';
    }
  }
  js += "];\n";
  return js;
}

std::string PerformanceTracer::generateJSForStringMapping(EPTStringMappings mapping) const {
  std::string js = "        var " + getNameForMappingID(mapping) + " = [";
  if (const StringNumberMapping* table = getMappingByType(mapping)) {
    const auto count = static_cast<std::int32_t>(table->size());
    for (std::int32_t number = 0; number < count; ++number) {
      if (number > 0) js += ", \n";
      const std::string text = table->getString(number);
      js += quotedName(mapping == EPT_PHASE ? ptCleanupPhaseName(text, false) : text);
    }
  }
  js += "];\n";
  return js;
}

std::string PerformanceTracer::generateJSForStringMapping(const std::string& identifier) const {
  std::string name;
  if (identifier == "modelStr") name = "Model";
  else if (identifier == "targetStr") name = "Target";
  else if (identifier == "machineStr") name = "Machine";
  else name = capitalizeFirstLetter(removeStrSuffix(identifier));
  // Only the four subject identifiers reach here from the page writers; any
  // other name must still make a valid script identifier.
  if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
      })) {
    name = "Identifier";
  }
  std::string js = "        var " + name + " = [";
  if (const StringNumberMapping* table = identifierTable(identifier)) {
    const auto count = static_cast<std::int32_t>(table->size());
    for (std::int32_t number = 0; number < count; ++number) {
      if (number > 0) js += ", \n";
      js += quotedName(table->getString(number));
    }
  }
  js += "];\n";
  return js;
}

std::string PerformanceTracer::generatePhaseDataArrayJS() const {
  std::string js = generateJSForStringMapping(EPT_PHASE) + generateJSForStringMapping(EPT_GROUPING);
  const auto isEmpty = [this](EPTStringMappings mapping) {
    const StringNumberMapping* table = getMappingByType(mapping);
    return table == nullptr || table->empty();
  };
  if (isEmpty(EPT_MODEL) && isEmpty(EPT_TARGET) && isEmpty(EPT_MACHINE) && isEmpty(EPT_CHART)) {
    for (const char* identifier : {"modelStr", "targetStr", "machineStr", "chartStr"}) {
      js += generateJSForStringMapping(std::string(identifier));
    }
  } else {
    for (const EPTStringMappings mapping : {EPT_MODEL, EPT_TARGET, EPT_MACHINE, EPT_CHART}) {
      js += generateJSForStringMapping(mapping);
    }
  }
  return js + declarationBlock();
}

std::string PerformanceTracer::generateAggregateDataArrayJS(const PTAggregateDataMap& aggregates,
                                                            const std::string& statisticsType,
                                                            bool aggregateOnly) const {
  std::string js = declarationBlock();
  js +=
      "       var aggDataView = new Array();\n"
      "       aggDataView['Index'] = new Array();\n"
      "       var aggSortInfo = new Array();\n"
      "       aggSortInfo['Col'] = '';\n"
      "       aggSortInfo['Asc'] = false;\n"
      "       var aggDataViewCreated = false;\n"
      "       var ctDataViewCreated  = false;\n"
      "       var numRows = new Array();\n"
      "       numRows['Aggregate'] = 0;\n";
  if (!aggregateOnly) {
    js +=
        "       numRows['CallTree']  = 0;\n"
        "       numRows['Detail']    = 0;\n";
  }
  js += "       var aggDataStruct = makeStruct(\"IsParent Phase Count ";
  if (statisticsType == "time") js += "WCElapsed WCSelfPlusChild";
  else if (statisticsType == "basicmemory") js += "UsageDelta Usage UsagePeakDelta UsagePeak";
  else if (statisticsType == "detailedmemory") js += "Free Reserved Committed Dlls NonProcess";
  js += "\");\n       var aggData = [";
  bool first = true;
  for (const auto& [phase, aggregate] : aggregates) {
    if (!first) js += ",\n                    ";
    first = false;
    js += "new aggDataStruct(";
    js += aggregate->isParent ? '1' : '0';
    js += ',';
    appendInt(js, phase);
    js += ',';
    appendInt(js, aggregate->count);
    if (statisticsType == "time") {
      for (const double value : {aggregate->wcElapsedTime, aggregate->wcTotalTime}) appendField(js, value);
    } else if (statisticsType == "basicmemory") {
      for (const double value : {aggregate->procMemUsageDelta, aggregate->procMemUsage,
                                 aggregate->procMemUsagePeakDelta, aggregate->procMemUsagePeak}) {
        appendField(js, value);
      }
    } else if (statisticsType == "detailedmemory") {
      for (const double value : {aggregate->freeMem, aggregate->resMem, aggregate->commitMem, aggregate->dllsMem,
                                 aggregate->nonprocessMem}) {
        appendField(js, value);
      }
    }
    js += ')';
  }
  js += "];\n\n";
  return js;
}
