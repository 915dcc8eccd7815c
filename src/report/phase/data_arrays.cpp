// The data arrays of the phase-based pages: procData (one record per row),
// aggData (one per phase) and one array of names per mapping, which the
// records index by number. The page script addresses every field by name and
// every name by position, so the texts here are fixed to the character.
#include "report/phase/data_arrays.h"

#include "analysis/aggregation.h"
#include "analysis/metric.h"
#include "analysis/outline_labels.h"
#include "analysis/processed_data.h"
#include "pt_assets_assets.h"
#include "report/phase/html_escape.h"
#include "report/phase/page_parts.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

void appendInt(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void appendField(std::string& out, double value) {
  out += ',';
  pt::report::appendScriptNumber(out, value);
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

constexpr std::size_t kSubjects = 4;  // model, target, machine, chart
constexpr std::array<EPTStringMappings, kSubjects> kSubjectMappings{EPT_MODEL, EPT_TARGET, EPT_MACHINE, EPT_CHART};
constexpr std::array<const char*, kSubjects> kSubjectIdentifiers{"modelStr", "targetStr", "machineStr", "chartStr"};

// Tracer rows carry their subjects as identifiers; the first candidate name
// the trace uses stands for each subject column.
std::array<std::string, kSubjects> chooseSubjectIdentifiers(const PerformanceTracer::MapCollections& collections) {
  static const std::array<std::array<const char*, 3>, kSubjects> candidates{{pt::kModelIdentifierCandidates,
                                                                             {"targetStr", "target", "Target"},
                                                                             {"machineStr", "machine", "Machine"},
                                                                             {"chartStr", "chart", "Chart"}}};
  std::array<std::string, kSubjects> chosen;
  for (std::size_t subject = 0; subject < kSubjects; ++subject) {
    for (const char* name : candidates[subject]) {
      if (collections.count(name) > 0) {
        chosen[subject] = name;
        break;
      }
    }
  }
  return chosen;
}

// The Model, Target, Machine and Chart columns of procData and the name
// arrays they index. Block-diagram and state-chart rows hold numbers of the
// subject mappings, tracer rows (among them every row the analysis converted
// to that class) numbers of identifier tables, yet the page has one array per
// subject. A trace with names in the mappings gets the mappings' arrays, and
// a tracer row's number is translated by name into them; a name no mapping
// holds is added after the mapping's own names. A trace without such names
// gets the identifier tables themselves.
class SubjectColumns {
 public:
  /// `tables` are the chosen identifiers' tables (null where none), `rows`
  /// the rows to be written (may be null).
  SubjectColumns(const std::array<const StringNumberMapping*, kSubjects>& mappings,
                 const std::array<const StringNumberMapping*, kSubjects>& tables, const PTProcessedDataStruct* rows,
                 const std::array<std::string, kSubjects>& identifiers)
      : mappings_(mappings), tables_(tables), identifiers_(identifiers) {
    useMappings_ = std::any_of(mappings.begin(), mappings.end(),
                               [](const StringNumberMapping* table) { return table != nullptr && !table->empty(); });
    if (!useMappings_ || rows == nullptr) return;
    for (const auto& info : rows->diagnosticInfos) numbers(*info->processedPoint);
  }

  /// The row's numbers into the arrays written, -1 where it has no subject.
  std::array<int, kSubjects> numbers(const PTKAVLORProcessedDataPoint& row) {
    if (row.pointType != PT_TRACER) {
      return {row.getModelID(), row.getTargetID(), row.getMachineID(), row.getChartID()};
    }
    const auto& tracerRow = static_cast<const PTTracerProcessedDataPoint&>(row);
    std::array<int, kSubjects> numbers{-1, -1, -1, -1};
    for (std::size_t subject = 0; subject < kSubjects; ++subject) {
      if (identifiers_[subject].empty()) continue;
      const int number = tracerRow.getIdentifierNum(identifiers_[subject]);
      numbers[subject] = useMappings_ ? translated(subject, number) : number;
    }
    return numbers;
  }

  /// The four arrays, "var Model = [...]" and the like, from the writers of
  /// an identifier table and of a mapping.
  template <class WriteTable, class WriteMapping>
  std::string arrays(WriteTable writeTable, WriteMapping writeMapping) const {
    std::string js;
    for (std::size_t subject = 0; subject < kSubjects; ++subject) {
      if (!useMappings_) {
        js += writeTable(identifiers_[subject].empty() ? kSubjectIdentifiers[subject] : identifiers_[subject]);
        continue;
      }
      std::string array = writeMapping(kSubjectMappings[subject]);
      if (!added_[subject].empty()) {
        array.resize(array.size() - 3);  // "];\n"
        for (const std::string& name : added_[subject]) {
          if (array.back() != '[') array += ", \n";
          array += quotedName(name);
        }
        array += "];\n";
      }
      js += array;
    }
    return js;
  }

 private:
  int translated(std::size_t subject, int number) {
    if (number < 0 || tables_[subject] == nullptr || number >= static_cast<int>(tables_[subject]->size())) return -1;
    auto [entry, isNew] = translations_[subject].try_emplace(number, -1);
    if (!isNew) return entry->second;
    const std::string name = tables_[subject]->getString(number);
    const StringNumberMapping* mapping = mappings_[subject];
    const std::int32_t known = mapping == nullptr ? -1 : mapping->getNumber(name);
    if (known >= 0) {
      entry->second = known;
    } else {
      entry->second = static_cast<int>((mapping == nullptr ? 0 : mapping->size()) + added_[subject].size());
      added_[subject].push_back(name);
    }
    return entry->second;
  }

  std::array<const StringNumberMapping*, kSubjects> mappings_;
  std::array<const StringNumberMapping*, kSubjects> tables_;
  std::array<std::string, kSubjects> identifiers_;
  bool useMappings_ = false;
  std::array<std::unordered_map<int, int>, kSubjects> translations_;
  std::array<std::vector<std::string>, kSubjects> added_;
};

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
  for (const double value :
       {stats.procMemUsageDelta, stats.procMemUsage, stats.procMemUsagePeakDelta, stats.procMemUsagePeak}) {
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

// The columns for `summary` (may be null) in `tracer`'s tables.
SubjectColumns makeSubjectColumns(const PerformanceTracer& tracer, const PerformanceTracer::MapCollections& collections,
                                  const PTProcessedDataStruct* summary) {
  const std::array<std::string, kSubjects> identifiers = chooseSubjectIdentifiers(collections);
  std::array<const StringNumberMapping*, kSubjects> mappings{};
  std::array<const StringNumberMapping*, kSubjects> tables{};
  for (std::size_t subject = 0; subject < kSubjects; ++subject) {
    mappings[subject] = tracer.getMappingByType(kSubjectMappings[subject]);
    const auto table = identifiers[subject].empty() ? collections.end() : collections.find(identifiers[subject]);
    tables[subject] = table == collections.end() ? nullptr : table->second.get();
  }
  return SubjectColumns(mappings, tables, summary, identifiers);
}

}  // namespace

std::string generateDataArrayJS(const PerformanceTracer& tracer, const PTProcessedDataStruct* summary,
                                const std::string& statisticsType) {
  // Reserved before the first text: GCC 12 otherwise sizes the buffer by that
  // text and reports the appends below as out of bounds.
  std::string js;
  js.reserve(1024);
  js += "        var dataStruct = makeStruct(\"isParent HTMLPhaseNum GapRow Phase Grouping Model Target Machine Chart ";
  void (*appendMetrics)(std::string&, const PTKAVLORProcessedDataPoint&) = nullptr;
  const std::optional<pt::Metric> metric = pt::parseMetric(statisticsType);
  if (metric == pt::Metric::kTime) {
    js += "WCStart WCElapsed WCSelf CPUStart CPUElapsed CPUSelf ";
    appendMetrics = appendTimeFields;
  } else if (metric == pt::Metric::kBasicMemory) {
    js += "UsageDelta UsageDeltaSelf Usage UsageSelf UsagePeakDelta UsagePeakDeltaSelf UsagePeak UsagePeakSelf";
    appendMetrics = appendBasicMemoryFields;
  } else if (metric == pt::Metric::kDetailedMemory) {
    js +=
        "Free FreeSelf Reserved ReservedSelf Committed CommittedSelf Dlls DllsSelf NonProcess NonProcessSelf "
        "FreeStart ReservedStart CommittedStart DllsStart NonProcessStart";
    appendMetrics = appendDetailedMemoryFields;
  }
  js += "\");\n        var numBlankData = 0;\n        var procData = [";
  if (summary != nullptr) {
    SubjectColumns subjects = makeSubjectColumns(tracer, tracer.getMapCollections(), summary);
    PTOutlineLabels labels;
    js.reserve(js.size() + summary->diagnosticInfos.size() * 160);
    bool first = true;
    for (const auto& info : summary->diagnosticInfos) {
      const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
      if (!first) js += ",\n                    ";
      first = false;
      js += "new dataStruct(";
      js += row.numChildren > 0 ? '1' : '0';
      js += ",\"";
      js += labels.next(row);  // digits and dots only
      js += "\",";
      js += row.gapRow ? '1' : '0';
      js += ',';
      appendInt(js, row.phase);
      js += ',';
      appendInt(js, row.grouping);
      for (const int number : subjects.numbers(row)) appendSubject(js, number);
      if (appendMetrics != nullptr) appendMetrics(js, row);
      js += ')';
    }
  }
  js += "];\n";
  return js;
}

std::string generateJSForStringMapping(const PerformanceTracer& tracer, EPTStringMappings mapping) {
  std::string js = "        var " + PerformanceTracer::getNameForMappingID(mapping) + " = [";
  if (const StringNumberMapping* table = tracer.getMappingByType(mapping)) {
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

std::string generateJSForStringMapping(const PerformanceTracer& tracer, const std::string& identifier) {
  std::string name;
  if (identifier == "modelStr")
    name = "Model";
  else if (identifier == "targetStr")
    name = "Target";
  else if (identifier == "machineStr")
    name = "Machine";
  else
    name = capitalizeFirstLetter(PerformanceTracer::removeStrSuffix(identifier));
  // Only the four subject identifiers reach here from the page writers; any
  // other name must still make a valid script identifier.
  if (name.empty() || !std::all_of(name.begin(), name.end(),
                                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; })) {
    name = "Identifier";
  }
  std::string js = "        var " + name + " = [";
  const auto& collections = tracer.getMapCollections();
  if (const auto found = collections.find(identifier); found != collections.end() && found->second) {
    const StringNumberMapping* table = found->second.get();
    const auto count = static_cast<std::int32_t>(table->size());
    for (std::int32_t number = 0; number < count; ++number) {
      if (number > 0) js += ", \n";
      js += quotedName(table->getString(number));
    }
  }
  js += "];\n";
  return js;
}

std::string generatePhaseDataArrayJS(const PerformanceTracer& tracer, const PTProcessedDataStruct* summary) {
  const SubjectColumns subjects = makeSubjectColumns(tracer, tracer.getMapCollections(), summary);
  return generateJSForStringMapping(tracer, EPT_PHASE) + generateJSForStringMapping(tracer, EPT_GROUPING) +
         subjects.arrays(
             [&tracer](const std::string& identifier) { return generateJSForStringMapping(tracer, identifier); },
             [&tracer](EPTStringMappings mapping) { return generateJSForStringMapping(tracer, mapping); }) +
         std::string(pt::assets::data_array_globals_js());
}

std::string generateAggregateDataArrayJS(const PTAggregateDataMap& aggregates, const std::string& statisticsType,
                                         bool aggregateOnly) {
  std::string js(pt::assets::data_array_globals_js());
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
  const std::optional<pt::Metric> metric = pt::parseMetric(statisticsType);
  if (metric == pt::Metric::kTime)
    js += "WCElapsed WCSelfPlusChild";
  else if (metric == pt::Metric::kBasicMemory)
    js += "UsageDelta Usage UsagePeakDelta UsagePeak";
  else if (metric == pt::Metric::kDetailedMemory)
    js += "Free Reserved Committed Dlls NonProcess";
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
    if (metric == pt::Metric::kTime) {
      for (const double value : {aggregate->wcElapsedTime, aggregate->wcTotalTime}) appendField(js, value);
    } else if (metric == pt::Metric::kBasicMemory) {
      for (const double value : {aggregate->procMemUsageDelta, aggregate->procMemUsage,
                                 aggregate->procMemUsagePeakDelta, aggregate->procMemUsagePeak}) {
        appendField(js, value);
      }
    } else if (metric == pt::Metric::kDetailedMemory) {
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
