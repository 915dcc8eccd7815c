#include "platform/system_probe.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/environment.h"
#include "support/scratch_files.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(SystemProbe, FastestProcessorInKHzFromSysfsOrCpuinfoAndOnThisMachine) {
  const char* cpuinfo =
      "processor\t: 0\nmodel name\t: Some CPU @ 2.10GHz\ncpu MHz\t\t: 2095.986\n\n"
      "processor\t: 1\ncpu MHz\t\t: 3400.5\n\nprocessor\t: 2\ncpu MHz\t\t: fast\n";
  EXPECT_EQ(platform::detail::maxFrequencyKHzFromCpuinfo(cpuinfo), 3400500.0);
  EXPECT_FALSE(platform::detail::maxFrequencyKHzFromCpuinfo("processor\t: 0\nBogoMIPS\t: 50.00\n"));
  EXPECT_FALSE(platform::detail::maxFrequencyKHzFromCpuinfo(""));

  // Sysfs wins and the processor information is the fallback.
  pt_test::ScratchFolder dir;
  fs::path cpuRoot = dir.path() / "cpu";
  writeFile(cpuRoot / "cpu0" / "cpufreq" / "cpuinfo_max_freq", "2400000\n");
  writeFile(cpuRoot / "cpu11" / "cpufreq" / "cpuinfo_max_freq", "3200000\n");
  writeFile(cpuRoot / "cpufreq" / "cpuinfo_max_freq", "9900000\n");  // not a processor
  writeFile(dir.path() / "cpuinfo", "cpu MHz\t: 1000.0\n");
  EXPECT_EQ(platform::detail::maxProcessorFrequencyKHz(cpuRoot, dir.path() / "cpuinfo"), 3200000.0);
  EXPECT_EQ(platform::detail::maxProcessorFrequencyKHz(dir.path() / "none", dir.path() / "cpuinfo"), 1000000.0);
  EXPECT_FALSE(platform::detail::maxProcessorFrequencyKHz(dir.path() / "none", dir.path() / "none"));

  const double khz = platform::maxProcessorFrequencyKHz().value();  // from sysfs or /proc/cpuinfo
  EXPECT_GT(khz, 1e5);
  EXPECT_LT(khz, 1e8);
}

TEST(SystemProbe, RootIsAboveTheLibOrBinFolderUnlessTheEnvironmentSaysOtherwise) {
  using platform::detail::rootFromBinaryPath;
  EXPECT_EQ(rootFromBinaryPath("/opt/pt/lib/libperformance_tracer.so"), "/opt/pt");
  EXPECT_EQ(rootFromBinaryPath("/opt/pt/lib64/libperformance_tracer.so"), "/opt/pt");
  EXPECT_EQ(rootFromBinaryPath("/opt/pt/bin/ptrace"), "/opt/pt");
  EXPECT_EQ(rootFromBinaryPath("/usr/lib/x86_64-linux-gnu/libperformance_tracer.so"), "/usr");
  EXPECT_FALSE(rootFromBinaryPath("/work/build/src/libperformance_tracer.so"));

  // The environment overrides the installation root.
  ::setenv("PT_INSTALL_ROOT", "/somewhere/else", 1);
  EXPECT_EQ(platform::installationRoot(), "/somewhere/else");
  std::string derived;
  {
    const platform::EnvironmentOverride empty("PT_INSTALL_ROOT", "");
    derived = platform::installationRoot();
  }
  ::unsetenv("PT_INSTALL_ROOT");
  EXPECT_EQ(platform::installationRoot(), derived) << "an empty value counts as unset";
  EXPECT_TRUE(fs::is_directory(derived)) << derived;
}

}  // namespace
