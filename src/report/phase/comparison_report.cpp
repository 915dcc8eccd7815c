// The comparison reports: two recordings of the same work analysed alike,
// aligned phase by phase (and aggregate by aggregate), and written as one page
// whose tables set the LHS and RHS values side by side with their deviations.
// The page frame and table machinery are those of the phase report; the
// records here carry names as texts, since the two recordings' entries are
// interleaved, and the missing side of a one-sided entry as -99.99.
#include "report/phase/comparison_report.h"

#include "analysis/aggregation.h"
#include "analysis/diagnostic_info.h"
#include "analysis/metric.h"
#include "analysis/outline_labels.h"
#include "analysis/processed_data.h"
#include "analysis/processed_points.h"
#include "compare/alignment.h"
#include "compare/deviations.h"
#include "platform/replacing_file.h"
#include "report/phase/data_arrays.h"
#include "report/phase/html_escape.h"
#include "report/phase/phase_page.h"
#include "report/phase/summary_tables.h"
#include "sysinfo/system_info.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

using pt::report::scriptBlock;

namespace {

// The comparison arrays travel as columns in one JSON text that the page
// parses with JSON.parse and turns into records (recordsFromColumns): a 100k-row
// page of record constructor calls takes the browser seconds to parse, the
// same values as JSON a small part of that. Each field's values form one
// array; texts are written once into a table that the columns index; a value
// a one-sided entry does not have is left out, the page knows from the match
// digits which rows carry it. The kinds, one letter per field: 'n' a number
// per entry, 's' a text per entry, 't' an index into the texts per entry,
// 'l' and 'r' a number per entry present on that side, 'd' a number and 'c'
// an index into the texts per matched entry.
class ColumnarRecords {
 public:
  explicit ColumnarRecords(std::string kinds) : kinds_(std::move(kinds)), columns_(kinds_.size()) {}

  /// Numbers as printf's %.5g shows them, spelled as briefly as reads back
  /// the same; JSON has no spelling for the non-finite ones, so those are
  /// texts the page turns back into numbers.
  void number(std::size_t field, double value) {
    std::string& column = next(field);
    if (!std::isfinite(value)) {
      column += std::isnan(value) ? "\"NaN\"" : value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
      return;
    }
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.5g", value);
    appendShortest(column, std::strtod(shown, nullptr));
  }

  void integer(std::size_t field, std::int64_t value) {
    std::string& column = next(field);
    char buffer[24];
    column.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }

  void text(std::size_t field, std::string_view value) { appendJSONString(next(field), value); }

  /// The text's position in the table, the table growing by texts not seen.
  void interned(std::size_t field, const std::string& value) {
    auto [entry, isNew] = textNumbers_.try_emplace(value, static_cast<std::int64_t>(texts_.size()));
    if (isNew) texts_.push_back(&entry->first);
    integer(field, entry->second);
  }

  /// The columns as a script expression that makes them an object.
  std::string parseExpression() const {
    std::string json = "{\"kinds\":\"" + kinds_ + "\",\"texts\":[";
    for (std::size_t k = 0; k < texts_.size(); ++k) {
      if (k > 0) json += ',';
      appendJSONString(json, *texts_[k]);
    }
    json += "],\"columns\":[";
    for (std::size_t field = 0; field < columns_.size(); ++field) {
      if (field > 0) json += ',';
      json += '[';
      json += columns_[field];
      json += ']';
    }
    json += "]}";
    // The JSON holds no quote, angle bracket or line break of its own (texts
    // have theirs as \\u escapes), so only its backslashes need doubling to
    // sit in a single-quoted script string.
    std::string expression = "JSON.parse('";
    expression.reserve(json.size() + 16);
    for (const char c : json) {
      if (c == '\\') expression += '\\';
      expression += c;
    }
    expression += "')";
    return expression;
  }

 private:
  std::string& next(std::size_t field) {
    std::string& column = columns_[field];
    if (!column.empty()) column += ',';
    return column;
  }

  static void appendShortest(std::string& out, double value) {
    char buffer[32];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }

