// Deterministic clock and memory probe for tracer tests; both can log their
// reads so that tests see the order of sampling.
//   FakeClock clock;  tracer.setClock(&clock);  clock.wall = 12.5;
//   FakeMemoryProbe probe;  tracer.setMemoryProbe(&probe);
#pragma once

#include "platform/clock.h"
#include "platform/memory_probe.h"

#include <string>
#include <vector>

using CallLog = std::vector<std::string>;

class FakeClock final : public platform::Clock {
 public:
  explicit FakeClock(CallLog* log = nullptr) : log_(log) {}
  double wallClockSeconds() override {
    note("wall");
    return wall;
  }
  double cpuSeconds() override {
    note("cpu");
    return cpu;
  }

  double wall = 100.0;
  double cpu = 2.0;

 private:
  void note(const char* what) {
    if (log_ != nullptr) log_->push_back(what);
  }
  CallLog* log_;
};

class FakeMemoryProbe final : public platform::MemoryProbe {
 public:
  explicit FakeMemoryProbe(CallLog* log = nullptr) : log_(log) {}
  bool readBasic(platform::BasicMemoryReading& out) override { return read("basic", basic, basicFails, out); }
  bool readDetailed(platform::DetailedMemoryReading& out) override {
    return read("detailed", detailed, detailedFails, out);
  }

  platform::BasicMemoryReading basic{1000.0, 2000.0, 3000.0};
  platform::DetailedMemoryReading detailed{10, 20, 30, 40, 50};
  bool basicFails = false;
  bool detailedFails = false;

 private:
  template <class Reading>
  bool read(const char* what, const Reading& value, bool fails, Reading& out) {
    if (log_ != nullptr) log_->push_back(what);
    if (!fails) out = value;
    return !fails;
  }
  CallLog* log_;
};
