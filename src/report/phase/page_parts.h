// Pieces every phase-based page is built from: templates with named markers,
// script blocks, numbers in the page script's spelling, and the tab bar.
//
//   page += pt::report::filledTemplate(pt::assets::system_info_table_html(), {{"HARDWARE", hardware}});
//   page += pt::report::scriptBlock(pt::assets::qsort_js());
//   pt::report::appendScriptNumber(record, 0.25);  // "0.25"
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace pt::report {

/// A marker of a template (its name, written %NAME% in the template, of
/// capital letters and underscores) and the text that replaces it.
using TemplateMarker = std::pair<std::string_view, std::string_view>;

/// The template with every named marker replaced by its text, in one pass:
/// a value is never searched for markers, so trace text that looks like one
/// stays as it is. Other percent signs are kept.
std::string filledTemplate(std::string_view text, std::initializer_list<TemplateMarker> markers);

/// `body` inside a script element, indented as the pages' other blocks.
std::string scriptBlock(std::string_view body);

/// Appends `value` as printf's %.5g would, but NaN and the infinities in the
/// page script's own spellings: "nan" and "inf" would be undefined names that
/// stop the page's data from loading.
void appendScriptNumber(std::string& out, double value);

/// One tab of a page's tab bar: its label, the key ShowTable takes and the
/// class of the header block that shows the bar with this tab current.
struct PageTab {
  const char* name;
  const char* key;
  const char* blockClass;
};

/// One header block per tab, each showing every tab with its own as the
/// current one; only the block of `visibleKey` is shown at first.
std::string tabBarDivs(std::span<const PageTab> tabs, std::string_view visibleKey);

}  // namespace pt::report
