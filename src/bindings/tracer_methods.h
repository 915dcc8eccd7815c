// Handlers of the static methods of ZezaDazod.Tracer that record points,
// switch logging, manage groupings and move data in and out. Each checks its
// inputs, converts them and calls one exported function of the tracer.
//
//   int n = 1; haArray* out[1]; pt::bindings::methods::enable(n, out, 1, inputs);
//
// Each is a TracerMethodHandler (bindings/tracer_class_info.h).
#pragma once

#include "platform/host_array.h"

namespace pt::bindings::methods {

using Handler = void(int& nOutputs, haArray* outputs[], int nInputs, const haArray* const inputs[]);

Handler clearRawData;
Handler enable;
Handler enableGlobalLogging;
Handler enableCLStartupLogging;
Handler enableDetailedMemStats;
Handler getProcessedData;
Handler getAggregateProcessedData;
Handler getRawData;
Handler loadTracerData;
Handler logKAVLORData;
Handler logCalvoranData;
Handler logCLStartupData;
Handler logQuorindelData;
Handler logTracerData;
Handler addGrouping;
Handler removeGrouping;
Handler saveCLStartupData;
Handler saveToFile;
Handler setStatisticsTypeForModel;
Handler addTestPathToMap;
Handler isPerfTracerEnabled;

}  // namespace pt::bindings::methods
