#include "report/phase/summary_tables.h"

#include "analysis/metric.h"
#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <array>
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

constexpr std::array<Labelled, 6> kFilterInputs{{{"Phase", "phasename"},
                                                 {"Grouping", "groupingname"},
                                                 {"Model", "modelname"},
                                                 {"Target", "targetname"},
                                                 {"Machine", "machinename"},
                                                 {"Chart", "chartname"}}};

constexpr std::array<Labelled, 6> kNameSortInputs{{{"Phase", "Sort_phasename"},
                                                   {"Model", "Sort_modelname"},
                                                   {"Target", "Sort_targetname"},
                                                   {"Machine", "Sort_machinename"},
                                                   {"Chart", "Sort_chartname"},
                                                   {"Exec Order", "Sort_execorder"}}};

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

std::string sectionToggle(const char* toggleId, const char* blockId, const char* title) {
  return std::string("                <div><a href=\"javascript:void(0)\" onclick=\"toggleSection('") + toggleId +
         "', '" + blockId + "')\"><span id=\"" + toggleId + "\">[+]</span> " + title + "</a></div>\n";
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
  return "                <div id=\"phaseSummaryDiv\" "
         "style=\"height:100%;text-align:left;overflow:none;display:none;border:2px solid #324678;\">\n" +
         generateUserInputsHTML(statisticsType, comparison) +
         "                <div id=\"phaseSummaryTableDiv\" "
         "style=\"height:100%;vertical-align:top;text-align:left;overflow:none\"></div>\n"
         "                </div>\n";
}

std::string writePhaseSummaryJS(const std::string&, bool comparison) {
  return scriptBlock(comparison ? pt::assets::comparison_details_table_js() : pt::assets::details_table_js());
}

namespace {

// The comparison rows are filtered by name, by the recordings they are in and
// by the size of their deviations; they sort by header clicks.
std::string comparisonUserInputsHTML() {
  return "                <form id=\"userInputs\" action=\"\" onsubmit=\"return userInputsAction();\">\n"
         "                <table id=\"UserInputsTableId\" class=\"userInputs\" cellpadding=\"2\" cellspacing=\"0\">\n"
         "                    <tr><td class=\"FiltersNameCell\">Phase</td><td class=\"FiltersInputCell\">"
         "<input type=\"text\" id=\"phasename\" name=\"phasename\" size=\"20\" /></td>\n"
         "                        <td class=\"FiltersNameCell\">Grouping</td><td class=\"FiltersInputCell\">"
         "<input type=\"text\" id=\"groupingname\" name=\"groupingname\" size=\"16\" /></td>\n"
         "                        <td class=\"FiltersNameCell\">Show</td><td><select id=\"matchkind\" "
         "name=\"matchkind\">"
         "<option value=\"all\">all rows</option><option value=\"both\">in both</option>"
         "<option value=\"lhs\">LHS only</option><option value=\"rhs\">RHS only</option>"
         "<option value=\"unmatched\">in one only</option></select></td>\n"
         "                        <td class=\"FiltersNameCell\">|Rel Dev| at least (%)</td><td>"
         "<input type=\"text\" id=\"minreldev\" name=\"minreldev\" size=\"6\" /></td>\n"
         "                        <td><input type=\"submit\" id=\"userInputsSubmit\" value=\"Apply\" />\n"
         "                        <span id=\"filterCount\"></span>\n"
         "                        <span id=\"filterMessage\" class=\"filterMessage\"></span></td></tr>\n"
         "                    <tr><td colspan=\"9\" class=\"PhaseDetailText\">Phase and Grouping are regular "
         "expressions; click a column header to sort by it, again to reverse.</td></tr>\n"
         "                </table>\n"
         "                </form>\n";
}

}  // namespace

std::string generateUserInputsHTML(const std::string& statisticsType, bool comparison) {
  if (comparison) return comparisonUserInputsHTML();
  std::string form =
      "                <form id=\"userInputs\" action=\"\" onsubmit=\"return userInputsAction();\">\n"
      "                <table id=\"UserInputsTableId\" class=\"userInputs\" cellpadding=\"2\" cellspacing=\"0\">\n"
      "                    <tr><td>\n";
  form += sectionToggle("FilterExpandCollapse", "FilterData", "Filters (regular expressions)");
  form += "                        <table id=\"FilterData\" style=\"display:none\">\n";
  for (const auto& [label, id] : kFilterInputs) form += inputRow(label, id);
  form += "                        </table>\n                    </td><td style=\"vertical-align:top\">\n";
  form += sectionToggle("SortExpandCollapse", "SortData", "Sort (1 = first column)");
  form += "                        <table id=\"SortData\" style=\"display:none\">\n";
  for (const auto& [label, id] : kNameSortInputs) form += inputRow(label, id);
  for (const auto& [label, id] : metricSortInputs(statisticsType)) form += inputRow(label, id);
  form +=
      "                        </table>\n"
      "                    </td><td style=\"vertical-align:top\">\n"
      "                        <input type=\"submit\" id=\"userInputsSubmit\" value=\"Apply\" />\n"
      "                        <span id=\"filterMessage\" class=\"filterMessage\"></span>\n"
      "                    </td></tr>\n"
      "                </table>\n"
      "                </form>\n";
  return form;
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
