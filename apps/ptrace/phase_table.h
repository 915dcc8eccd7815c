// The terminal table of the phases that spent the most time themselves.
//
//   std::cout << ptrace_tool::topPhasesTable(summary.diagnosticInfos, 8);
#pragma once

#include <cstddef>
#include <string>

#include "analysis/analysis_types.h"

namespace ptrace_tool {

/// What the Self column means, for the commands' help.
inline constexpr const char* kSelfTimeHelp =
    "Self: a phase's own wall-clock time, outside its child phases. A parent's own time counts where the "
    "analysis measured it (gaps longer than 0.1 s); the rest, with the gaps after phases, is the "
    "'(unaccounted)' line, so that the Self column adds up to the time in all.";

/// A heading with the time in all (the phases that no other phase holds),
/// then phase, count, self and total wall-clock milliseconds, the largest
/// self times first, at most `limit` phases; then the self time of the
/// phases not listed and the time no phase accounts for. Empty without rows.
std::string topPhasesTable(const PTDiagnosticInfoVector& rows, std::size_t limit);

}  // namespace ptrace_tool
