#include "bindings/scoped_tracer_point.h"

#include <atomic>
#include <memory>

#include "bindings/argument_checks.h"
#include "host/cell_records.h"
#include "platform/feature_flags.h"
#include "platform/host_messages.h"
#include "platform/host_vm.h"
#include "platform/instrument/emit.h"
#include "tracer/pt_logging.h"
#include "tracer/recorder.h"

namespace {

// -1 not read yet, else the feature's answer.
std::atomic<int> useRecorder{-1};

class ScopedPerfTracerPointDefaultCtorMI : public vesk::COSMethodInfo {
 public:
  Kind getKind() const override { return Kind::kConstructor; }
  void invokeOnInstance(vesk::COSInterface& self, int& nOutputs, haArray*[], int nInputs,
                        const haArray* const inputs[]) const override {
    nOutputs = 0;
    static_cast<ScopedPerfTracerPoint_VESK*>(self.getInstance())->start(nInputs, inputs);
  }
};

class ScopedPerfTracerPointStopMI : public vesk::COSMethodInfo {
 public:
  Kind getKind() const override { return Kind::kInstance; }
  void invokeOnInstance(vesk::COSInterface& self, int& nOutputs, haArray*[], int,
                        const haArray* const[]) const override {
    nOutputs = 0;
    static_cast<ScopedPerfTracerPoint_VESK*>(self.getInstance())->stopVESK();
  }
};

// Points made on a secondary machine carry its identifier, so the recorder
// tells them apart; the main machine's carry none.
std::uint64_t eventSource() {
  const hvm::HVM* vm = hvm::Factory::getCurrentLocalHVM();
  return vm->isMain() ? 0 : vm->getId();
}

}  // namespace

// ------------------------------------------------------------- Class information

ScopedPerfTracerPointCI::ScopedPerfTracerPointCI()
    : vesk::COSClassInfo("ScopedTracerData", "ZezaDazod.Tracer", "Instrumentation Point for Performance Tracer") {}

ScopedPerfTracerPointCI& ScopedPerfTracerPointCI::getClassInfo() {
  static ScopedPerfTracerPointCI* const info = new ScopedPerfTracerPointCI;
  return *info;
}

void ScopedPerfTracerPointCI::initializeClass(vesk::COSClass* cls, const vesk::COSClient*) {
  auto constructor = std::make_unique<ScopedPerfTracerPointDefaultCtorMI>();
  constructor->setName(getName());
  auto signature = vesk::COSMethodSignature::createMethodSignature({"any", "any", "any"});
  signature->setLastInputOpen();
  signature->addOutput(getFullName());
  constructor->setSignature(std::move(signature));
  cls->addMethod(std::move(constructor));

  auto stop = std::make_unique<ScopedPerfTracerPointStopMI>();
  stop->setName("stop");
  stop->setSignature(vesk::COSMethodSignature::createMethodSignature());
  cls->addMethod(std::move(stop));
}

void* ScopedPerfTracerPointCI::allocateInstance(vesk::COSInterface*) { return new ScopedPerfTracerPoint_VESK; }

void ScopedPerfTracerPointCI::deallocateInstance(vesk::COSInterface*, void* instance) {
  std::unique_ptr<ScopedPerfTracerPoint_VESK> point(static_cast<ScopedPerfTracerPoint_VESK*>(instance));
  if (point) point->stopVESK();
}

void registerScopedPerfTracerPoint(vesk::COSNamespace* ns) { ns->addClass(ScopedPerfTracerPointCI::getClassInfo()); }

// ------------------------------------------------------------------- Instance

bool ScopedPerfTracerPoint_VESK::feature_useRecorder() {
  int known = useRecorder.load(std::memory_order_acquire);
  if (known < 0) {
    known = platform::isFeatureEnabled(kUsePerformanceTracerRecorderFeature) ? 1 : 0;
    // The first answer wins when two threads read at once.
    int expected = -1;
    if (!useRecorder.compare_exchange_strong(expected, known, std::memory_order_acq_rel)) known = expected;
  }
  return known == 1;
}

void ScopedPerfTracerPoint_VESK::forgetFeature() { useRecorder.store(-1, std::memory_order_release); }

void ScopedPerfTracerPoint_VESK::start(int nInputs, const haArray* const inputs[]) {
  try {
    pt::bindings::checkInputCount(nInputs, 2, -1);
    pt::bindings::checkEvenInputCount(nInputs);
    std::string groupingText = pt::bindings::textArgument(inputs[0], "Grouping");
    std::string phaseText = pt::bindings::textArgument(inputs[1], "Phase");
    std::vector<std::string> texts;
    for (int i = 2; i < nInputs; ++i) texts.push_back(ptCreateStringFrom_haArray(inputs[i]));

    const bool recorder = feature_useRecorder();
    if (recorder)
      control = &instrument::controls.getHandle(groupingText);
    else
      grouping = std::move(groupingText);
    phase = std::move(phaseText);
    contexts = std::move(texts);
    if (recorder) {
      // The entries' names are views of `contexts`, which the point keeps.
      eventId = instrument::startEvent(*control, makeContextEntriesWithPhase(phase, contexts), eventSource());
    } else {
      ptLogTracerDataVecInput(grouping, phase, true, contexts);
    }
  } catch (...) {
    stopped = true;
    throw;
  }
}

void ScopedPerfTracerPoint_VESK::stopVESK() {
  if (stopped) return;
  if (control != nullptr) {
    // Without a started event there is nothing to end, and the point stays open.
    if (!eventId.isEvent()) return;
    instrument::stopEvent(*control, eventId);
  } else {
    ptLogTracerDataVecInput(grouping, phase, false, contexts);
  }
  stopped = true;
}
