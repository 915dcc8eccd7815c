#include "platform/feature_flags.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Each test uses its own flag names: flags are process-wide.

TEST(FeatureFlags, EnvironmentValuesAndCallsThatWinOverThemUntilReset) {
  for (const char* on : {"1", "true", "TRUE", "on", "On"}) {
    ::setenv("PT_FEATURE_FromEnv", on, 1);
    EXPECT_TRUE(platform::isFeatureEnabled("FromEnv")) << on;
  }
  for (const char* off : {"0", "false", "yes", "", "1 "}) {
    ::setenv("PT_FEATURE_FromEnv", off, 1);
    EXPECT_FALSE(platform::isFeatureEnabled("FromEnv")) << '"' << off << '"';
  }
  ::unsetenv("PT_FEATURE_FromEnv");
  // Names are matched whole: neither a prefix nor an extension of a set name.
  ::setenv("PT_FEATURE_LongerName", "1", 1);
  EXPECT_FALSE(platform::isFeatureEnabled("Longer"));
  EXPECT_FALSE(platform::isFeatureEnabled("LongerNameStill"));
  ::unsetenv("PT_FEATURE_LongerName");

  // Off unless set; a call wins over the environment until it is reset.
  EXPECT_FALSE(platform::isFeatureEnabled("NeverSetAnywhere"));
  ::setenv("PT_FEATURE_Contested", "1", 1);
  platform::setFeature("Contested", false);
  EXPECT_FALSE(platform::isFeatureEnabled("Contested"));
  platform::setFeature("Contested", std::nullopt);
  EXPECT_TRUE(platform::isFeatureEnabled("Contested"));
  ::unsetenv("PT_FEATURE_Contested");
  EXPECT_FALSE(platform::isFeatureEnabled("Contested"));
  platform::setFeature("Contested", true);
  EXPECT_TRUE(platform::isFeatureEnabled("Contested"));
  platform::setFeature("Contested", std::nullopt);
}

TEST(FeatureFlagsThreads, ReadersSeeEveryValueWhileAWriterToggles) {
  platform::setFeature("SteadyOn", true);
  std::atomic<bool> done{false};
  std::atomic<int> seenOn{0}, seenOff{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!done.load()) {
        (platform::isFeatureEnabled("Toggled") ? seenOn : seenOff).fetch_add(1);
        EXPECT_TRUE(platform::isFeatureEnabled("SteadyOn"));
      }
    });
  }
  for (int i = 0; i < 200; ++i) {
    platform::setFeature("Toggled", i % 2 == 0);
    platform::setFeature("Other" + std::to_string(i % 5), true);
    std::this_thread::yield();
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_GT(seenOn.load() + seenOff.load(), 0);
  EXPECT_FALSE(platform::isFeatureEnabled("Toggled"));
}

}  // namespace
