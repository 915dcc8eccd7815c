#include "platform/system_probe.h"

#include "platform/environment.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace platform {
namespace detail {

namespace {

std::string_view trim(std::string_view text) {
  std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::optional<double> parsePositive(std::string_view text) {
  text = trim(text);
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value) || value <= 0) {
    return std::nullopt;
  }
  return value;
}

void keepMax(std::optional<double>& best, std::optional<double> candidate) {
  if (candidate && (!best || *candidate > *best)) best = candidate;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return std::move(text).str();
}

bool isCpuDirectory(const std::string& name) {
  return name.size() > 3 && name.starts_with("cpu") &&
         std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<double> maxFrequencyKHzFromCpuinfo(std::string_view cpuinfo) {
  std::optional<double> bestMHz;
  while (!cpuinfo.empty()) {
    std::size_t eol = cpuinfo.find('\n');
    std::string_view line = cpuinfo.substr(0, eol);
    cpuinfo.remove_prefix(eol == std::string_view::npos ? cpuinfo.size() : eol + 1);
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && trim(line.substr(0, colon)) == "cpu MHz") {
      keepMax(bestMHz, parsePositive(line.substr(colon + 1)));
    }
  }
  if (!bestMHz) return std::nullopt;
  return *bestMHz * 1000.0;
}

std::optional<double> maxFrequencyKHzFromSysfs(const std::filesystem::path& cpuRoot) {
  std::optional<double> best;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(cpuRoot, error)) {
    if (!isCpuDirectory(entry.path().filename().string())) continue;
    if (auto text = readFile(entry.path() / "cpufreq" / "cpuinfo_max_freq")) {
      keepMax(best, parsePositive(*text));
    }
  }
  return best;
}

std::optional<double> maxProcessorFrequencyKHz(const std::filesystem::path& cpuRoot,
                                               const std::filesystem::path& cpuinfoPath) {
  if (auto khz = maxFrequencyKHzFromSysfs(cpuRoot)) return khz;
  // Virtual machines often have no cpufreq; their cpuinfo still states a speed.
  if (auto text = readFile(cpuinfoPath)) return maxFrequencyKHzFromCpuinfo(*text);
  return std::nullopt;
}

std::optional<std::string> rootFromBinaryPath(const std::filesystem::path& binary) {
  std::filesystem::path dir = binary.parent_path();
  // Debian-style multiarch libraries sit one level deeper: <root>/lib/x86_64-linux-gnu.
  if (dir.parent_path().filename() == "lib") dir = dir.parent_path();
  std::string name = dir.filename().string();
  if (name == "lib" || name == "lib64" || name == "bin") return dir.parent_path().string();
  return std::nullopt;
}

}  // namespace detail

std::optional<double> maxProcessorFrequencyKHz() {
  return detail::maxProcessorFrequencyKHz("/sys/devices/system/cpu", "/proc/cpuinfo");
}

std::string installationRoot() {
  if (const std::optional<std::string> root = environmentVariable("PT_INSTALL_ROOT"); root && !root->empty()) {
    return *root;
  }
  // The binary holding this code (the shared library, or a program linking the
  // platform statically) sits in <root>/lib or <root>/bin once installed. In a
  // build tree it sits elsewhere, and the build folder is the staged root.
  Dl_info info{};
  link_map* map = nullptr;
  if (::dladdr1(reinterpret_cast<void*>(&installationRoot), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) !=
          0 &&
      map != nullptr) {
    std::error_code error;
    // The program itself has an empty name in the loader's list (dladdr would
    // give argv[0], which may be relative or bare).
    std::filesystem::path binary = map->l_name[0] != '\0' ? std::filesystem::weakly_canonical(map->l_name, error)
                                                          : std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
      if (auto root = detail::rootFromBinaryPath(binary)) return *root;
    }
  }
  return PT_STAGED_ROOT;
}

}  // namespace platform
