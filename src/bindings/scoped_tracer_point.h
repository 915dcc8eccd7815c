// The host class ZezaDazod.Tracer.ScopedTracerData: an object that marks one
// phase of work from host code. Creating it logs the start of the phase;
// `stop`, or the object's destruction, logs the end, once.
//
//   registerScopedPerfTracerPoint(vesk::omGetInnerNamespace(zezaDazod, "Tracer"));
//   auto point = vesk::createObject("ZezaDazod.Tracer.ScopedTracerData", {grouping, phase});
//
// With the feature "UsePerformanceTracerRecorder" on (read once per process),
// the phase is an instrumentation event of the grouping's control instead of
// a pair of tracer points.
#pragma once

#include <string>
#include <vector>

#include "platform/instrument/controls.h"
#include "platform/instrument/event_id.h"
#include "platform/object_system.h"

class ScopedPerfTracerPointCI : public vesk::COSClassInfo {
 public:
  /// Made on first use, never destroyed.
  static ScopedPerfTracerPointCI& getClassInfo();

  /// Adds the constructor and `stop`.
  void initializeClass(vesk::COSClass* cls, const vesk::COSClient* client) override;
  /// A fresh, not yet started ScopedPerfTracerPoint_VESK.
  void* allocateInstance(vesk::COSInterface* object) override;
  /// Stops the point, then frees it.
  void deallocateInstance(vesk::COSInterface* object, void* instance) override;

 private:
  ScopedPerfTracerPointCI();
};

/// The native instance behind a ScopedTracerData object.
struct ScopedPerfTracerPoint_VESK {
  std::vector<std::string> contexts;  ///< identifier/value texts after the phase
  bool stopped = false;
  instrument::ControlElement* control = nullptr;  ///< recorder mode only
  instrument::EventId eventId;                    ///< recorder mode; no event until one was started
  std::string grouping;                           ///< logging mode only
  std::string phase;

  /// Whether points go to the instrumentation recorder: the process's
  /// feature, read on first use and then kept.
  static bool feature_useRecorder();
  /// Forgets the kept answer, so that the next use reads the feature again.
  /// For tests that switch modes within one process.
  static void forgetFeature();

  /// Checks the inputs and logs the start; on an error nothing is logged and
  /// the point is marked stopped, so that releasing it logs nothing either.
  void start(int nInputs, const haArray* const inputs[]);
  /// Logs the end unless it was logged already.
  void stopVESK();
};

/// Registers ZezaDazod.Tracer.ScopedTracerData into `ns` (ZezaDazod.Tracer).
void registerScopedPerfTracerPoint(vesk::COSNamespace* ns);
