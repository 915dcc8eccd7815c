// The metric a report measures and compares: wall-clock and CPU times, the
// process's memory usage, or the detailed memory statistics. Hosts and the
// command line name it by its text; the reports work with the type.
//
//   std::optional<pt::Metric> metric = pt::parseMetric("basicmemory");
//   if (metric == pt::Metric::kDetailedMemory) writeCharts();
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace pt {

enum class Metric { kTime, kBasicMemory, kDetailedMemory };

/// The texts of the metrics, in the order of the enumeration.
inline constexpr std::array<std::string_view, 3> kMetricTexts{"time", "basicmemory", "detailedmemory"};

/// "time", "basicmemory" or "detailedmemory".
constexpr std::string_view metricText(Metric metric) { return kMetricTexts[static_cast<std::size_t>(metric)]; }

/// The metric of its exact text; none for any other text.
constexpr std::optional<Metric> parseMetric(std::string_view text) {
  for (std::size_t i = 0; i < kMetricTexts.size(); ++i) {
    if (kMetricTexts[i] == text) return static_cast<Metric>(i);
  }
  return std::nullopt;
}

}  // namespace pt
