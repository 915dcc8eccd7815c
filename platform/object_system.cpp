#include "platform/object_system.h"

#include <algorithm>
#include <cassert>
#include <mutex>
#include <set>
#include <stdexcept>

#include "platform/host_messages.h"

namespace vesk {
namespace {

// One lock over every namespace, class and type table. It is recursive
// because registration calls back into native code (initializeNamespace,
// initializeClass) that looks up and adds names on the same thread. Methods
// run without it: the objects they need are never removed.
struct Registry {
  std::recursive_mutex mutex;
  std::vector<std::unique_ptr<COSNamespace>> topLevel;
  std::vector<std::pair<std::string, COSNamespace*>> namespaces;  // every namespace by full name
  std::vector<std::pair<std::string, COSClass*>> classes;
  std::set<std::string, std::less<>> types{"any",   "cell",  "struct", "logical", "char",   "double", "single", "int8",
                                           "uint8", "int16", "uint16", "int32",   "uint32", "int64",  "uint64"};

  template <class T>
  static T* find(const std::vector<std::pair<std::string, T*>>& table, std::string_view name) {
    for (const auto& [entryName, entry] : table)
      if (entryName == name) return entry;
    return nullptr;
  }

  // Never destroyed: host objects may be released by static destructors.
  static Registry& instance() {
    static Registry* const registry = new Registry;
    return *registry;
  }
};

std::string joinName(std::string_view enclosing, std::string_view name) {
  return enclosing.empty() ? std::string(name) : std::string(enclosing) + "." + std::string(name);
}

bool acceptsType(std::string_view type, const haArray* value) {
  if (type == "any") return true;
  if (type == "string") return haIsCharVector(value);
  return value != nullptr && type == haGetClassName(value);
}

std::string qualifiedName(const COSMethodInfo& method) {
  return method.getOwner() ? joinName(method.getOwner()->getFullName(), method.getName()) : method.getName();
}

// The one call path: signature checks, the call, and the outputs taken over.
std::vector<platform::HostArrayPtr> run(const COSMethodInfo& method, COSInterface* self,
                                        std::span<const haArray* const> inputs, int nOutputs) {
  const COSMethodSignature& signature = method.getSignature();
  const std::string name = qualifiedName(method);
  if (!signature.acceptsInputCount(inputs.size()))
    haErrorMsgIdAndTxt("vesk:TooManyInputs", name, std::to_string(signature.inputs().size()));
  {
    Registry& registry = Registry::instance();
    std::lock_guard<std::recursive_mutex> lock(registry.mutex);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      const std::string& type = signature.inputType(i);
      if (!registry.types.contains(type)) haErrorMsgIdAndTxt("vesk:UnknownType", type, name);
      if (!acceptsType(type, inputs[i]))
        haErrorMsgIdAndTxt("vesk:InputTypeMismatch", std::to_string(i + 1), name, type);
    }
  }
  const std::size_t declared = method.getKind() == COSMethodInfo::Kind::kConstructor ? 0 : signature.outputs().size();
  if (nOutputs < 0 || static_cast<std::size_t>(nOutputs) > declared)
    haErrorMsgIdAndTxt("vesk:TooManyOutputs", name, std::to_string(declared));

  std::vector<haArray*> slots(std::max<std::size_t>(declared, 1), nullptr);
  std::vector<platform::HostArrayPtr> outputs;
  // Unless the method says otherwise, it filled what was asked for, and at
  // least its first output, which the host keeps as the answer of a call
  // that asked for nothing.
  int produced = std::max(nOutputs, declared > 0 ? 1 : 0);
  try {
    if (self)
      method.invokeOnInstance(*self, produced, slots.data(), static_cast<int>(inputs.size()), inputs.data());
    else
      method.invoke(produced, slots.data(), static_cast<int>(inputs.size()), inputs.data());
  } catch (...) {
    for (haArray* slot : slots) haDestroyArray(slot);
    throw;
  }
  produced = std::clamp(produced, 0, static_cast<int>(slots.size()));
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (i < static_cast<std::size_t>(produced) && slots[i] != nullptr)
      outputs.emplace_back(slots[i]);
    else
      haDestroyArray(slots[i]);
  }
  if (outputs.size() < static_cast<std::size_t>(nOutputs))
    haErrorMsgIdAndTxt("vesk:OutputNotSet", name, std::to_string(outputs.size() + 1));
  return outputs;
}

}  // namespace

