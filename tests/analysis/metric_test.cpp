#include "analysis/metric.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <utility>

namespace {

// The host and the command line hand the metric over as text, and stored
// pages name it by text: every metric must come back from its own text, and
// nothing else may pass for one.
TEST(Metric, TextsRoundTripAndNothingElseParses) {
  const std::pair<pt::Metric, std::string_view> texts[] = {{pt::Metric::kTime, "time"},
                                                           {pt::Metric::kBasicMemory, "basicmemory"},
                                                           {pt::Metric::kDetailedMemory, "detailedmemory"}};
  for (const auto& [metric, text] : texts) {
    EXPECT_EQ(pt::metricText(metric), text);
    EXPECT_EQ(pt::parseMetric(text), metric) << text;
  }
  for (const std::string_view text : {"", "Time", "memory", "time ", "detailedmemoryx"})
    EXPECT_EQ(pt::parseMetric(text), std::nullopt) << text;
}

}  // namespace
