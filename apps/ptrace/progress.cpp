#include "apps/ptrace/progress.h"

#include "platform/environment.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string_view>
#include <system_error>

namespace ptrace_tool {
namespace {

constexpr std::size_t kBarWidth = 20;
constexpr std::size_t kBlockWidth = 3;
// Keeps the line within a narrow terminal: a wrapped line cannot be redrawn with "\r".
constexpr std::size_t kStepWidth = 40;

void writeToStandardError(const std::string& text) { std::cerr << text << std::flush; }

}  // namespace

std::string progressLine(const std::string& step, double fraction, unsigned tick) {
  std::string line = step.size() > kStepWidth ? step.substr(0, kStepWidth - 3) + "..." : step;
  std::string bar(kBarWidth, ' ');
  if (fraction < 0) {
    // The block goes to the end and back.
    const std::size_t positions = kBarWidth - kBlockWidth + 1;
    const std::size_t phase = tick % (2 * positions - 2);
    const std::size_t at = phase < positions ? phase : 2 * positions - 2 - phase;
    bar.replace(at, kBlockWidth, "<=>");
    return line + " [" + bar + "]";
  }
  fraction = std::min(fraction, 1.0);
  bar.replace(0, static_cast<std::size_t>(fraction * kBarWidth), static_cast<std::size_t>(fraction * kBarWidth), '#');
  const std::string percent = std::to_string(static_cast<int>(fraction * 100));
  return line + " [" + bar + "] " + std::string(3 - percent.size(), ' ') + percent + "%";
}

bool progressWanted() {
  return platform::environmentVariable("PTRACE_PROGRESS") == "1" || ::isatty(STDERR_FILENO) == 1;
}

Progress::Progress(std::string step, std::function<double()> fraction)
    : Progress(std::move(step), std::move(fraction), Options()) {}

Progress::Progress(std::string step, std::function<double()> fraction, Options options)
    : step_(std::move(step)), fraction_(std::move(fraction)), options_(std::move(options)) {
  if (!options_.enabled) return;
  if (!options_.write) options_.write = writeToStandardError;
  // What the tool printed before the step is out before any progress line.
  std::cout.flush();
  try {
    drawer_ = std::thread([this] { draw(); });
  } catch (const std::system_error&) {
    // No thread to spare: the step goes on without its progress line.
  }
}

Progress::~Progress() {
  if (!drawer_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    ended_ = true;
  }
  wake_.notify_one();
  drawer_.join();
}

void Progress::draw() {
  std::unique_lock lock(mutex_);
  if (wake_.wait_for(lock, options_.threshold, [this] { return ended_; })) return;
  std::size_t width = 0;
  unsigned tick = 0;
  do {
    const std::string line = progressLine(step_, fraction_ ? fraction_() : -1.0, tick++);
    // A shorter line than the last leaves no remnant of it.
    const std::size_t padding = width > line.size() ? width - line.size() : 0;
    options_.write("\r" + line + std::string(padding, ' '));
    width = std::max(width, line.size());
  } while (!wake_.wait_for(lock, options_.redraw, [this] { return ended_; }));
  // Built in place: "\r" + a temporary trips a false -Wrestrict of GCC 12 at -O3.
  std::string blank(width + 2, ' ');
  blank.front() = '\r';
  blank.back() = '\r';
  options_.write(blank);
}

}  // namespace ptrace_tool
