// Escaping of trace texts for report pages: names of phases, groupings,
// models and identifier values, and system information, come from the traced
// program and may hold quotes, backslashes, line breaks or markup.
//
//   page += "\"" + ptEscapeForScriptString(phaseName) + "\"";    // inside <script>
//   page += "<td>" + ptEscapeForHtml(systemInfo.processorStr) + "</td>";
#pragma once

#include <string>
#include <string_view>

/// The inside of a double-quoted script string literal that evaluates to
/// `text`: quote, backslash and control characters escaped, and "<" written
/// as \x3C so that no "</script>" or "<!--" inside can end the script block.
std::string ptEscapeForScriptString(std::string_view text);

/// `text` as HTML character data or a quoted attribute value: &, <, >, " and
/// ' become character references.
std::string ptEscapeForHtml(std::string_view text);
