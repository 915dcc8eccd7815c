#include "apps/ptrace/utf8_text.h"

#include <cstdint>

namespace ptrace_tool {

std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto c = static_cast<unsigned char>(text[at]);
  if (c < 0x80) return 1;
  const std::size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  const char32_t code = utf8CodePoint(text, at, length);
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

char32_t utf8CodePoint(std::string_view text, std::size_t at, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length == 1) return lead;
  char32_t code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3Fu);
  return code;
}

std::string repairedUtf8(std::string_view text, std::size_t& repairs) {
  std::string out;
  out.reserve(text.size());
  bool repaired = false;
  for (std::size_t i = 0; i < text.size();) {
    if (const std::size_t length = utf8SequenceLength(text, i); length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      repaired = true;
      ++i;
    }
  }
  if (repaired) ++repairs;
  return out;
}

}  // namespace ptrace_tool
