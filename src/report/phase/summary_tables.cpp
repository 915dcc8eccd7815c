#include "report/phase/summary_tables.h"

#include "analysis/metric.h"
#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

using pt::report::scriptBlock;

namespace {

std::string inputRow(const std::string& label, const std::string& id) {
  return "                            <tr><td class=\"FiltersNameCell\">" + label +
         "</td><td class=\"FiltersInputCell\"><input type=\"text\" id=\"" + id + "\" name=\"" + id +
         "\" size=\"24\" /></td></tr>\n";
}

using Labelled = std::pair<const char*, const char*>;

std::vector<Labelled> metricSortInputs(const std::string& statisticsType) {
  const std::optional<pt::Metric> metric = pt::parseMetric(statisticsType);
  if (metric == pt::Metric::kTime) return {{"Self", "Sort_self"}, {"Self + Child", "Sort_selfPchild"}};
  if (metric == pt::Metric::kBasicMemory) {
    return {{"Process Usage Delta", "Sort_UsageDelta"},
            {"Process Usage", "Sort_Usage"},
            {"Peak Usage Delta", "Sort_UsagePeakDelta"},
            {"Peak Usage", "Sort_UsagePeak"}};
  }
  if (metric == pt::Metric::kDetailedMemory) {
    return {{"Com", "Sort_Committed"},
            {"Res", "Sort_Reserved"},
            {"Dll", "Sort_Dlls"},
            {"OS", "Sort_NonProcess"},
            {"Free", "Sort_Free"}};
  }
  return {};
}

}  // namespace

std::string writeAggregateSummaryHTML() {
  return "            <div id=\"aggregateSummaryDiv\" "
         "style=\"overflow:none;display:none;height:100%;border:2px solid #324678;\"></div>\n";
}

std::string writeAggregateSummaryJS(const std::string&, bool comparison, bool) {
  return scriptBlock(comparison ? pt::assets::comparison_aggregate_table_js() : pt::assets::aggregate_table_js());
}

std::string writePhaseSummaryHTML(const std::string& statisticsType, bool comparison) {
  return pt::report::filledTemplate(pt::assets::phase_summary_block_html(),
                                    {{"USER_INPUTS", generateUserInputsHTML(statisticsType, comparison)}});
}

std::string writePhaseSummaryJS(const std::string&, bool comparison) {
  return scriptBlock(comparison ? pt::assets::comparison_details_table_js() : pt::assets::details_table_js());
}

// The comparison rows are filtered by name, by the recordings they are in and
// by the size of their deviations; they sort by header clicks. The phase rows
// sort by the metric's own columns too.
std::string generateUserInputsHTML(const std::string& statisticsType, bool comparison) {
  if (comparison) return std::string(pt::assets::comparison_user_inputs_html());
  std::string metricInputs;
  for (const auto& [label, id] : metricSortInputs(statisticsType)) metricInputs += inputRow(label, id);
  return pt::report::filledTemplate(pt::assets::phase_user_inputs_html(), {{"METRIC_SORT_INPUTS", metricInputs}});
}

std::string generateQSortJS() { return scriptBlock(pt::assets::qsort_js()); }

std::string generateFakeDataTableDiv(bool noCallTree, bool aggregateOnly) {
  std::string divs =
      "        <div id = \"aggregateSummaryScrollTableDiv\" "
      "style=\"width:20px;height:365px;overflow-y:auto;display:none;\" "
      "onscroll=\"reGenerateTable(this, 'Aggregate');\"></div>\n"
      "        <span id = \"FakeSpan\" style=\"visibility:hidden;color:white;\"></span>\n";
  if (aggregateOnly) return divs;
  divs +=
      "        <div id = \"phaseSummaryScrollTableDiv\" "
      "style=\"width:20px;height:365px;overflow-y:auto;display:none;\" "
      "onscroll=\"reGenerateTable(this, 'Detail');\"></div>\n";
  if (!noCallTree) {
    divs +=
        "        <div id = \"callTreeSummaryScrollTableDiv\" "
        "style=\"width:20px;height:365px;overflow-y:auto;display:none;\" "
        "onscroll=\"reGenerateTable(this, 'CallTree');\"></div>\n";
  }
  return divs;
}