  // A JSON string that is also safe inside a script string and a script
  // element: quotes, angle brackets, ampersands, control characters and
  // the script line separators are escaped. Line feeds show as blanks.
  static void appendJSONString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      const auto code = static_cast<unsigned char>(c);
      if (c == '\n') {
        out += ' ';
      } else if (c == '\\') {
        out += "\\\\";
      } else if (code < 0x20 || c == '"' || c == '\'' || c == '<' || c == '>' || c == '&' || code == 0x7f) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
        out += escape;
      } else if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
                 (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
        out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
        i += 2;
      } else {
        out += c;
      }
    }
    out += '"';
  }

  std::string kinds_;
  std::vector<std::string> columns_;
  std::unordered_map<std::string, std::int64_t> textNumbers_;
  std::vector<const std::string*> texts_;
};

// Names of the tracer's tables, each looked up once: 100k rows name a few
// hundred phases.
class TracerNames {
 public:
  explicit TracerNames(const PerformanceTracer& tracer) : tracer_(tracer) {}

  const std::string& mapping(EPTStringMappings mapping, std::int32_t number) {
    const std::uint64_t key = static_cast<std::uint64_t>(mapping) << 32 | static_cast<std::uint32_t>(number);
    auto [entry, isNew] = mappings_.try_emplace(key);
    if (isNew && number >= 0) {
      const std::string text = tracer_.getStringForNumber(mapping, number);
      entry->second = mapping == EPT_PHASE ? ptCleanupPhaseName(text, false) : text;
    }
    return entry->second;
  }

  const std::string& identifier(const char* name, std::int32_t number) {
    std::string key = name;
    key += ':';
    key += std::to_string(number);
    auto [entry, isNew] = identifiers_.try_emplace(std::move(key));
    if (isNew && number >= 0) entry->second = tracer_.getStringForNumber(name, number);
    return entry->second;
  }

 private:
  const PerformanceTracer& tracer_;
  std::unordered_map<std::uint64_t, std::string> mappings_;
  std::unordered_map<std::string, std::string> identifiers_;
};

// Model, Target, Machine and Chart of a row into fields `first` on: mapping
// names for block-diagram and state-chart rows, the subject identifiers for
// tracer rows, empty texts for what a row does not carry.
void addSubjects(ColumnarRecords& records, std::size_t first, const PTKAVLORProcessedDataPoint& row,
                 TracerNames& names) {
  static constexpr std::array<const char*, 4> kIdentifiers{"modelStr", "targetStr", "machineStr", "chartStr"};
  static constexpr std::array<EPTStringMappings, 4> kMappings{EPT_MODEL, EPT_TARGET, EPT_MACHINE, EPT_CHART};
  std::array<std::int32_t, 4> numbers{-1, -1, -1, -1};
  const auto* tracerRow = dynamic_cast<const PTTracerProcessedDataPoint*>(&row);
  if (tracerRow != nullptr) {
    for (std::size_t k = 0; k < 4; ++k) numbers[k] = tracerRow->getIdentifierNum(kIdentifiers[k]);
  } else {
    numbers = {row.getModelID(), row.getTargetID(), row.getMachineID(), row.getChartID()};
  }
  for (std::size_t k = 0; k < 4; ++k) {
    records.interned(first + k, tracerRow != nullptr ? names.identifier(kIdentifiers[k], numbers[k])
                                                     : names.mapping(kMappings[k], numbers[k]));
  }
}

struct Columns {
  std::vector<std::string_view> lhs, rhs, deviations;
};

// The data arrays' column names of a format; the time columns keep their
// historical spellings.
Columns rowColumns(std::optional<pt::Metric> metric) {
  if (metric == pt::Metric::kTime) {
    return {{"LHS_WCSelf", "LHS_WCSelfPlusChild", "LHS_CPUSself", "LHS_CPUSelfPlusChild"},
            {"RHS_WCSelf", "RHS_WCSelfPlusChild", "RHS_CPUSelf", "RHS_CPUSelfPlusChild"},
            {"WCSelf", "WCSC", "CPUSelf", "CPUSC"}};
  }
  std::vector<std::string_view> metrics;
  if (metric == pt::Metric::kBasicMemory) metrics = {"UsageDelta", "Usage", "UsagePeakDelta", "UsagePeak"};
  if (metric == pt::Metric::kDetailedMemory) {
    metrics = {"Free",      "Reserved",      "Committed",      "Dlls",      "NonProcess",
               "FreeStart", "ReservedStart", "CommittedStart", "DllsStart", "NonProcessStart"};
  }
  return {metrics, metrics, metrics};
}

