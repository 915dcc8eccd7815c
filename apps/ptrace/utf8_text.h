// UTF-8 checks for text taken from a trace: names are the recording's bytes,
// which need not be valid UTF-8, while terminals, JSON and viewers want text.
//
//   std::size_t repaired = 0;
//   std::string name = ptrace_tool::repairedUtf8(phaseName, repaired);
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ptrace_tool {

/// Length of the well-formed UTF-8 sequence (no overlong form, surrogate or
/// code point above U+10FFFF) that starts at `at`, or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

/// The code point of the well-formed sequence at `at` of `length` bytes.
char32_t utf8CodePoint(std::string_view text, std::size_t at, std::size_t length);

/// `text` with every byte that is not part of well-formed UTF-8 replaced by
/// U+FFFD; `repairs` goes up by one when anything was replaced.
std::string repairedUtf8(std::string_view text, std::size_t& repairs);

}  // namespace ptrace_tool
