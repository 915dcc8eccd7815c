#include "report/phase/diagnostic_report.h"

#include "report/phase/page_parts.h"
#include "report/phase/phase_page.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_logging.h"
#include "tracer/text_utils.h"

#include "pt_assets_assets.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using ReportFile = std::unique_ptr<std::FILE, FileCloser>;

// Rows are written in pieces of about this size, so a page of a million rows
// is never held in memory as a whole.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

// A file name as a relative URL: every byte outside the unreserved characters
// and "/" is percent-encoded, so "#", "?", "%" and quotes stay part of the name.
std::string hrefOf(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string href;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == '/') {
      href += c;
    } else {
      href += '%';
      href += kHex[byte >> 4];
      href += kHex[byte & 0xF];
    }
  }
  return href;
}

enum class RowMark : std::uint8_t { kNone, kPaired, kError };

// How each point shows: not at all (another grouping's, or a gap point), or
// on the row of its phase, red when that row is an error row. These are the
// pairing's rules, followed without building its rows: a start and the end
// that closes it share a row; an end with nothing open has an error row of its
// own; an end that does not match the innermost open start marks that start's
// row as an error, shares it, and leaves the start open; a start still open at
// the end is an error row. Gap pairs the pairing would insert open and close
// inside one gap, so they change no mark and are not inserted at all.
std::vector<RowMark> markRows(PerformanceTracer& tracer, const PTRawDataVector& points, const std::string& grouping) {
  const auto lookUp = [&tracer](EPTStringMappings mapping, const std::string& name) {
    const StringNumberMapping* table = tracer.getMappingByType(mapping);
    return table == nullptr ? -1 : table->getNumber(name);
  };
  const bool isGlobal = grouping == pt::kGlobalGrouping;
  const std::int32_t groupingNumber = lookUp(EPT_GROUPING, grouping);
  const std::int32_t unaccounted = lookUp(EPT_PHASE, pt::kUnaccountedPhase);
  std::vector<RowMark> marks(points.size(), RowMark::kNone);
  std::vector<std::size_t> open;  // innermost last
  for (std::size_t index = 0; index < points.size(); ++index) {
    const boost::shared_ptr<PTKAVLORDataPoint>& point = points[index];
    if (!point || !(isGlobal || (groupingNumber != -1 && point->grouping == groupingNumber) ||
                    (unaccounted != -1 && point->phase == unaccounted))) {
      continue;
    }
    if (point->isStart) {
      open.push_back(index);
      marks[index] = RowMark::kPaired;
    } else if (open.empty()) {
      marks[index] = RowMark::kError;
    } else if (points[open.back()]->matchPoint(point)) {
      marks[index] = marks[open.back()];  // final: nothing marks a closed row
      open.pop_back();
    } else {
      marks[open.back()] = RowMark::kError;
      marks[index] = RowMark::kError;
    }
  }
  for (const std::size_t index : open) marks[index] = RowMark::kError;
  // Gap points of an earlier analysis took part like any point, but are not shown.
  for (std::size_t index = 0; index < points.size(); ++index) {
    if (points[index] && points[index]->isGapPoint) marks[index] = RowMark::kNone;
  }
  return marks;
}

void headerCell(std::string& out, std::string_view text) {
  out += "                <th>";
  out += text;
  out += "</th>\n";
}

}  // namespace

std::string generateInstrumentationErrorPage(std::string_view diagnosticReportHref) {
  std::string page = generateInstrumentationErrorPage();
  const std::string link = pt::report::filledTemplate(
      pt::assets::error_page_diagnostic_link_html(),
      {{"HREF", hrefOf(diagnosticReportHref)}, {"NAME", pt::detail::diagnosticCellText(diagnosticReportHref)}});
  page.insert(page.rfind("    </body>"), link);
  return page;
}

bool pt::writeInstrumentationErrorPage(const std::string& fileName, std::string_view diagnosticReportHref) {
  ReportFile file(ptCreateReportFile(fileName));
  if (!file) return false;
  ptWriteUStringToFile(file.get(), generateInstrumentationErrorPage(diagnosticReportHref));
  return true;
}

std::string generateDiagnosticHeaderForReportType(const PerformanceTracer& tracer, PTDataPointType reportType) {
  std::string header = "            <tr>\n";
  headerCell(header, "Point Type");
  headerCell(header, "Grouping");
  if (reportType == PT_CLTGX || reportType == PT_QD) {
    headerCell(header, "Model");
    headerCell(header, "Target");
  }
  if (reportType == PT_QD) {
    headerCell(header, "Machine");
    headerCell(header, "Chart");
  }
  if (reportType == PT_KAVLOR || reportType == PT_TRACER) {
    for (const auto& entry : tracer.identifierRawEnum().entries().right) {
      headerCell(header, pt::detail::diagnosticCellText(entry.second));
    }
  }
  for (const char* title :
       {"Phase Name", "isPhaseStart", "WC Time", "CPU Time", "Free", "Committed", "Reserved", "DLLs", "Non-process"}) {
    headerCell(header, title);
  }
  header += "            </tr>\n";
  return header;
}

bool pt::detail::writeDiagnosticReport(PerformanceTracer& tracer, const std::string& fileName,
                                       const std::string& grouping, const PTRawDataVector* rawData) {
  ReportFile file(ptCreateReportFile(fileName));
  if (!file) return false;
  const PTRawDataVector* points = rawData;
  if (points == nullptr) {
    tracer.processRecorderDataToRawData();
    points = tracer.rawDataVector();
  }
  const PTRawDataVector none;
  if (points == nullptr) points = &none;
  const PTDataPointType reportType = tracer.getDiagnosticReportType(points, grouping);
  const std::vector<RowMark> marks = markRows(tracer, *points, grouping);
  tracer.getIdentifierRawEnum();  // numbers every identifier a point may carry: each gets a column
  DiagnosticCells cells(tracer);

  std::string page = pt::report::filledTemplate(pt::assets::diagnostic_report_head_html(),
                                                {{"GROUPING", pt::detail::diagnosticCellText(grouping)}});
  page += generateDiagnosticHeaderForReportType(tracer, reportType);
  page.reserve(kWriteChunk + 4096);
  for (std::size_t index = 0; index < points->size(); ++index) {
    if (marks[index] == RowMark::kNone) continue;
    cells.row(page, *(*points)[index], reportType, marks[index] == RowMark::kError);
    if (page.size() >= kWriteChunk) {
      ptWriteUStringToFile(file.get(), page);
      page.clear();
    }
  }
  page += pt::assets::diagnostic_report_tail_html();
  ptWriteUStringToFile(file.get(), page);
  return true;
}
