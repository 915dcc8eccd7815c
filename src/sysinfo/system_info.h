// System information: the description of the machine and host that produced a
// trace, shown in report headers and stored in trace data files.
//
//   PTSystemInfoStruct info;  // eight empty texts
//   info.totalPhysMemStr = "N/A";
#pragma once

#include <string>

/// Field order is also the field order of the stored record.
struct PTSystemInfoStruct {
  std::string processorStr;
  std::string cpuSpeedStr;
  std::string numCoresStr;
  std::string totalPhysMemStr;
  std::string operatingSystemStr;
  std::string KAVLORVersionStr;
  std::string javaVMVersionStr;
  std::string installedProductsStr;
};
