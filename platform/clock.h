// Clocks: the two times every trace point carries.
//
// The tracer reads time through a `platform::Clock` so that tests can inject a
// deterministic one:
//   platform::Clock& clock = platform::systemClock();
//   double wall = clock.wallClockSeconds(), cpu = clock.cpuSeconds();
#pragma once

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  /// Seconds on the real-time scale (Unix epoch), sub-microsecond resolution.
  virtual double wallClockSeconds() = 0;
  /// CPU seconds (user + system) consumed by all threads of the process so far.
  virtual double cpuSeconds() = 0;
};

/// The machine's clocks; lives for the whole process.
Clock& systemClock();

}  // namespace platform
