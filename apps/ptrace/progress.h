// Progress of a long step of ptrace, on standard error: nothing for a step
// that ends within a second, then one line redrawn in place ("\r"): the
// step's name, a bar and the percentage when the share done is known, a
// moving block when it is not. The line is cleared when the step ends, so
// the tool's standard output never has a progress line between its lines.
//
//   const ptrace_tool::Progress writing("writing the report");                // share unknown
//   const ptrace_tool::Progress loading("loading run.kvd", [&] { return done.load(); });
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ptrace_tool {

/// One progress line: `fraction` in [0, 1] (clamped), or negative when the
/// share done is unknown; `tick` moves the block of an unknown share.
std::string progressLine(const std::string& step, double fraction, unsigned tick);

/// True when standard error is a terminal, or PTRACE_PROGRESS=1 asks for progress anyway.
bool progressWanted();

/// A step being done. The line is drawn by a thread of its own, which the
/// destructor stops (waking it at once) after clearing the line.
class Progress {
 public:
  struct Options {
    bool enabled = progressWanted();
    /// A step that ends sooner shows nothing.
    std::chrono::milliseconds threshold{1000};
    std::chrono::milliseconds redraw{100};
    /// Receives the drawn text; standard error when empty.
    std::function<void(const std::string& text)> write;
  };

  /// `fraction` is read from the drawing thread, so it must be safe to call
  /// from there; an empty one, or a negative value, means the share is unknown.
  explicit Progress(std::string step, std::function<double()> fraction = {});
  Progress(std::string step, std::function<double()> fraction, Options options);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  void draw();

  std::string step_;
  std::function<double()> fraction_;
  Options options_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool ended_ = false;
  std::thread drawer_;
};

}  // namespace ptrace_tool
