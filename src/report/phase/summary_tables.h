// Summary tables: the markup and scripts of the Aggregate and Details tabs of
// the phase-based pages. The tables themselves are built in the browser from
// the data arrays; the library writes the blocks they live in, the filter and
// sort form, and the scripts (embedded from the assets folder).
//
//   page += writePhaseSummaryHTML("time", false);
//   page += writePhaseSummaryJS("time", false);
#pragma once

#include <string>

/// The empty block the aggregate table is rendered into.
std::string writeAggregateSummaryHTML();
/// The aggregate table script: view, sorting on header clicks, and the jump
/// from a phase to its Details rows.
std::string writeAggregateSummaryJS(const std::string& statisticsType, bool comparison, bool aggregateOnly);
/// The Details block: the filter and sort form and the table's holder.
std::string writePhaseSummaryHTML(const std::string& statisticsType, bool comparison);
/// The Details table script: filtering, sorting, checking and totals.
std::string writePhaseSummaryJS(const std::string& statisticsType, bool comparison);
/// The filter and sort form of the Details tab; sort inputs for the columns of
/// the statistics type.
std::string generateUserInputsHTML(const std::string& statisticsType, bool comparison);
/// The multi-column quicksort the Details sort uses.
std::string generateQSortJS();
/// The scroll divisions beside the tables and the span that measures texts.
std::string generateFakeDataTableDiv(bool noCallTree, bool aggregateOnly);
