#include "bindings/report_methods.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "analysis/metric.h"
#include "bindings/argument_checks.h"
#include "host/cell_records.h"
#include "host/trace_data_file.h"
#include "platform/host_messages.h"
#include "report/model/model_diff_report.h"
#include "report/model/model_report.h"
#include "tracer/fixed_texts.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

namespace pt::bindings::methods {
namespace {

constexpr char kStartupGrouping[] = "Calvoran Startup";
constexpr char kExpectedHtmlFile[] = "'htmlfile' must be set";
constexpr char kExpectedComparisonFiles[] = "'htmlfile' and one of 'lhsfile' or 'rhsfile' to be set.";

void invalidNames() { haErrorMsgIdAndTxt("InvalidNames"); }

void checkMetric(const haArray* value) {
  const std::string metric = toLowerCase(ptCreateStringFrom_haArray(value));
  if (!pt::parseMetric(metric)) {
    haErrorMsgIdAndTxt("InvalidMetric", pt::metricText(pt::Metric::kTime), pt::metricText(pt::Metric::kBasicMemory),
                       pt::metricText(pt::Metric::kDetailedMemory));
  }
}

void checkFormat(const haArray* value) {
  const std::string format = toLowerCase(ptCreateStringFrom_haArray(value));
  if (format != "phasebased" && format != "modelbased") haErrorMsgIdAndTxt("InvalidFormat", "ModelBased", "PhaseBased");
}

constexpr NamedParameter kHtmlFile{"htmlfile", ValueKind::kText};
constexpr NamedParameter kGrouping{"grouping", ValueKind::kText};
constexpr NamedParameter kKvdFile{"kvdfile", ValueKind::kText};
constexpr NamedParameter kShowMeta{"showmeta", ValueKind::kLogical};
constexpr NamedParameter kMetric{"metric", ValueKind::kText, checkMetric};
constexpr NamedParameter kFormat{"format", ValueKind::kText, checkFormat};
constexpr NamedParameter kIncludeFlameGraph{"includeflamegraph", ValueKind::kLogical};
constexpr NamedParameter kLhsFile{"lhsfile", ValueKind::kText};
constexpr NamedParameter kRhsFile{"rhsfile", ValueKind::kText};
constexpr NamedParameter kLhsLabel{"lhslabel", ValueKind::kText};
constexpr NamedParameter kRhsLabel{"rhslabel", ValueKind::kText};

// Counts, evenness and the pairs, in that order.
NameValueArguments reportArguments(int nInputs, const haArray* const inputs[], int minimum, int maximum,
                                   std::span<const NamedParameter> known) {
  checkInputCount(nInputs, minimum, maximum);
  checkEvenInputCount(nInputs);
  return NameValueArguments(nInputs, inputs, known, invalidNames);
}

std::string metricOf(const NameValueArguments& pairs) { return toLowerCase(pairs.text("metric", "time")); }

bool flagOf(const NameValueArguments& pairs, std::string_view name, bool fallback) {
  const haArray* value = pairs.find(name);
  return value ? haIsLogicalScalarTrue(value) : fallback;
}

bool modelBased(const NameValueArguments& pairs) {
  return toLowerCase(pairs.text("format", "phasebased")) == "modelbased";
}

// Every input as text, in call order, as the model-based page lists them.
std::vector<std::string> argumentTexts(int nInputs, const haArray* const inputs[]) {
  std::vector<std::string> texts;
  for (int i = 0; i < nInputs; ++i) {
    if (haIsCharVector(inputs[i])) {
      texts.push_back(ptCreateStringFrom_haArray(inputs[i]));
    } else if (haIsLogicalScalar(inputs[i])) {
      texts.push_back(haIsLogicalScalarTrue(inputs[i]) ? "true" : "false");
    } else {
      texts.emplace_back();
    }
  }
  return texts;
}

// Writing the report over a trace it reads would destroy the recording.
void refuseToOverwrite(const std::string& htmlFile, const std::string& traceFile) {
  std::error_code error;
  if (!traceFile.empty() && std::filesystem::equivalent(htmlFile, traceFile, error))
    haErrorMsgIdAndTxt("WriteFileFailed", htmlFile);
}

// Reading a file may move the tracer's current root; the host's root is put back.
class HostRootKept {
 public:
  explicit HostRootKept(bool restore) : restore_(restore) {}
  ~HostRootKept() {
    if (restore_) ptSetCurrentKAVLORRoot(root_);
  }
  HostRootKept(const HostRootKept&) = delete;
  HostRootKept& operator=(const HostRootKept&) = delete;

 private:
  std::string root_ = ptGetKAVLORRoot();
  bool restore_;
};

// The raw data of one side of a report: a trace data file read into a vector
// of its own, or a copy of the live data. The live raw data is left alone.
class ReportData {
 public:
  explicit ReportData(std::string file) : file_(std::move(file)) {
    PerformanceTracer& tracer = *PerformanceTracer::getInstance();
    if (file_.empty()) {
      points_ = tracer.getRawDataVector();
      if (!points_) points_ = std::make_unique<PTRawDataVector>();
      // A loaded trace shows the system it was recorded on.
      systemInfo_ = tracer.hasRecordingSystemInfo() && tracer.getStoredSystemInfo() != nullptr
                        ? tracer.getStoredSystemInfo()
                        : tracer.getSystemInfo();
    } else {
      points_ = std::make_unique<PTRawDataVector>();
      pt::host::readTraceDataFile(file_, *points_, fileSystemInfo_);
      systemInfo_ = &fileSystemInfo_;
    }
  }
  ReportData(const ReportData&) = delete;
  ReportData& operator=(const ReportData&) = delete;

