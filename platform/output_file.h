// Output files: stdio streams for writers that hand a FILE* around, and files
// read whole, with every system call made through a FileCalls seam so that
// tests can make any of them fail.
//
//   std::FILE* file = platform::openOutputFile("report.html", platform::systemFileCalls());
//   bool written = platform::writeWhole(file, page, platform::systemFileCalls());
//   std::string text;
//   bool read = platform::readWholeFile("graph.svg", text, platform::systemFileCalls());
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/replacing_file.h"

namespace platform {

/// Opens `path` for reading and writing, created or emptied (as mode "w+").
/// Null, with errno set, when it cannot be opened.
std::FILE* openOutputFile(const std::string& path, FileCalls& calls);

/// Writes every byte of `text` (NULs included) at the stream's descriptor,
/// after anything the stream still buffers. False for a null stream or when
/// any byte cannot be written (a full disk shows here, not at close).
bool writeWhole(std::FILE* file, std::string_view text, FileCalls& calls);

/// Replaces `text` with every byte of the file at `path`. False, with errno
/// set and `text` empty, when the file cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& text, FileCalls& calls);

}  // namespace platform
