// The cells of the diagnostic report: the point members that render one raw
// point, and the renderer behind them that the report reuses for every row.
#include "analysis/diagnostic_info.h"
#include "report/phase/diagnostic_report.h"
#include "report/phase/html_escape.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <charconv>

namespace {

constexpr std::string_view kCellOpen = "                <td>";
constexpr std::string_view kCellClose = "</td>\n";
// Name texts are cached by number below this; numbers are handed out densely
// from 0, so only a damaged point would exceed it.
constexpr std::int32_t kCachedNumbers = 1 << 20;

enum class PointClass { kBase, kBlockDiagram, kStateChart, kTracer };

// By class, not by the stored kind, which a record may give as anything.
PointClass classOf(const PTKAVLORDataPoint& point) {
  // Tracer points first: every logging function records them.
  if (dynamic_cast<const PTTracerDataPoint*>(&point) != nullptr) return PointClass::kTracer;
  if (dynamic_cast<const PTQuorindelDataPoint*>(&point) != nullptr) return PointClass::kStateChart;
  if (dynamic_cast<const PTCLTGXDataPoint*>(&point) != nullptr) return PointClass::kBlockDiagram;
  return PointClass::kBase;
}

std::string_view typeText(PointClass kind) {
  switch (kind) {
    case PointClass::kBlockDiagram: return "Calvoran";
    case PointClass::kStateChart: return "Quorindel";
    case PointClass::kTracer: return "Tracer";
    case PointClass::kBase: break;
  }
  return "KAVLOR";
}

// Like printf's %.<digits>g, without its locale and format-string cost.
void number(std::string& out, double value, int digits) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  out.append(text, result.ptr);
}

void textCell(std::string& out, std::string_view text) {
  out += kCellOpen;
  out += text;
  out += kCellClose;
}

template <class Cells>
std::string oneCell(Cells&& append) {
  std::string out;
  append(out);
  return out;
}

}  // namespace

namespace pt::detail {

std::string diagnosticCellText(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool control = (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f;
    if (!control && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'') continue;
    escaped += ptEscapeForHtml(text.substr(plain, i - plain + (control ? 0 : 1)));
    if (control) {
      // The Control Pictures block: U+2400 + code, U+2421 for DEL.
      char hex[8];
      const auto result = std::to_chars(hex, hex + sizeof hex, c == 0x7f ? 0x2421 : 0x2400 + c, 16);
      escaped += "&#x";
      escaped.append(hex, result.ptr);
      escaped += ';';
    }
    plain = i + 1;
  }
  escaped += ptEscapeForHtml(text.substr(plain));
  return escaped;
}

DiagnosticCells::DiagnosticCells(const PerformanceTracer& tracer)
    : tracer_(tracer), mappingTexts_(kStringMappingCount) {
  for (const auto& entry : tracer.identifierRawEnum().entries().right) columns_.push_back(entry.second);
  identifierTexts_.resize(columns_.size());
}

template <class TextOf>
void DiagnosticCells::cell(std::string& out, TextCache& cache, std::int32_t number, TextOf&& textOf) {
  out += kCellOpen;
  if (number < 0 || number >= kCachedNumbers) {
    out += diagnosticCellText(textOf(number));
  } else {
    const auto index = static_cast<std::size_t>(number);
    if (index >= cache.size()) cache.resize(index + 1);
    if (!cache[index]) cache[index] = diagnosticCellText(textOf(number));
    out += *cache[index];
  }
  out += kCellClose;
}

void DiagnosticCells::rowStart(std::string& out, bool isError) {
  out += isError ? "            <tr style=\"background:#FF1A00\">\n" : "            <tr>\n";
}

void DiagnosticCells::rowEnd(std::string& out) { out += "            </tr>\n"; }

void DiagnosticCells::type(std::string& out, const PTKAVLORDataPoint& point) {
  textCell(out, typeText(classOf(point)));
}

void DiagnosticCells::grouping(std::string& out, const PTKAVLORDataPoint& point) {
  mapped(out, EPT_GROUPING, point.grouping);
}

void DiagnosticCells::phase(std::string& out, const PTKAVLORDataPoint& point) {
  cell(out, phaseTexts_, point.phase, [this](std::int32_t number) {
    return ptCleanupPhaseName(tracer_.getStringForNumber(EPT_PHASE, number), false);
  });
}

void DiagnosticCells::isStart(std::string& out, const PTKAVLORDataPoint& point) {
  textCell(out, point.isStart ? "Start" : "End");
}

void DiagnosticCells::empty(std::string& out) { out += "                <td>&nbsp;</td>\n"; }

void DiagnosticCells::data(std::string& out, const PTKAVLORDataPoint& point) {
  constexpr std::string_view kNumberClose = "                </td>\n";
  for (const double seconds : {point.wallClockTime, point.cpuTime}) {
    out += kCellOpen;
    number(out, seconds, 2);
    out += kNumberClose;
  }
  const pt::DetailedMemStats* memory = point.detailedMemStats.get();
  if (memory == nullptr) {
    for (int i = 0; i < 5; ++i) textCell(out, "0.0");
    return;
  }
  for (const double bytes :
       {memory->freeMem, memory->commitMem, memory->resMem, memory->dllsMem, memory->nonprocessMem}) {
    out += kCellOpen;
    number(out, bytes, 5);
    out += kNumberClose;
  }
}

void DiagnosticCells::mapped(std::string& out, EPTStringMappings mapping, std::int32_t number) {
  if (!isStringMapping(mapping)) return textCell(out, "");
  cell(out, mappingTexts_[static_cast<std::size_t>(mapping)], number,
       [this, mapping](std::int32_t n) { return tracer_.getStringForNumber(mapping, n); });
}

void DiagnosticCells::identifierColumn(std::string& out, std::size_t column, std::int32_t number) {
  cell(out, identifierTexts_[column], number,
       [this, column](std::int32_t n) { return tracer_.getStringForNumber(columns_[column].str(), n); });
}

void DiagnosticCells::identifier(std::string& out, const std::string& name, std::int32_t number) {
  for (std::size_t column = 0; column < columns_.size(); ++column) {
    if (columns_[column].str() == name) return identifierColumn(out, column, number);
  }
  textCell(out, diagnosticCellText(tracer_.getStringForNumber(name, number)));
}

void DiagnosticCells::row(std::string& out, const PTKAVLORDataPoint& point, PTDataPointType reportType, bool isError) {
  const PointClass kind = classOf(point);
  if (kind == PointClass::kStateChart && reportType != PT_QD) return;
  if (kind == PointClass::kTracer && reportType != PT_TRACER) return;
  rowStart(out, isError);
  textCell(out, typeText(kind));
  grouping(out, point);
  switch (kind) {
    case PointClass::kBase: {
      // Kind 0 has identifier columns too (the header names every identifier),
      // so its rows fill them to keep the table's columns aligned.
      const std::size_t blanks = reportType == PT_CLTGX ? 2 : reportType == PT_QD ? 4 : columns_.size();
      for (std::size_t i = 0; i < blanks; ++i) empty(out);
      break;
    }
    case PointClass::kBlockDiagram: {
      const auto& subject = static_cast<const PTCLTGXDataPoint&>(point);
      mapped(out, EPT_MODEL, subject.model);
      mapped(out, EPT_TARGET, subject.target);
      if (reportType == PT_QD) {
        empty(out);
        empty(out);
      }
      break;
    }
    case PointClass::kStateChart: {
      const auto& subject = static_cast<const PTQuorindelDataPoint&>(point);
      mapped(out, EPT_MODEL, subject.model);
      mapped(out, EPT_TARGET, subject.target);
      mapped(out, EPT_MACHINE, subject.machine);
      mapped(out, EPT_CHART, subject.chart);
      break;
    }
    case PointClass::kTracer: {
      const auto& subject = static_cast<const PTTracerDataPoint&>(point);
      for (std::size_t column = 0; column < columns_.size(); ++column) {
        const auto value = subject.identifiers.find(columns_[column]);
        if (value == subject.identifiers.end() || value->second == -1) {
          empty(out);
        } else {
          identifierColumn(out, column, value->second);
        }
      }
      break;
    }
  }
  phase(out, point);
  isStart(out, point);
  data(out, point);
  rowEnd(out);
}

}  // namespace pt::detail

