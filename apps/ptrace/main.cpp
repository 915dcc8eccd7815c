// ptrace: records, inspects and reports performance traces.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "apps/ptrace/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"ptrace " PT_VERSION " - performance traces: record, inspect, report"};
  app.set_version_flag("--version", "ptrace " PT_VERSION);
  int exitCode = 0;
  ptrace_tool::addDemoCommand(app, exitCode);
  ptrace_tool::addReportCommand(app, exitCode);
  ptrace_tool::addInfoCommand(app, exitCode);
  ptrace_tool::addExportCommand(app, exitCode);
  ptrace_tool::addDiagCommand(app, exitCode);
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
    // One clear line; the subcommands name the file or argument at fault.
    std::string message = error.what();
    std::replace_if(message.begin(), message.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    std::cerr << "ptrace: " << message << "\n";
    return 1;
  }
  return exitCode;
}
