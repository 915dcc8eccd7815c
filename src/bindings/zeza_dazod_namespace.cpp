#include "bindings/zeza_dazod_namespace.h"

#include <memory>

#include "bindings/scoped_tracer_point.h"
#include "platform/host_vm.h"

namespace {

// A namespace function with no inputs and no outputs.
class StringTableFunctionMI : public vesk::COSMethodInfo {
 public:
  explicit StringTableFunctionMI(void (*handler)()) : handler_(handler) {}
  void invoke(int& nOutputs, haArray*[], int, const haArray* const[]) const override {
    nOutputs = 0;
    handler_();
  }

 private:
  void (*handler_)();
};

struct StringTableFunction {
  const char* name;
  void (*handler)();
};

constexpr StringTableFunction kStringTableFunctions[] = {
    {"clsvStringTableDoGarbageCollection", &ZezaDazodCOSNamespaceInfo::stringTableCollectGarbageNow},
    {"clsvStringTableDisableGarbageCollection", &ZezaDazodCOSNamespaceInfo::enterStringTableNoLeakMode},
    {"clsvStringTableEnableGarbageCollection", &ZezaDazodCOSNamespaceInfo::exitStringTableNoLeakMode},
};

void runClsvInternal(const char* command) {
  hvm::HVM* vm = hvm::Factory::getCurrentLocalHVM();
  const platform::HostArrayPtr argument(haCreateString(command));
  const haArray* const inputs[] = {argument.get()};
  vm->feval("clsvInternal", inputs, 0, vm->getOutputSink(), vm->getErrorSink()).get();
}

}  // namespace

ZezaDazodCOSNamespaceInfo& ZezaDazodCOSNamespaceInfo::get() {
  static ZezaDazodCOSNamespaceInfo* const info = new ZezaDazodCOSNamespaceInfo;
  return *info;
}

void ZezaDazodCOSNamespaceInfo::initializeNamespace(vesk::COSNamespace* ns) {
  vesk::factory::detail::initStringDataTypes();
  for (const StringTableFunction& function : kStringTableFunctions) {
    auto method = std::make_unique<StringTableFunctionMI>(function.handler);
    method->setName(function.name);
    method->setSignature(vesk::COSMethodSignature::createMethodSignature({"void"}));
    ns->addFunction(std::move(method));
  }
  registerScopedPerfTracerPoint(vesk::omGetInnerNamespace(vesk::omGetNamespace(getName()), "Tracer"));
}

void ZezaDazodCOSNamespaceInfo::stringTableCollectGarbageNow() { runClsvInternal("clsvStringTableCollectGarbageNow"); }

void ZezaDazodCOSNamespaceInfo::enterStringTableNoLeakMode() { runClsvInternal("clsvEnterTableNoLeakMode"); }

void ZezaDazodCOSNamespaceInfo::exitStringTableNoLeakMode() { runClsvInternal("clsvExitTableNoLeakMode"); }

vesk::COSNamespace* ptGetZezaDazodCOSNamespace() {
  static vesk::COSNamespace* const ns = [] {
    ZezaDazodCOSNamespaceInfo& info = ZezaDazodCOSNamespaceInfo::get();
    vesk::COSNamespace::addNamespace(&info);
    return vesk::COSNamespace::getNamespace(info.getName());
  }();
  return ns;
}
