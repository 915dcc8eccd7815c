// Text from a trace made safe to print on a terminal: names are the
// recording's, and a control character in one (an escape sequence that
// retitles the window or moves the cursor) must reach the user as visible
// text, not as a command to the terminal.
//
//   std::cout << ptrace_tool::printable(phaseName);   // "Load\x1b]0;x\x07" shows as Load\x1b]0;x\x07
#pragma once

#include <string>
#include <string_view>

namespace ptrace_tool {

/// `text` with every control character (C0, DEL and the C1 controls U+0080
/// to U+009F) and every byte that is not part of valid UTF-8 written as \xHH;
/// all other text is unchanged.
std::string printable(std::string_view text);

}  // namespace ptrace_tool
