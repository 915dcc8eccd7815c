#include <iostream>

#include "apps/ptrace/commands.h"
#include "sysinfo/system_info_gathering.h"

namespace ptrace_tool {

void printSystemInfo() {
  const PTSystemInfoStruct& info = pt::sysinfo::gatheredSystemInfo();
  const std::pair<const char*, const std::string*> rows[] = {
      {"Processor", &info.processorStr},
      {"CPU speed", &info.cpuSpeedStr},
      {"Cores", &info.numCoresStr},
      {"Physical memory", &info.totalPhysMemStr},
      {"Operating system", &info.operatingSystemStr},
      {"Host version", &info.KAVLORVersionStr},
      {"Java VM", &info.javaVMVersionStr},
  };
  for (const auto& [label, value] : rows) {
    std::cout << "  " << label << ": " << (value->empty() ? "(not available)" : *value) << "\n";
  }
  std::cout << "  Installed products:\n" << info.installedProductsStr << "\n";
}

void addSystemCommand(CLI::App& app, int& exitCode) {
  CLI::App* command = app.add_subcommand("system", "Print the host and system information a trace records");
  command->callback([&exitCode] {
    printSystemInfo();
    exitCode = 0;
  });
}

}  // namespace ptrace_tool