Columns aggregateColumns(std::optional<pt::Metric> metric) {
  if (metric == pt::Metric::kTime) {
    return {{"LHS_WCSelf", "LHS_WCSelfPlusChild"}, {"RHS_WCSelf", "RHS_WCSelfPlusChild"}, {"WCSelf", "WCSC"}};
  }
  Columns columns = rowColumns(metric);
  if (metric == pt::Metric::kDetailedMemory) {
    for (auto* names : {&columns.lhs, &columns.rhs, &columns.deviations}) names->resize(5);
  }
  return columns;
}

std::string columnNames(const Columns& columns, bool prefixed) {
  std::string names;
  const auto add = [&](std::string_view prefix, std::string_view name, std::string_view suffix) {
    if (!names.empty()) names += ' ';
    if (prefixed) names += prefix;
    names += name;
    names += suffix;
  };
  for (std::string_view name : columns.lhs) add("LHS_", name, "");
  for (std::string_view name : columns.rhs) add("RHS_", name, "");
  for (std::string_view name : columns.deviations) {
    for (std::string_view suffix : {"AbsDev", "RelDev", "BkgColor"}) {
      if (!names.empty()) names += ' ';
      names += name;
      names += suffix;
    }
  }
  return names;
}

// The time names are spelled out whole, the memory names get their prefixes.
std::string structNames(const Columns& columns, std::optional<pt::Metric> metric) {
  return columnNames(columns, metric != pt::Metric::kTime);
}

// The kinds of the side and deviation fields (see ColumnarRecords).
std::string sideKinds(const Columns& columns) {
  std::string kinds(columns.lhs.size(), 'l');
  kinds.append(columns.rhs.size(), 'r');
  for (std::size_t k = 0; k < columns.deviations.size(); ++k) kinds += "ddc";
  return kinds;
}

// The kind of entry as the page reads it from the match digits.
int shownMatchKind(int matchKind) { return std::clamp(matchKind, 0, 2); }

// Both sides' values from field `first` on, then the deviations of a matched
// entry; what an entry's kind lacks is not written.
template <class Comparison, class Point, class Entries>
void addSides(ColumnarRecords& records, std::size_t first, const Point* lhs, const Point* rhs, int matchKind,
              const Columns& columns, const Entries& entries, const std::string& format) {
  const auto addValues = [&](const Point* point, std::size_t from, std::size_t count) {
    const pt::MeasuredValues values = pt::measuredValues(point, pt::parseMetric(format));
    for (std::size_t k = 0; k < count; ++k) {
      records.number(from + k, point == nullptr ? -99.99 : static_cast<double>(static_cast<float>(values.values[k])));
    }
  };
  const int kind = shownMatchKind(matchKind);
  if (kind != EPT_MATCH_RHS_ONLY) addValues(lhs, first, columns.lhs.size());
  first += columns.lhs.size();
  if (kind != EPT_MATCH_LHS_ONLY) addValues(rhs, first, columns.rhs.size());
  first += columns.rhs.size();
  if (kind != EPT_MATCH_BOTH) return;
  Comparison deviations;
  calculateDeviations(lhs, rhs, deviations, format);
  for (PTMetricDeviation Comparison::*entry : entries) {
    const PTMetricDeviation& deviation = deviations.*entry;
    records.number(first++, static_cast<double>(static_cast<float>(deviation.absDev)));
    records.number(first++, static_cast<double>(static_cast<float>(deviation.relDev)));
    records.interned(first++, deviation.colourClass);
  }
}

// One digit per entry: its matchKind.
template <class Entry>
std::string matchDigits(const char* name, const std::vector<Entry>& alignment) {
  std::string digits = "        var ";
  digits += name;
  digits += " = \"";
  for (const Entry& entry : alignment) digits += static_cast<char>('0' + shownMatchKind(entry.matchKind));
  digits += "\";\n";
  return digits;
}

std::string comparisonTitle(const std::string& grouping) {
  return grouping == pt::kGlobalGrouping ? "Performance Comparison" : grouping + " Performance Comparison";
}