// ------------------------------------------------------------ Signatures

std::unique_ptr<COSMethodSignature> COSMethodSignature::createMethodSignature() {
  return std::make_unique<COSMethodSignature>();
}

std::unique_ptr<COSMethodSignature> COSMethodSignature::createMethodSignature(
    const std::vector<std::string>& inputTypes) {
  auto signature = createMethodSignature();
  if (inputTypes.size() == 1 && inputTypes.front() == "void") return signature;
  for (const std::string& type : inputTypes) signature->addInput(type);
  return signature;
}

const std::string& COSMethodSignature::inputType(std::size_t index) const {
  assert(!inputs_.empty() && "a call with inputs passed the count check");
  return inputs_[std::min(index, inputs_.size() - 1)];
}

// --------------------------------------------------------------- Methods

COSMethodInfo::~COSMethodInfo() = default;

const COSMethodSignature& COSMethodInfo::getSignature() const {
  static const COSMethodSignature none;
  return signature_ ? *signature_ : none;
}

void COSMethodInfo::invoke(int&, haArray*[], int, const haArray* const[]) const {
  haErrorMsgIdAndTxt("vesk:NotStatic", qualifiedName(*this));
}

void COSMethodInfo::invokeOnInstance(COSInterface&, int&, haArray*[], int, const haArray* const[]) const {
  haErrorMsgIdAndTxt("vesk:NotInstanceMethod", qualifiedName(*this));
}

// --------------------------------------------------------------- Classes

COSClassInfo::COSClassInfo(std::string name, std::string enclosingName, std::string description)
    : name_(std::move(name)),
      enclosingName_(std::move(enclosingName)),
      fullName_(joinName(enclosingName_, name_)),
      description_(std::move(description)) {}

COSClassInfo::~COSClassInfo() = default;

void* COSClassInfo::allocateInstance(COSInterface*) { return nullptr; }

void COSClassInfo::deallocateInstance(COSInterface*, void*) {}

COSClass* COSClass::getClass(std::string_view fullName) {
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  if (COSClass* found = Registry::find(registry.classes, fullName)) return found;
  // Not registered yet: the enclosing namespace may know how to load it.
  const std::size_t dot = fullName.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  COSNamespace* enclosing = Registry::find(registry.namespaces, fullName.substr(0, dot));
  if (enclosing == nullptr || enclosing->getInfo() == nullptr) return nullptr;
  return enclosing->getInfo()->attemptToLoadClass(enclosing, fullName.substr(dot + 1));
}

void COSClass::addMethod(std::unique_ptr<COSMethodInfo> method) {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  if (findMethod(method->getName()) != nullptr ||
      (method->getKind() == COSMethodInfo::Kind::kConstructor && getConstructor() != nullptr)) {
    haErrorMsgIdAndTxt("vesk:NameAlreadyDefined", joinName(getFullName(), method->getName()));
  }
  method->setOwner(this);
  methods_.push_back(std::move(method));
}

const COSMethodInfo* COSClass::findMethod(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  for (const auto& method : methods_)
    if (method->getKind() != COSMethodInfo::Kind::kConstructor && method->getName() == name) return method.get();
  return nullptr;
}

std::vector<const COSMethodInfo*> COSClass::getMethods() const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  std::vector<const COSMethodInfo*> methods;
  for (const auto& method : methods_) methods.push_back(method.get());
  return methods;
}

const COSMethodInfo* COSClass::getConstructor() const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  for (const auto& method : methods_)
    if (method->getKind() == COSMethodInfo::Kind::kConstructor) return method.get();
  return nullptr;
}

