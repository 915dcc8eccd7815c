#include "bindings/tracer_class_info.h"

#include <memory>

#include "bindings/module_entry.h"
#include "bindings/report_methods.h"
#include "bindings/tracer_methods.h"
#include "platform/host_messages.h"
#include "tracer/performance_tracer.h"

namespace {

namespace methods = pt::bindings::methods;

constexpr bool kOpen = true;
constexpr bool kFixed = false;

// A method without a handler is declared but not available yet: a call raises NotAvailable.
constexpr TracerMethodRow kTracerMethods[] = {
    {"clearRawData", 1, kOpen, 0, methods::clearRawData},
    {"diagnosticReport", 1, kOpen, 0, methods::diagnosticReport},
    {"enable", 1, kOpen, 1, methods::enable},
    {"enableGlobalLogging", 1, kFixed, 1, methods::enableGlobalLogging},
    {"enableCLStartupLogging", 1, kFixed, 1, methods::enableCLStartupLogging},
    {"enableDetailedMemStats", 1, kFixed, 1, methods::enableDetailedMemStats},
    {"generateAggregateDifferenceReport", 1, kOpen, 0, methods::generateAggregateDifferenceReport},
    {"generateDifferenceReport", 1, kOpen, 0, methods::generateDifferenceReport},
    {"generateAggregateReport", 1, kOpen, 0, methods::generateAggregateReport},
    {"generateHTMLReport", 1, kOpen, 0, methods::generateHTMLReport},
    {"generateCLStartupDifferenceReport", 1, kOpen, 0, methods::generateCLStartupDifferenceReport},
    {"generateCLStartupReport", 1, kOpen, 0, methods::generateCLStartupReport},
    {"getProcessedData", 1, kOpen, 1, methods::getProcessedData},
    {"getAggregateProcessedData", 1, kOpen, 1, methods::getAggregateProcessedData},
    {"getRawData", 0, kFixed, 1, methods::getRawData},
    {"loadTracerData", 1, kFixed, 0, methods::loadTracerData},
    {"logKAVLORData", 3, kFixed, 0, methods::logKAVLORData},
    {"logCalvoranData", 5, kFixed, 0, methods::logCalvoranData},
    {"logCLStartupData", 2, kFixed, 0, methods::logCLStartupData},
    {"logQuorindelData", 7, kFixed, 0, methods::logQuorindelData},
    {"logTracerData", 4, kOpen, 0, methods::logTracerData},
    {"addGrouping", 2, kFixed, 0, methods::addGrouping},
    {"removeGrouping", 1, kFixed, 0, methods::removeGrouping},
    {"saveCLStartupData", 1, kOpen, 0, methods::saveCLStartupData},
    {"saveToFile", 1, kFixed, 0, methods::saveToFile},
    {"setStatisticsTypeForModel", 2, kFixed, 0, methods::setStatisticsTypeForModel},
    {"addTestPathToMap", 2, kFixed, 0, methods::addTestPathToMap},
    {"isPerfTracerEnabled", 0, kFixed, 1, methods::isPerfTracerEnabled},
    {"generateCLTestReport", 1, kOpen, 1, methods::generateCLTestReport},
};

}  // namespace

std::span<const TracerMethodRow> tracerMethodTable() { return kTracerMethods; }

PerformanceTracerCOSClassInfo::PerformanceTracerCOSClassInfo() : vesk::COSClassInfo("Tracer", "ZezaDazod") {}

PerformanceTracerCOSClassInfo& PerformanceTracerCOSClassInfo::getClassInfo() {
  static PerformanceTracerCOSClassInfo* const info = new PerformanceTracerCOSClassInfo;
  return *info;
}

vesk::COSClass* PerformanceTracerCOSClassInfo::GetPerformanceTracerCOSClass() {
  static vesk::COSClass* const cls = [] {
    KVInitialize_performance_tracer();
    return vesk::COSClass::getClass(getClassInfo().getFullName());
  }();
  return cls;
}

void PerformanceTracerCOSClassInfo::initializeClass(vesk::COSClass* cls, const vesk::COSClient*) {
  for (const TracerMethodRow& row : kTracerMethods) {
    auto method = std::make_unique<PerformanceTracerBaseMI>(row);
    method->setName(std::string(row.name));
    method->setOwner(cls);
    auto signature = vesk::COSMethodSignature::createMethodSignature();
    for (int i = 0; i < row.inputs; ++i) signature->addInput("any");
    if (row.lastInputOpen) signature->setLastInputOpen();
    for (int i = 0; i < row.outputs; ++i) signature->addOutput("any");
    method->setSignature(std::move(signature));
    cls->addMethod(std::move(method));
  }
}

void* PerformanceTracerCOSClassInfo::allocateInstance(vesk::COSInterface*) { return new PerformanceTracer; }

void PerformanceTracerCOSClassInfo::deallocateInstance(vesk::COSInterface*, void* instance) {
  delete static_cast<PerformanceTracer*>(instance);
}

void PerformanceTracerBaseMI::invoke(int& nOutputs, haArray* outputs[], int nInputs,
                                     const haArray* const inputs[]) const {
  if (row_.handler == nullptr) haErrorMsgIdAndTxt("NotAvailable", "ZezaDazod.Tracer." + getName());
  nOutputs = row_.outputs > 0 ? 1 : 0;
  row_.handler(nOutputs, outputs, nInputs, inputs);
}
