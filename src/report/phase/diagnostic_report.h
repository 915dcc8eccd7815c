// Diagnostic report: every raw point of one grouping as one table row, in
// logging order, with the rows that could not be paired on red — the page a
// user reads to find which start or end of an instrumented tool is wrong.
//
//   tracer.diagnosticReport("run-diagnostic.html", "GLOBAL", &points);
//   pt::writeInstrumentationErrorPage("run.html", "run-diagnostic.html");
#pragma once

#include "tracer/data_points.h"
#include "tracer/identifier_map.h"
#include "tracer/string_mappings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PerformanceTracer;

/// The error page of a trace that cannot be paired, followed by a link to its
/// diagnostic report, `diagnosticReportHref` relative to the page.
std::string generateInstrumentationErrorPage(std::string_view diagnosticReportHref);

/// The header row for the report kind (a PTDataPointType): the subject
/// columns of that kind, `tracer`'s identifier enumeration's names for kinds
/// 0 and 3.
std::string generateDiagnosticHeaderForReportType(const PerformanceTracer& tracer, PTDataPointType reportType);

namespace pt {

/// Writes the page above into `fileName`; false when the file cannot be created.
bool writeInstrumentationErrorPage(const std::string& fileName, std::string_view diagnosticReportHref);

}  // namespace pt

namespace pt::detail {

/// Writes the diagnostic report of the grouping ("GLOBAL": all) of the points
/// (the tracer's recorded ones, after converting recorded events, for null);
/// false only when the file cannot be created.
bool writeDiagnosticReport(PerformanceTracer& tracer, const std::string& fileName, const std::string& grouping,
                           const PTRawDataVector* rawData);

/// Appends the diagnostic cells of points whose names are numbers of
/// `tracer`'s tables. Escaped name texts are kept per number, since a trace
/// has millions of points but few distinct names.
class DiagnosticCells {
 public:
  /// Identifier columns follow `tracer`'s identifier enumeration as it is now.
  explicit DiagnosticCells(const PerformanceTracer& tracer);

  /// The row of `point` in a report of `reportType`; nothing when its class
  /// has no row there.
  void row(std::string& out, const PTKAVLORDataPoint& point, PTDataPointType reportType, bool isError);

  static void rowStart(std::string& out, bool isError);
  static void rowEnd(std::string& out);
  static void type(std::string& out, const PTKAVLORDataPoint& point);
  void grouping(std::string& out, const PTKAVLORDataPoint& point);
  void phase(std::string& out, const PTKAVLORDataPoint& point);
  static void isStart(std::string& out, const PTKAVLORDataPoint& point);
  static void empty(std::string& out);
  static void data(std::string& out, const PTKAVLORDataPoint& point);
  /// The text of `number` in the mapping.
  void mapped(std::string& out, EPTStringMappings mapping, std::int32_t number);
  /// The text of `number` in the identifier's value table.
  void identifier(std::string& out, const std::string& name, std::int32_t number);

 private:
  using TextCache = std::vector<std::optional<std::string>>;
  template <class TextOf>
  void cell(std::string& out, TextCache& cache, std::int32_t number, TextOf&& textOf);
  void identifierColumn(std::string& out, std::size_t column, std::int32_t number);

  const PerformanceTracer& tracer_;
  std::vector<IdentifierName> columns_;  ///< identifier columns, in enumeration order
  std::vector<TextCache> mappingTexts_;
  TextCache phaseTexts_;
  std::vector<TextCache> identifierTexts_;  ///< by column
};

/// A name as the character data of a cell: markup characters become
/// references, and control characters their visible pictures (a NUL would
/// otherwise end the text written to the file).
std::string diagnosticCellText(std::string_view text);

}  // namespace pt::detail
