#include "report/phase/diagnostic_report.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_data.h"
#include "report/phase/page_frame.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_logging.h"
#include "tracer/text_utils.h"

#include "pt_assets_assets.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using ReportFile = std::unique_ptr<std::FILE, FileCloser>;

// Rows are written in pieces of about this size, so a page of a million rows
// is never held in memory as a whole.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;

std::string replaced(std::string_view text, std::string_view marker, std::string_view value) {
  std::string result(text);
  for (std::size_t at = result.find(marker); at != std::string::npos; at = result.find(marker, at + value.size())) {
    result.replace(at, marker.size(), value);
  }
  return result;
}

// A file name as a relative URL: every byte outside the unreserved characters
// and "/" is percent-encoded, so "#", "?", "%" and quotes stay part of the name.
std::string hrefOf(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string href;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      href += c;
    } else {
      href += '%';
      href += kHex[byte >> 4];
      href += kHex[byte & 0xF];
    }
  }
  return href;
}

void headerCell(std::string& out, std::string_view text) {
  out += "                <th>";
  out += text;
  out += "</th>\n";
}

}  // namespace

std::string generateInstrumentationErrorPage(std::string_view diagnosticReportHref) {
  std::string page = generateInstrumentationErrorPage();
  const std::string link = replaced(
      replaced(pt::assets::error_page_diagnostic_link_html(), "@HREF@", hrefOf(diagnosticReportHref)), "@NAME@",
      pt::detail::diagnosticCellText(diagnosticReportHref));
  page.insert(page.rfind("    </body>"), link);
  return page;
}

bool pt::writeInstrumentationErrorPage(const std::string& fileName, std::string_view diagnosticReportHref) {
  ReportFile file(ptCreateReportFile(fileName));
  if (!file) return false;
  ptWriteUStringToFile(file.get(), generateInstrumentationErrorPage(diagnosticReportHref));
  return true;
}

std::string PerformanceTracer::generateDiagnosticHeaderForReportType(PTDataPointType reportType) const {
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
    for (const auto& entry : identifierRawEnum().entries().right) {
      headerCell(header, pt::detail::diagnosticCellText(entry.second));
    }
  }
  for (const char* title : {"Phase Name", "isPhaseStart", "WC Time", "CPU Time", "Free", "Committed", "Reserved",
                            "DLLs", "Non-process"}) {
    headerCell(header, title);
  }
  header += "            </tr>\n";
  return header;
}

bool PerformanceTracer::diagnosticReport(const std::string& fileName, const std::string& grouping,
                                         PTRawDataVector* rawData) {
  ReportFile file(ptCreateReportFile(fileName));
  if (!file) return false;
  // Without a caller's vector, the recorded points themselves are shown; the
  // gap points the pairing makes go into a vector of our own.
  PTRawDataVector recorded;
  if (rawData == nullptr) {
    processRecorderDataToRawData();
    if (rawDataVector_) recorded = *rawDataVector_;
    rawData = &recorded;
  }
  const PTDataPointType reportType = getDiagnosticReportType(rawData, grouping);
  PTDiagnosticMap rowsByPoint;
  PTProcessedDataStruct summary;
  generateDiagnosticInfo(rawData, grouping, rowsByPoint, summary);
  getIdentifierRawEnum();  // numbers every identifier a point may carry: each gets a column
  pt::detail::DiagnosticCells cells(*this);

  std::string page = replaced(pt::assets::diagnostic_report_head_html(), "@GROUPING@",
                              pt::detail::diagnosticCellText(grouping));
  page += generateDiagnosticHeaderForReportType(reportType);
  page.reserve(kWriteChunk + 4096);
  for (const boost::shared_ptr<PTKAVLORDataPoint>& point : *rawData) {
    const auto row = point ? rowsByPoint.find(point) : rowsByPoint.end();
    // Points of other groupings have no row; gap points are the pairing's own.
    if (row == rowsByPoint.end() || row->second->processedPoint->gapRow) continue;
    cells.row(page, *point, reportType, row->second->processedPoint->errorRow);
    if (page.size() >= kWriteChunk) {
      ptWriteUStringToFile(file.get(), page);
      page.clear();
    }
  }
  page += pt::assets::diagnostic_report_tail_html();
  ptWriteUStringToFile(file.get(), page);
  return true;
}