void addOutlineLabels(const PTProcessedDataStruct& summary, PTOutlineLabelMap& labels) {
  PTOutlineLabels outline;
  for (const auto& info : summary.diagnosticInfos) {
    if (info && info->processedPoint) labels[info->processedPoint.get()] = outline.next(*info->processedPoint);
  }
}

// The bar above the tables: the views of the compared metric and which file
// is which side.
std::string comparisonViewsHTML(bool aggregateOnly, bool charts, const std::string& lhsLabel,
                                const std::string& rhsLabel) {
  std::string links;
  if (!aggregateOnly) {
    links += " <a id=\"viewLink_phaseSummary\" href=\"javascript:ShowTable('phaseSummary')\">Phases</a>";
  }
  if (charts) links += " <a id=\"viewLink_memCanvas\" href=\"javascript:ShowTable('memCanvas')\">Charts</a>";
  return pt::report::filledTemplate(
      pt::assets::comparison_views_html(),
      {{"VIEW_LINKS", links}, {"LHS_LABEL", ptEscapeForHtml(lhsLabel)}, {"RHS_LABEL", ptEscapeForHtml(rhsLabel)}});
}

std::string comparisonHeaderBarTable() {
  return pt::report::filledTemplate(pt::assets::header_bar_table_html(),
                                    {{"TAB_BARS", generateComparisonHeaderDivs()}});
}

}  // namespace

std::string generateComparisonDataJS(const PerformanceTracer& tracer, const std::vector<PTLCSDiffStruct>& alignment,
                                     const std::string& format, const PTOutlineLabelMap* outlineLabels) {
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  const Columns columns = rowColumns(metric);
  const auto entries = pt::rowMetricEntries(metric);
  // isParent HTMLPhaseNum GapRow Phase Grouping Model Target Machine Chart
  constexpr std::size_t kFirstSide = 9;
  ColumnarRecords records("nsntttttt" + sideKinds(columns));
  TracerNames names(tracer);
  const PTKAVLORProcessedDataPoint emptyRow;
  for (const PTLCSDiffStruct& entry : alignment) {
    const PTKAVLORProcessedDataPoint* shown = entry.matchKind == EPT_MATCH_RHS_ONLY ? entry.rhsPoint : entry.lhsPoint;
    const PTKAVLORProcessedDataPoint& row = shown != nullptr ? *shown : emptyRow;
    records.integer(0, row.numChildren > 0 ? 1 : 0);
    std::string_view label;
    if (outlineLabels != nullptr && shown != nullptr) {
      if (const auto found = outlineLabels->find(shown); found != outlineLabels->end()) label = found->second;
    }
    records.text(1, label);
    records.integer(2, row.gapRow ? 1 : 0);
    records.interned(3, names.mapping(EPT_PHASE, row.phase));
    records.interned(4, names.mapping(EPT_GROUPING, row.grouping));
    addSubjects(records, 5, row, names);
    addSides<PTComparisonPoint>(records, kFirstSide, entry.lhsPoint, entry.rhsPoint, entry.matchKind, columns, entries,
                                format);
  }
  std::string js =
      "        var dataStruct = makeStruct(\"isParent HTMLPhaseNum GapRow Phase Grouping Model Target "
      "Machine Chart ";
  js += structNames(columns, metric);
  js += "\");\n        var numBlankData = 0;\n";
  js += matchDigits("procDataMatch", alignment);
  // The page opens on the aggregates, which do not need the rows: they are
  // built when a view first asks for them.
  js += "        var procData = null;\n";
  js += "        function loadProcData() {\n";
  js += "            if (procData === null) procData = recordsFromColumns(dataStruct, procDataMatch, ";
  js += records.parseExpression();
  js += ");\n            return procData;\n        }\n";
  return js;
}