using pt::detail::DiagnosticCells;

std::string PTKAVLORDataPoint::getDiagnosticHTMLString(PTDataPointType reportType,
                                                       const boost::shared_ptr<PTDiagnosticInfo>& info,
                                                       const PerformanceTracer& tables) const {
  const bool isError = info && info->processedPoint && info->processedPoint->errorRow;
  return oneCell([&](std::string& out) { DiagnosticCells(tables).row(out, *this, reportType, isError); });
}

std::string PTKAVLORDataPoint::getRowStartHTMLCellString(bool isError) const {
  return oneCell([&](std::string& out) { DiagnosticCells::rowStart(out, isError); });
}

std::string PTKAVLORDataPoint::getRowEndHTMLCellString() const { return oneCell(DiagnosticCells::rowEnd); }

std::string PTKAVLORDataPoint::getTypeHTMLCellString() const {
  return oneCell([](std::string& out) { textCell(out, typeText(PointClass::kBase)); });
}

std::string PTCLTGXDataPoint::getTypeHTMLCellString() const {
  return oneCell([](std::string& out) { textCell(out, typeText(PointClass::kBlockDiagram)); });
}

std::string PTQuorindelDataPoint::getTypeHTMLCellString() const {
  return oneCell([](std::string& out) { textCell(out, typeText(PointClass::kStateChart)); });
}

std::string PTTracerDataPoint::getTypeHTMLCellString() const {
  return oneCell([](std::string& out) { textCell(out, typeText(PointClass::kTracer)); });
}

std::string PTKAVLORDataPoint::getGroupingHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).grouping(out, *this); });
}

std::string PTKAVLORDataPoint::getPhaseHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).phase(out, *this); });
}

std::string PTKAVLORDataPoint::getIsStartHTMLCellString() const {
  return oneCell([this](std::string& out) { DiagnosticCells::isStart(out, *this); });
}

std::string PTKAVLORDataPoint::getEmptyHTMLCellString() const { return oneCell(DiagnosticCells::empty); }

std::string PTKAVLORDataPoint::getDataHTMLCellString() const {
  return oneCell([this](std::string& out) { DiagnosticCells::data(out, *this); });
}

std::string PTCLTGXDataPoint::getModelHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).mapped(out, EPT_MODEL, model); });
}

std::string PTCLTGXDataPoint::getTargetHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).mapped(out, EPT_TARGET, target); });
}

std::string PTQuorindelDataPoint::getMachineHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).mapped(out, EPT_MACHINE, machine); });
}

std::string PTQuorindelDataPoint::getChartHTMLCellString(const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).mapped(out, EPT_CHART, chart); });
}

std::string PTTracerDataPoint::getIdentifiersHTMLCellString(const std::string& identifier, int number,
                                                            const PerformanceTracer& tables) const {
  return oneCell([&](std::string& out) { DiagnosticCells(tables).identifier(out, identifier, number); });
}
