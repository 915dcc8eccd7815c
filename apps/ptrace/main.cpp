// ptrace: records, inspects and reports performance traces.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/ptrace/commands.h"
#include "apps/ptrace/terminal_text.h"
#include "platform/host_messages.h"

namespace {

// Output that did not reach standard output (a full disk, a closed pipe) is a
// failed run, not a success with nothing to show.
bool flushStandardOutput() {
  errno = 0;
  std::cout.flush();
  return std::fflush(stdout) == 0 && !std::cout.fail();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ptrace " PT_VERSION " - performance traces: record, inspect, report"};
  app.set_version_flag("--version", "ptrace " PT_VERSION);
  int exitCode = 0;
  platform::setWarningSink([](const platform::HostWarning& warning) {
    std::cerr << "ptrace: warning: " << ptrace_tool::printable(warning.message) << "\n";
  });
  ptrace_tool::addDemoCommand(app, exitCode);
  ptrace_tool::addReportCommand(app, exitCode);
  ptrace_tool::addModelCommand(app, exitCode);
  ptrace_tool::addInfoCommand(app, exitCode);
  ptrace_tool::addExportCommand(app, exitCode);
  ptrace_tool::addDiagCommand(app, exitCode);
  ptrace_tool::addDiffCommand(app, exitCode);
  ptrace_tool::addSystemCommand(app, exitCode);
  try {
    app.parse(argc, argv);
    if (app.get_subcommands().empty()) {
      std::cout << "ptrace " << PT_VERSION << "\n";
      ptrace_tool::printSystemInfo();
    }
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const std::exception& error) {
    // One clear line; the subcommands name the file or argument at fault,
    // and names from a trace may hold control characters.
    std::cerr << "ptrace: " << ptrace_tool::printable(error.what()) << "\n";
    return 1;
  }
  if (!flushStandardOutput()) {
    const int reason = errno;
    std::cerr << "ptrace: cannot write to standard output"
              << (reason != 0 ? std::string(": ") + std::strerror(reason) : std::string()) << "\n";
    return 1;
  }
  return exitCode;
}