std::string generateAggComparisonDataJS(const PerformanceTracer& tracer,
                                        const std::vector<PTLCSAggDiffStruct>& alignment, const std::string& format) {
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  const Columns columns = aggregateColumns(metric);
  const auto entries = pt::aggregateMetricEntries(metric);
  // IsParent Phase LHS_Count RHS_Count CountAbsDev
  constexpr std::size_t kFirstSide = 5;
  ColumnarRecords records("ntnnn" + sideKinds(columns));
  TracerNames names(tracer);
  for (const PTLCSAggDiffStruct& entry : alignment) {
    const PTAggregateDataPoint* shown = entry.matchKind == EPT_MATCH_RHS_ONLY ? entry.rhsAggregate : entry.lhsAggregate;
    const bool hasLhs = entry.matchKind != EPT_MATCH_RHS_ONLY && entry.lhsAggregate != nullptr;
    const bool hasRhs = entry.matchKind != EPT_MATCH_LHS_ONLY && entry.rhsAggregate != nullptr;
    // A recording without the phase ran it no times.
    const std::int64_t lhsCount = hasLhs ? entry.lhsAggregate->count : 0;
    const std::int64_t rhsCount = hasRhs ? entry.rhsAggregate->count : 0;
    records.integer(0, shown != nullptr && shown->isParent ? 1 : 0);
    records.interned(1, names.mapping(EPT_PHASE, shown != nullptr ? shown->phaseID : -1));
    records.integer(2, lhsCount);
    records.integer(3, rhsCount);
    records.integer(4, rhsCount - lhsCount);
    addSides<PTAggComparisonPoint>(records, kFirstSide, entry.lhsAggregate, entry.rhsAggregate, entry.matchKind,
                                   columns, entries, format);
  }
  std::string js =
      "        var aggDataView = new Array();\n"
      "        aggDataView['Index'] = new Array();\n"
      "        var aggSortInfo = new Array();\n"
      "        var aggDataViewCreated = false;\n"
      "        var ctDataViewCreated  = false;\n"
      "        var numRows = new Array();\n"
      "        numRows['Aggregate'] = 0;\n"
      "        numRows['CallTree']  = 0;\n"
      "        numRows['Detail']    = 0;\n"
      "        aggSortInfo['Col'] = '';\n"
      "        aggSortInfo['Asc'] = false;\n"
      "        var aggDataStruct = makeStruct(\"IsParent Phase LHS_Count RHS_Count CountAbsDev ";
  js += structNames(columns, metric);
  js += "\");\n";
  js += matchDigits("aggDataMatch", alignment);
  js += "        var aggData = recordsFromColumns(aggDataStruct, aggDataMatch, ";
  js += records.parseExpression();
  js += ");\n\n";
  return js;
}

std::string generateComparisonHeaderDivs() {
  static constexpr std::array<pt::report::PageTab, 4> kTabs{{{"Time", "time", "timeHeader"},
                                                             {"Basic Mem", "basicMemory", "basicMemoryHeader"},
                                                             {"Detailed Mem", "detailedMemory", "detailedMemoryHeader"},
                                                             {"System Info", "systemInfo", "sysInfoHeader"}}};
  return pt::report::tabBarDivs(kTabs, kTabs[0].key);
}

std::string generateComparisonSystemInfoTable(const PTSystemInfoStruct* lhs, const PTSystemInfoStruct* rhs) {
  const auto details = [](const PTSystemInfoStruct* info) {
    if (info == nullptr) return std::string();
    return ptEscapeForHtml(info->operatingSystemStr + "\n" + info->installedProductsStr);
  };
  return pt::report::filledTemplate(pt::assets::comparison_system_info_table_html(),
                                    {{"LHS_HARDWARE", getHardwareInfoHTML(lhs)},
                                     {"RHS_HARDWARE", getHardwareInfoHTML(rhs)},
                                     {"LHS_PRODUCTS", details(lhs)},
                                     {"RHS_PRODUCTS", details(rhs)}});
}

std::string getComparisonHTMLReportBarCSS() {
  return "            table.comparisonBarGraph { height: 20px; width: 100%; text-align: center; "
         "border: 1px solid black; border-collapse: collapse; }\n"
         "            table.comparisonBarGraph td { height: 20px; padding: 0; }\n";
}

std::string generateDiffMemChartDivs(bool hasDetailedMemStats) {
  return std::string(hasDetailedMemStats ? pt::assets::comparison_memory_chart_html()
                                         : pt::assets::comparison_memory_chart_missing_html());
}

std::string generateDiffMemChartsJS(bool hasDetailedMemStats) {
  if (!hasDetailedMemStats) return scriptBlock("        function renderMemChart() {}\n");
  return scriptBlock(pt::assets::comparison_memory_chart_js());
}

