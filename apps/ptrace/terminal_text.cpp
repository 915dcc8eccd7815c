#include "apps/ptrace/terminal_text.h"

#include "apps/ptrace/utf8_text.h"

namespace ptrace_tool {
namespace {

void appendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Length of the valid UTF-8 sequence at `at` when it is not a C1 control
// (CSI, OSC, ...), or 0.
std::size_t printableSequenceLength(std::string_view text, std::size_t at) {
  const std::size_t length = utf8SequenceLength(text, at);
  if (length == 0) return 0;
  const char32_t code = utf8CodePoint(text, at, length);
  return code >= 0x80 && code <= 0x9F ? 0 : length;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t length = c >= 0x80 ? printableSequenceLength(text, i) : 0; length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      appendEscaped(out, c);
      ++i;
    }
  }
  return out;
}

}  // namespace ptrace_tool
