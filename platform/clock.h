// Clocks: the two times every trace point carries.
//
// The tracer reads time through a `platform::Clock` so that tests can inject a
// deterministic one:
//   platform::Clock& clock = platform::systemClock();
//   double wall = clock.wallClockSeconds(), cpu = clock.cpuSeconds();
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  /// Seconds on the real-time scale (Unix epoch), sub-microsecond resolution.
  virtual double wallClockSeconds() = 0;
  /// CPU seconds (user + system) consumed by all threads of the process so far.
  virtual double cpuSeconds() = 0;
  /// Seconds since the Unix epoch of a calendar time in the machine's time
  /// zone (daylight saving as `calendar.tm_isdst` says); -1 when it cannot be
  /// represented.
  virtual std::int64_t localCalendarSeconds(std::tm calendar);
};

/// The machine's clocks; lives for the whole process.
Clock& systemClock();

}  // namespace platform
