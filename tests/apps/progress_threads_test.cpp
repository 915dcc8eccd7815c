#include "apps/ptrace/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;
using ptrace_tool::Progress;
using ptrace_tool::progressLine;

// What the drawing thread wrote, to be read by the test thread.
class Screen {
 public:
  std::function<void(const std::string&)> writer() {
    return [this](const std::string& text) {
      const std::lock_guard lock(mutex_);
      text_ += text;
      ++writes_;
      changed_.notify_all();
    };
  }
  // The number of writes once there are at least `count`, or fewer after a long wait.
  std::size_t waitForWrites(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, 30s, [&] { return writes_ >= count; });
    return writes_;
  }
  std::string text() {
    const std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  std::size_t writes_ = 0;
};

Progress::Options drawingTo(Screen& screen, std::chrono::milliseconds threshold) {
  return {.enabled = true, .threshold = threshold, .redraw = 1ms, .write = screen.writer()};
}

TEST(ProgressLine, AKnownShareShowsABarAndPercentAnUnknownOneABlock) {
  EXPECT_EQ(progressLine("loading a.kvd", 0.5, 0), "loading a.kvd [##########          ]  50%");
  EXPECT_EQ(progressLine("x", 0.0, 7), "x [                    ]   0%");
  EXPECT_EQ(progressLine("x", 1.7, 0), "x [####################] 100%");
  EXPECT_EQ(progressLine(std::string(50, 'a'), 0.25, 0), std::string(37, 'a') + "... [#####               ]  25%");
  // An unknown share moves a block to the end and back.
  EXPECT_EQ(progressLine("x", -1, 0), "x [<=>                 ]");
  EXPECT_EQ(progressLine("x", -1, 17), "x [                 <=>]");
  EXPECT_EQ(progressLine("x", -1, 18), "x [                <=> ]");
  EXPECT_EQ(progressLine("x", -1, 34), progressLine("x", -1, 0));
}

TEST(ProgressThreads, AStepShorterThanTheThresholdDrawsNothingAndEndsAtOnce) {
  Screen screen;
  const auto start = std::chrono::steady_clock::now();
  {
    const Progress step("loading", {}, drawingTo(screen, std::chrono::hours(1)));
    // Time enough for a drawing thread that ignored the threshold to show itself.
    std::this_thread::sleep_for(50ms);
  }
  // Ending the step wakes the drawing thread instead of waiting out the hour.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
  EXPECT_EQ(screen.text(), "");
}

TEST(ProgressThreads, ALongStepRedrawsOneLineInPlaceAndClearsIt) {
  Screen screen;
  std::atomic<double> share = 0.25;
  {
    const Progress step(
        "loading", [&] { return share.load(); }, drawingTo(screen, 1ms));
    const std::size_t before = screen.waitForWrites(1);
    share = 0.75;
    // The second write from now reads the new share.
    ASSERT_GE(screen.waitForWrites(before + 2), before + 2);
  }
  const std::string text = screen.text();
  const std::string first = progressLine("loading", 0.25, 0);
  EXPECT_EQ(text.rfind("\r" + first, 0), 0u) << text;
  EXPECT_NE(text.find(std::string("\r").append(progressLine("loading", 0.75, 0))), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  // The last write blanks the whole line and leaves the cursor at its start.
  EXPECT_TRUE(text.ends_with(std::string("\r").append(first.size(), ' ').append("\r"))) << text;
}

TEST(ProgressThreads, UnknownShareIsDrawnWithoutPercent) {
  Screen screen;
  {
    const Progress step("analysing", {}, drawingTo(screen, 1ms));
    screen.waitForWrites(1);
  }
  const std::string text = screen.text();
  EXPECT_EQ(text.rfind("\ranalysing [<=>", 0), 0u) << text;
  EXPECT_EQ(text.find('%'), std::string::npos) << text;
}

}  // namespace