std::vector<platform::HostArrayPtr> COSClass::callStatic(std::string_view method,
                                                         std::span<const haArray* const> inputs, int nOutputs) const {
  const COSMethodInfo* found = findMethod(method);
  if (found == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedMethod", method, getFullName());
  if (found->getKind() != COSMethodInfo::Kind::kStatic) haErrorMsgIdAndTxt("vesk:NotStatic", qualifiedName(*found));
  return run(*found, nullptr, inputs, nOutputs);
}

std::unique_ptr<COSInterface> COSClass::newObject(std::span<const haArray* const> inputs) {
  const COSMethodInfo* constructor = getConstructor();
  if (constructor == nullptr && !inputs.empty()) haErrorMsgIdAndTxt("vesk:NoConstructor", getFullName());
  auto object = std::make_unique<COSInterface>(*this);
  object->instance_ = info_.allocateInstance(object.get());
  // Destroying the object on an error frees the instance again.
  if (constructor != nullptr) run(*constructor, object.get(), inputs, 0);
  return object;
}

COSInterface::~COSInterface() { class_.getClassInfo().deallocateInstance(this, instance_); }

std::vector<platform::HostArrayPtr> COSInterface::call(std::string_view method, std::span<const haArray* const> inputs,
                                                       int nOutputs) {
  const COSMethodInfo* found = class_.findMethod(method);
  if (found == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedMethod", method, class_.getFullName());
  if (found->getKind() != COSMethodInfo::Kind::kInstance)
    haErrorMsgIdAndTxt("vesk:NotInstanceMethod", qualifiedName(*found));
  return run(*found, this, inputs, nOutputs);
}

// ------------------------------------------------------------ Namespaces

COSNamespaceInfo::~COSNamespaceInfo() = default;

void COSNamespaceInfo::initializeNamespace(COSNamespace*) {}

COSNamespace* COSNamespaceInfo::attemptToLoadInnerNamespace(COSNamespace*, std::string_view) { return nullptr; }

COSClass* COSNamespaceInfo::attemptToLoadClass(COSNamespace*, std::string_view) { return nullptr; }

const COSMethodInfo* COSNamespaceInfo::attemptToLoadFunction(COSNamespace*, std::string_view) { return nullptr; }

bool COSNamespaceInfo::attemptToLoadType(COSNamespace*, std::string_view) { return false; }

void COSNamespaceInfo::throwErrorForDefinitionOfExistingName(std::string_view fullName) const {
  haErrorMsgIdAndTxt("vesk:NameAlreadyDefined", fullName);
}

void COSNamespace::addNamespace(COSNamespaceInfo* info) {
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  const std::string name = info->getName();
  if (Registry::find(registry.namespaces, name) != nullptr) info->throwErrorForDefinitionOfExistingName(name);
  COSNamespace* ns = registry.topLevel.emplace_back(std::make_unique<COSNamespace>(name, info)).get();
  registry.namespaces.emplace_back(name, ns);
  info->initializeNamespace(ns);
}

COSNamespace* COSNamespace::getNamespace(std::string_view fullName) {
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  return Registry::find(registry.namespaces, fullName);
}

COSNamespace& COSNamespace::getInnerNamespace(std::string_view name) {
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  const std::string fullName = joinName(fullName_, name);
  if (COSNamespace* found = Registry::find(registry.namespaces, fullName)) return *found;
  COSNamespace* loaded = info_ ? info_->attemptToLoadInnerNamespace(this, name) : nullptr;
  if (loaded != nullptr) return *loaded;
  COSNamespace* made = inner_.emplace_back(std::make_unique<COSNamespace>(fullName, nullptr)).get();
  registry.namespaces.emplace_back(fullName, made);
  return *made;
}

COSClass& COSNamespace::addClass(COSClassInfo& info) {
  if (info.getEnclosingName() != fullName_)
    throw std::invalid_argument("class " + info.getFullName() + " does not belong in namespace " + fullName_);
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  if (info_ != nullptr && info_->isLocked()) haErrorMsgIdAndTxt("vesk:NamespaceLocked", fullName_);
  if (Registry::find(registry.classes, info.getFullName()) != nullptr) {
    if (info_ != nullptr) info_->throwErrorForDefinitionOfExistingName(info.getFullName());
    haErrorMsgIdAndTxt("vesk:NameAlreadyDefined", info.getFullName());
  }
  COSClass* cls = classes_.emplace_back(std::make_unique<COSClass>(info, *this)).get();
  registry.classes.emplace_back(info.getFullName(), cls);
  const COSClient client;
  info.initializeClass(cls, &client);
  return *cls;
}

void COSNamespace::addFunction(std::unique_ptr<COSMethodInfo> function) {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  if (info_ != nullptr && info_->isLocked()) haErrorMsgIdAndTxt("vesk:NamespaceLocked", fullName_);
  const std::string fullName = joinName(fullName_, function->getName());
  for (const auto& existing : functions_) {
    if (existing->getName() != function->getName()) continue;
    if (info_ != nullptr) info_->throwErrorForDefinitionOfExistingName(fullName);
    haErrorMsgIdAndTxt("vesk:NameAlreadyDefined", fullName);
  }
  function->setOwner(nullptr);
  functions_.push_back(std::move(function));
}

const COSMethodInfo* COSNamespace::findFunction(std::string_view name) const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  for (const auto& function : functions_)
    if (function->getName() == name) return function.get();
  return info_ ? info_->attemptToLoadFunction(const_cast<COSNamespace*>(this), name) : nullptr;
}

std::vector<std::string> COSNamespace::getFunctionNames() const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  std::vector<std::string> names;
  for (const auto& function : functions_) names.push_back(function->getName());
  return names;
}