// Both pages share one road; the aggregate page leaves out the Phases view,
// its data and its script. As with the phase report, the file is replaced only
// once every piece is written.
bool pt::detail::writeComparisonPage(PerformanceTracer& tracer, ComparisonPageKind kind, const std::string& htmlFile,
                                     const std::string& grouping, const std::string& lhsLabel,
                                     const std::string& rhsLabel, PTRawDataVector* lhsRaw, PTRawDataVector* rhsRaw,
                                     const PTSystemInfoStruct* lhsSystemInfo, const PTSystemInfoStruct* rhsSystemInfo,
                                     const std::string& format) {
  const bool aggregateOnly = kind == ComparisonPageKind::kAggregates;
  platform::ReplacingFile file(htmlFile, tracer.fileCalls());
  if (!file.isOpen()) return false;
  bool written = true;
  auto write = [&file, &written](const std::string& piece) { written = file.write(piece) && written; };

  const PTProcessedDataStruct lhs = tracer.getProcessedData(lhsRaw, {grouping}, false);
  if (lhs.hasErrors) return file.commit();
  const PTProcessedDataStruct rhs = tracer.getProcessedData(rhsRaw, {grouping}, false);
  if (rhs.hasErrors) return file.commit();
  const bool hasDetailedMemStats = lhs.hasDetailedMemStats && rhs.hasDetailedMemStats;
  const std::optional<pt::Metric> metric = pt::parseMetric(format);
  if (metric == pt::Metric::kDetailedMemory && !hasDetailedMemStats) {
    write(std::string(pt::assets::comparison_missing_detailed_memstats_page_html()));
    return written && file.commit();
  }
  const PTAggregateDataMap lhsAggregates = getAggregateData(tracer, lhs.diagnosticInfos);
  const PTAggregateDataMap rhsAggregates = getAggregateData(tracer, rhs.diagnosticInfos);
  const std::vector<PTLCSAggDiffStruct> aggregateAlignment =
      generateAggLCSDiffInfo(tracer, lhsAggregates, rhsAggregates);
  std::vector<PTLCSDiffStruct> alignment;
  PTOutlineLabelMap labels;
  if (!aggregateOnly) {
    alignment = generateLCSDiffInfo(tracer, lhs.diagnosticInfos, rhs.diagnosticInfos);
    addOutlineLabels(lhs, labels);
    addOutlineLabels(rhs, labels);
  }

  write(generateCommonHTMLFileHeader());
  write(generateHeadAndCSSString(std::max(lhs.numLevels, rhs.numLevels), comparisonTitle(grouping), true));
  write(
      "    <body onresize=\"onResizeAction()\" onmousemove=\"dialogMove(event)\" "
      "onload=\"ShowTable('aggregateSummary'); onResizeAction();\">\n");
  write("        <div align=\"center\">\n");
  write(comparisonHeaderBarTable());
  const bool charts = metric == pt::Metric::kDetailedMemory && !aggregateOnly;
  write(comparisonViewsHTML(aggregateOnly, charts, lhsLabel, rhsLabel));
  if (!aggregateOnly) write(writePhaseSummaryHTML(format, true));
  write(writeAggregateSummaryHTML());
  write(generateComparisonSystemInfoTable(lhsSystemInfo, rhsSystemInfo));
  write("        </div>\n");
  write(generateJavaScript(format, true, true, aggregateOnly));
  write(generateFakeDataTableDiv(true, aggregateOnly));
  write("    </body>\n</html>\n");

  write(generateQSortJS());
  write(generateCommonJSVarsAndFunctions(format, true, lhsLabel, rhsLabel, aggregateOnly));
  if (!aggregateOnly) write(scriptBlock(generateComparisonDataJS(tracer, alignment, format, &labels)));
  write(writeAggregateSummaryJS(format, true, aggregateOnly));
  if (!aggregateOnly) write(writePhaseSummaryJS(format, true));
  write("    <script type=\"text/javascript\">\n");
  write(generatePhaseDataArrayJS(tracer));
  write(generateAggComparisonDataJS(tracer, aggregateAlignment, format));
  write("    </script>\n");
  if (charts) {
    write(generateDiffMemChartDivs(hasDetailedMemStats));
    write(generateDiffMemChartsJS(hasDetailedMemStats));
  }
  return written && file.commit();
}