  const std::string& file() const { return file_; }
  PTRawDataVector* points() { return points_.get(); }
  bool empty() const { return points_->empty(); }
  const PTSystemInfoStruct* systemInfo() const { return systemInfo_; }

 private:
  std::string file_;
  std::unique_ptr<PTRawDataVector> points_;
  PTSystemInfoStruct fileSystemInfo_;
  const PTSystemInfoStruct* systemInfo_ = nullptr;
};

void checkWritten(bool written, const std::string& htmlFile) {
  if (!written) haErrorMsgIdAndTxt("WriteFileFailed", htmlFile);
}

// The single-run reports: the required 'htmlfile', then the data of 'kvdfile'
// or the live data, which must not be empty unless `allowEmpty`.
template <typename Generate>
void singleRunReport(const NameValueArguments& pairs, const char* requiredText, bool allowEmpty, bool restoreRoot,
                     Generate generate) {
  if (!pairs.has("htmlfile")) haErrorMsgIdAndTxt("ExpectedNames", requiredText);
  const std::string htmlFile = pairs.text("htmlfile");
  const std::string kvdFile = pairs.text("kvdfile");
  refuseToOverwrite(htmlFile, kvdFile);
  const std::string grouping = pairs.text("grouping", pt::kGlobalGrouping);
  std::unique_ptr<ReportData> data;
  {
    const HostRootKept root(restoreRoot);
    data = std::make_unique<ReportData>(kvdFile);
  }
  if (!allowEmpty && data->empty()) haErrorMsgIdAndTxt("NoRawTracerData");
  checkWritten(generate(*PerformanceTracer::getInstance(), htmlFile, grouping, *data), htmlFile);
}

// The comparison reports: 'htmlfile' and at least one file; the side without
// a file is the live data. The left side is checked first.
// A report with a fixed file name (`defaultHtmlFile`) needs only a file.
template <typename Generate>
void comparisonReport(const NameValueArguments& pairs, Generate generate, const char* defaultHtmlFile = nullptr) {
  if ((defaultHtmlFile == nullptr && !pairs.has("htmlfile")) || (!pairs.has("lhsfile") && !pairs.has("rhsfile")))
    haErrorMsgIdAndTxt("ExpectedNames", kExpectedComparisonFiles);
  const std::string htmlFile = defaultHtmlFile ? pairs.text("htmlfile", defaultHtmlFile) : pairs.text("htmlfile");
  const std::string lhsFile = pairs.text("lhsfile"), rhsFile = pairs.text("rhsfile");
  refuseToOverwrite(htmlFile, lhsFile);
  refuseToOverwrite(htmlFile, rhsFile);
  std::unique_ptr<ReportData> lhs, rhs;
  {
    const HostRootKept root(true);
    lhs = std::make_unique<ReportData>(lhsFile);
    rhs = std::make_unique<ReportData>(rhsFile);
  }
  if (lhs->empty()) haErrorMsgIdAndTxt("NoRawTracerDataLoaded", lhs->file());
  if (rhs->empty()) haErrorMsgIdAndTxt("NoRawTracerDataLoaded", rhs->file());
  const bool written =
      generate(*PerformanceTracer::getInstance(), htmlFile, pairs.text("grouping", pt::kGlobalGrouping),
               pairs.text("lhslabel", "Baseline"), pairs.text("rhslabel", "CurrentRun"), *lhs, *rhs);
  checkWritten(written, htmlFile);
}

}  // namespace

void generateHTMLReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kGrouping, kKvdFile,          kShowMeta,
                                              kMetric,   kFormat,   kIncludeFlameGraph};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 2, 8, kNames);
  const std::string metric = metricOf(pairs);
  const bool showMeta = flagOf(pairs, "showmeta", true);
  if (!pairs.has("htmlfile")) haErrorMsgIdAndTxt("ExpectedNames", kExpectedHtmlFile);
  const bool models = modelBased(pairs);
  const bool flameGraph = flagOf(pairs, "includeflamegraph", true);
  const std::vector<std::string> arguments = argumentTexts(nInputs, inputs);
  singleRunReport(
      pairs, kExpectedHtmlFile, false, true,
      [&](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping, ReportData& data) {
        if (models) {
          return generateReport_modelBased(tracer, htmlFile, grouping, metric, arguments, data.points(),
                                           PT_REPORT_MODEL, flameGraph);
        }
        return tracer.generateHTMLReport(htmlFile, grouping, grouping, metric, showMeta, data.points(),
                                         data.systemInfo());
      });
}

void generateAggregateReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kGrouping, kKvdFile, kShowMeta, kMetric};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 2, 8, kNames);
  const std::string metric = metricOf(pairs);
  const bool showMeta = flagOf(pairs, "showmeta", true);
  singleRunReport(
      pairs, kExpectedHtmlFile, false, true,
      [&](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping, ReportData& data) {
        return tracer.generateAggregateReport(htmlFile, grouping, grouping, metric, showMeta, data.points(),
                                              data.systemInfo());
      });
}

void diagnosticReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kGrouping, kKvdFile};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 2, 6, kNames);
  // The diagnostic report shows whatever there is, even nothing.
  singleRunReport(pairs, "'htmlfile' must be set.", true, false,
                  [](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                     ReportData& data) { return tracer.diagnosticReport(htmlFile, grouping, data.points()); });
}

void generateDifferenceReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kGrouping, kHtmlFile, kLhsFile, kRhsFile,          kLhsLabel,
                                              kRhsLabel, kMetric,   kFormat,  kIncludeFlameGraph};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 4, 14, kNames);
  const std::string metric = metricOf(pairs);
  if (!pairs.has("htmlfile") || (!pairs.has("lhsfile") && !pairs.has("rhsfile")))
    haErrorMsgIdAndTxt("ExpectedNames", kExpectedComparisonFiles);
  const bool models = modelBased(pairs);
  const bool flameGraph = flagOf(pairs, "includeflamegraph", true);
  comparisonReport(
      pairs, [&](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                 const std::string& lhsLabel, const std::string& rhsLabel, ReportData& lhs, ReportData& rhs) {
        if (models) {
          return generateDiffReport_modelBased(tracer, htmlFile, grouping, lhsLabel, rhsLabel, lhs.points(),
                                               rhs.points(), metric, flameGraph);
        }
        return tracer.generateHTMLComparisonReport(htmlFile, grouping, lhsLabel, rhsLabel, lhs.points(), rhs.points(),
                                                   lhs.systemInfo(), rhs.systemInfo(), metric);
      });
}

void generateAggregateDifferenceReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kGrouping, kHtmlFile, kLhsFile, kRhsFile, kLhsLabel, kRhsLabel, kMetric};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 4, 12, kNames);
  const std::string metric = metricOf(pairs);
  comparisonReport(
      pairs, [&](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                 const std::string& lhsLabel, const std::string& rhsLabel, ReportData& lhs, ReportData& rhs) {
        return tracer.generateHTMLAggregateComparisonReport(htmlFile, grouping, lhsLabel, rhsLabel, lhs.points(),
                                                            rhs.points(), lhs.systemInfo(), rhs.systemInfo(), metric);
      });
}

void generateCLTestReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kGrouping, kKvdFile, kShowMeta, kMetric, kIncludeFlameGraph};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 2, 10, kNames);
  const std::string metric = metricOf(pairs);
  const bool flameGraph = flagOf(pairs, "includeflamegraph", true);
  const std::vector<std::string> arguments = argumentTexts(nInputs, inputs);
  singleRunReport(
      pairs, kExpectedHtmlFile, false, true,
      [&](PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping, ReportData& data) {
        return generateReport_modelBased(tracer, htmlFile, grouping, metric, arguments, data.points(), PT_REPORT_TEST,
                                         flameGraph);
      });
}

void generateCLStartupReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kKvdFile, kMetric};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 0, 4, kNames);
  const std::string metric = metricOf(pairs);
  const std::string htmlFile = pairs.text("htmlfile", "CLStartup.html");
  const std::string kvdFile = pairs.text("kvdfile");
  refuseToOverwrite(htmlFile, kvdFile);
  std::unique_ptr<ReportData> data;
  {
    const HostRootKept root(true);
    data = std::make_unique<ReportData>(kvdFile);
  }
  if (data->empty()) haErrorMsgIdAndTxt("NoRawTracerData");
  checkWritten(
      PerformanceTracer::getInstance()->generateHTMLReport(htmlFile, kStartupGrouping, "Calvoran Startup Performance",
                                                           metric, false, data->points(), data->systemInfo()),
      htmlFile);
}

void generateCLStartupDifferenceReport(int&, haArray*[], int nInputs, const haArray* const inputs[]) {
  static constexpr NamedParameter kNames[] = {kHtmlFile, kLhsFile, kRhsFile, kLhsLabel, kRhsLabel};
  const NameValueArguments pairs = reportArguments(nInputs, inputs, 2, 10, kNames);
  if (!pairs.has("lhsfile") && !pairs.has("rhsfile"))
    haErrorMsgIdAndTxt("ExpectedNames", "at least one of 'lhsfile' or 'rhsfile' must be set");
  comparisonReport(
      pairs,
      [](PerformanceTracer& tracer, const std::string& htmlFile, const std::string&, const std::string& lhsLabel,
         const std::string& rhsLabel, ReportData& lhs, ReportData& rhs) {
        return tracer.generateHTMLComparisonReport(htmlFile, kStartupGrouping, lhsLabel, rhsLabel, lhs.points(),
                                                   rhs.points(), lhs.systemInfo(), rhs.systemInfo(), "time");
      },
      "CLStartupDiff.html");
}

}  // namespace pt::bindings::methods