std::vector<COSClass*> COSNamespace::getClasses() const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  std::vector<COSClass*> classes;
  for (const auto& cls : classes_) classes.push_back(cls.get());
  return classes;
}

std::vector<COSNamespace*> COSNamespace::getInnerNamespaces() const {
  std::lock_guard<std::recursive_mutex> lock(Registry::instance().mutex);
  std::vector<COSNamespace*> inner;
  for (const auto& ns : inner_) inner.push_back(ns.get());
  return inner;
}

COSNamespace* omGetNamespace(std::string_view fullName) { return COSNamespace::getNamespace(fullName); }

COSNamespace* omGetInnerNamespace(COSNamespace* ns, std::string_view name) {
  return ns ? &ns->getInnerNamespace(name) : nullptr;
}

// ----------------------------------------------------------------- Calls

std::vector<platform::HostArrayPtr> callStaticMethod(std::string_view className, std::string_view method,
                                                     std::span<const haArray* const> inputs, int nOutputs) {
  const COSClass* cls = COSClass::getClass(className);
  if (cls == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedClass", className);
  return cls->callStatic(method, inputs, nOutputs);
}

std::vector<platform::HostArrayPtr> callFunction(std::string_view fullName, std::span<const haArray* const> inputs,
                                                 int nOutputs) {
  const std::size_t dot = fullName.rfind('.');
  const COSNamespace* ns =
      dot == std::string_view::npos ? nullptr : COSNamespace::getNamespace(fullName.substr(0, dot));
  const COSMethodInfo* function = ns ? ns->findFunction(fullName.substr(dot + 1)) : nullptr;
  if (function == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedFunction", fullName);
  return run(*function, nullptr, inputs, nOutputs);
}

std::unique_ptr<COSInterface> createObject(std::string_view className, std::span<const haArray* const> inputs) {
  COSClass* cls = COSClass::getClass(className);
  if (cls == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedClass", className);
  return cls->newObject(inputs);
}

namespace factory::detail {
void initStringDataTypes() {
  Registry& registry = Registry::instance();
  std::lock_guard<std::recursive_mutex> lock(registry.mutex);
  registry.types.insert("string");
}
}  // namespace factory::detail

}  // namespace vesk
