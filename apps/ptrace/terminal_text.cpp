#include "apps/ptrace/terminal_text.h"

#include <cstdint>

namespace ptrace_tool {
namespace {

void appendEscaped(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

// Length of the valid UTF-8 sequence at `at`, or 0.
std::size_t sequenceLength(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  const std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || text.size() - at < length) return 0;
  std::uint32_t code = c & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code >= 0x80 && code <= 0x9F) return 0;  // C1 controls: CSI, OSC, ...
  return length;
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
    } else if (const std::size_t length = c >= 0x80 ? sequenceLength(text, i) : 0; length > 0) {
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
