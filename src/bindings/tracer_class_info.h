// The host class ZezaDazod.Tracer: its class information, its method table
// and the method objects through which host calls reach the handlers.
//
//   vesk::COSClass* tracer = PerformanceTracerCOSClassInfo::GetPerformanceTracerCOSClass();
//   auto out = tracer->callStatic("isPerfTracerEnabled", {}, 1);
//
// Every method is static and works on the process-wide tracer. A method
// whose handler has not been written yet raises "NotAvailable" naming it.
#pragma once

#include <span>
#include <string_view>

#include "platform/object_system.h"

/// Fills outputs[0..) and sets nOutputs to how many it made (1 for methods with
/// an output); errors are host errors.
using TracerMethodHandler = void (*)(int& nOutputs, haArray* outputs[], int nInputs, const haArray* const inputs[]);

/// One row of the method table.
struct TracerMethodRow {
  std::string_view name;
  int inputs;                   ///< declared inputs of type "any"
  bool lastInputOpen;           ///< the last declared input takes any number of values
  int outputs;                  ///< declared outputs of type "any"
  TracerMethodHandler handler;  ///< null: not available yet
};

/// The methods of ZezaDazod.Tracer in registration order.
std::span<const TracerMethodRow> tracerMethodTable();

class PerformanceTracerCOSClassInfo : public vesk::COSClassInfo {
 public:
  /// Made on first use, never destroyed.
  static PerformanceTracerCOSClassInfo& getClassInfo();
  /// The registered class, registering the module first if need be.
  static vesk::COSClass* GetPerformanceTracerCOSClass();

  /// Adds every method of the table, in order.
  void initializeClass(vesk::COSClass* cls, const vesk::COSClient* client) override;
  /// A PerformanceTracer of the host object's own; the methods never use it.
  void* allocateInstance(vesk::COSInterface* object) override;
  void deallocateInstance(vesk::COSInterface* object, void* instance) override;

 private:
  PerformanceTracerCOSClassInfo();
};

/// A method of ZezaDazod.Tracer: a row of the table bound to the class.
class PerformanceTracerBaseMI : public vesk::COSMethodInfo {
 public:
  explicit PerformanceTracerBaseMI(const TracerMethodRow& row) : row_(row) {}
  void invoke(int& nOutputs, haArray* outputs[], int nInputs, const haArray* const inputs[]) const override;

 private:
  const TracerMethodRow& row_;
};
