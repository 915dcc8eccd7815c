// String mappings: which of the tracer's seven name ↔ number tables an
// operation addresses.
//
//   int32_t phase = tracer.getNumberForString(EPT_PHASE, "Load", true);
//   std::string title = PerformanceTracer::getNameForMappingID(EPT_MODEL);  // "Model"
#pragma once

/// Any other value addresses no table. Unscoped, with int as its type, so that
/// numbers read from files and records convert directly.
enum EPTStringMappings : int {
  EPT_PHASE = 0,
  EPT_GROUPING = 1,
  EPT_STATISTICS_TYPE = 2,
  EPT_MODEL = 3,
  EPT_TARGET = 4,
  EPT_MACHINE = 5,
  EPT_CHART = 6,
};

inline constexpr int kStringMappingCount = 7;

inline constexpr bool isStringMapping(EPTStringMappings mapping) {
  return mapping >= 0 && mapping < kStringMappingCount;
}
