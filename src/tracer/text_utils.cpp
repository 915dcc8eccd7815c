#include "tracer/text_utils.h"

#include "platform/host_array.h"
#include "platform/host_calls.h"
#include "platform/host_messages.h"
#include "platform/output_file.h"
#include "tracer/performance_tracer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::string_view kInternalCustomization = "/cl_internal_customization";
constexpr std::string_view kCustomization = "/cl_customization";
constexpr int kMaxPrecision = 1000;

// Process-wide like the tracer: reports of any tracer object strip the same root.
std::string& currentRoot() {
  static std::string root;
  return root;
}

std::string& cachedHostRoot() {
  static std::string root;
  return root;
}

void eraseFirst(std::string& text, std::string_view part) {
  if (text.size() <= part.size()) return;
  const std::size_t at = text.find(part);
  if (at != std::string::npos) text.erase(at, part.size());
}

}  // namespace

std::string ptCleanupSlashes(const std::string& path) {
  std::string cleaned = path;
  std::replace(cleaned.begin(), cleaned.end(), '\\', '/');
  return cleaned;
}

void ptSetCurrentKAVLORRoot(const std::string& root) { currentRoot() = ptCleanupSlashes(root); }

std::string ptRemoveKAVLORRoot(const std::string& path) {
  std::string cleaned = ptCleanupSlashes(path);
  const std::string& root = currentRoot();
  if (root.empty() || !cleaned.starts_with(root)) return cleaned;
  // Only whole folders: the root /opt/kv must not eat the "/opt/kv" of /opt/kv2/a.m.
  const bool atFolderBoundary = root.back() == '/' || cleaned.size() == root.size() || cleaned[root.size()] == '/';
  return atFolderBoundary ? cleaned.substr(root.size()) : cleaned;
}

std::string ptGetKAVLORRoot() {
  haArray* outputs[1] = {nullptr};
  if (hxCallKAVLOR(1, outputs, 0, nullptr, "kavlorroot") != 0 || outputs[0] == nullptr) {
    haDestroyArray(outputs[0]);
    return cachedHostRoot();
  }
  platform::HostArrayPtr answer(outputs[0]);
  if (!haIsChar(answer.get()) || !(haIsCharVector(answer.get()) || haIsEmpty(answer.get()))) {
    haErrorMsgIdAndTxt("UnexpectedValue", "KAVLOR Root");
  }
  cachedHostRoot() = haArrayToStdString(answer.get());
  return cachedHostRoot();
}

std::string ptCleanupPhaseName(const std::string& name, bool stripCustomization) {
  std::string cleaned = ptCleanupSlashes(ptRemoveKAVLORRoot(name));
  if (cleaned.starts_with('/')) cleaned.erase(0, 1);
  if (!stripCustomization) {
    if (cleaned.rfind('/') == 0) cleaned.erase(0, 1);
    return cleaned;
  }
  // The internal folder first: its name ends in the other one's.
  eraseFirst(cleaned, kInternalCustomization);
  eraseFirst(cleaned, kCustomization);
  return cleaned;
}

std::string ptDoubleToUString(double value, int precision) {
  try {
    if (precision < 0 || precision > kMaxPrecision) throw std::out_of_range("precision outside 0..1000");
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*g", 17, value);
    // Very small and very large values come out with an exponent, which the
    // cut below would drop (1e-5 would read 1.00): write them with the same
    // 17 significant digits in positional notation instead.
    if (std::isfinite(value) && std::strchr(buffer, 'e') != nullptr) {
      const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
      std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(16 - exponent, 0, 340), value);
    }
    std::string text = buffer;
    const std::size_t point = text.find('.');
    if (point == std::string::npos) {
      if (precision >= 1) text.append(".").append(static_cast<std::size_t>(precision), '0');
      return text;
    }
    // Cut, not rounded: the 17-digit text of 0.1 is 0.10000000000000001.
    const std::size_t keep = precision == 0 ? point : point + static_cast<std::size_t>(precision) + 1;
    if (keep < text.size()) text.resize(keep);
    return text;
  } catch (const std::exception& error) {
    hxPrintf("Exception in ptDoubleToUString\n %s\nParams: val=%f\tprecision=%d\n", error.what(), value, precision);
    return std::string();
  }
}

bool ptWriteUStringToFile(std::FILE* file, const std::string& text) {
  // Every byte, NULs included (fputs would stop at the first NUL), written
  // through at once, so that a full disk shows here rather than only at fclose.
  return platform::writeWhole(file, text, PerformanceTracer::getInstance()->fileCalls());
}

std::string findIdentifierValue(const std::string& name, const std::vector<std::string>& names,
                                const std::vector<std::string>& values) {
  const auto found = std::find(names.begin(), names.end(), name);
  const auto index = static_cast<std::size_t>(found - names.begin());
  return index < values.size() ? values[index] : std::string();
}

std::vector<std::string> splitString(const std::string& text, const std::string& delimiter) {
  if (delimiter.empty()) return {text};
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t at = text.find(delimiter); at != std::string::npos; at = text.find(delimiter, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

std::string capitalizeFirstLetter(const std::string& text) {
  std::string capitalized = text;
  if (!capitalized.empty()) {
    capitalized[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(capitalized[0])));
  }
  return capitalized;
}

std::string PerformanceTracer::removeStrSuffix(const std::string& text) {
  return text.size() >= 3 && text.ends_with("Str") ? text.substr(0, text.size() - 3) : text;
}
