// Host object system: the namespaces, classes, methods and objects through
// which host-language code reaches native code.
//
//   vesk::COSNamespace::addNamespace(&myNamespaceInfo);        // calls its initializeNamespace
//   auto out = vesk::callStaticMethod("Pkg.Clock", "now", {}, 1);
//
// A registry of nested namespaces, each holding classes and functions. A class
// is described by its class information (`COSClassInfo`), which adds the
// class's methods when the class is registered and makes and frees the native
// instance behind each host object. Every method has a signature: typed inputs
// (the last may be open, taking any number of values) and typed outputs. A
// call goes by full class name and method name, with host arrays in and host
// arrays out; every failure is a message-identifier error (platform::HostError).
//
// Nothing is ever unregistered: class, namespace and method objects live as
// long as the process, so pointers to them stay valid. Registration and
// lookup may be called from any thread; a method runs on its caller's thread
// without any lock held.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host_array.h"

namespace vesk {

class COSClass;
class COSNamespace;
class COSInterface;

/// Who asked for a class to be set up; the stand-in host has one client.
class COSClient {};

/// Inputs and outputs of a method, by type name. "any" accepts every value;
/// a host array class name ("double", "logical", "cell", ...) accepts that
/// class; "string" (once initStringDataTypes has run) a character vector.
class COSMethodSignature {
 public:
  static std::unique_ptr<COSMethodSignature> createMethodSignature();
  /// Inputs of these types; the single type "void" declares none.
  static std::unique_ptr<COSMethodSignature> createMethodSignature(const std::vector<std::string>& inputTypes);

  void addInput(std::string typeName) { inputs_.push_back(std::move(typeName)); }
  void addOutput(std::string typeName) { outputs_.push_back(std::move(typeName)); }
  /// The last declared input takes any number of values, none included.
  void setLastInputOpen() { lastInputOpen_ = !inputs_.empty(); }

  const std::vector<std::string>& inputs() const { return inputs_; }
  const std::vector<std::string>& outputs() const { return outputs_; }
  bool isLastInputOpen() const { return lastInputOpen_; }
  /// Type of input `index` of a call (inputs past an open last one share its type).
  const std::string& inputType(std::size_t index) const;
  /// Fewer inputs than declared are passed on; more only to an open last input.
  bool acceptsInputCount(std::size_t count) const { return lastInputOpen_ || count <= inputs_.size(); }

 private:
  std::vector<std::string> inputs_;
  std::vector<std::string> outputs_;
  bool lastInputOpen_ = false;
};

/// A method, constructor or namespace function. Subclasses override the
/// `invoke` that fits their kind.
class COSMethodInfo {
 public:
  enum class Kind { kStatic, kInstance, kConstructor };

  COSMethodInfo() = default;
  COSMethodInfo(const COSMethodInfo&) = delete;
  COSMethodInfo& operator=(const COSMethodInfo&) = delete;
  virtual ~COSMethodInfo();

  virtual const std::string& getName() const { return name_; }
  virtual Kind getKind() const { return Kind::kStatic; }
  void setName(std::string name) { name_ = std::move(name); }
  /// Null for a namespace function.
  COSClass* getOwner() const { return owner_; }
  void setOwner(COSClass* owner) { owner_ = owner; }
  const COSMethodSignature& getSignature() const;
  void setSignature(std::unique_ptr<COSMethodSignature> signature) { signature_ = std::move(signature); }

  /// A static method or function: fills outputs[0..nOutputs) with new arrays
  /// and sets nOutputs to how many it made. It comes in as the number asked
  /// for, or 1 when none was and the method declares outputs; there is room
  /// for every declared output, and at least one. Errors are thrown.
  virtual void invoke(int& nOutputs, haArray* outputs[], int nInputs, const haArray* const inputs[]) const;
  /// An instance method or constructor, on the object `self`, whose native
  /// instance the class information has already made.
  virtual void invokeOnInstance(COSInterface& self, int& nOutputs, haArray* outputs[], int nInputs,
                                const haArray* const inputs[]) const;

 private:
  std::string name_;
  COSClass* owner_ = nullptr;
  std::unique_ptr<COSMethodSignature> signature_;
};

/// What the native side says about one class.
class COSClassInfo {
 public:
  /// `enclosingName` is the full name of the namespace (or class) it lives in.
  COSClassInfo(std::string name, std::string enclosingName, std::string description = {});
  COSClassInfo(const COSClassInfo&) = delete;
  COSClassInfo& operator=(const COSClassInfo&) = delete;
  virtual ~COSClassInfo();

  const std::string& getName() const { return name_; }
  const std::string& getEnclosingName() const { return enclosingName_; }
  /// "Enclosing.Name".
  const std::string& getFullName() const { return fullName_; }
  const std::string& getDescription() const { return description_; }

  /// Adds the class's methods (COSClass::addMethod); called once, at registration.
  virtual void initializeClass(COSClass* cls, const COSClient* client) = 0;
  /// The native instance behind a new host object; the default has none.
  virtual void* allocateInstance(COSInterface* object);
  /// Frees what allocateInstance made, when the host object goes away.
  virtual void deallocateInstance(COSInterface* object, void* instance);

 private:
  std::string name_;
  std::string enclosingName_;
  std::string fullName_;
  std::string description_;
};

/// A registered class.
class COSClass {
 public:
  COSClass(COSClassInfo& info, COSNamespace& enclosing) : info_(info), enclosing_(enclosing) {}
  COSClass(const COSClass&) = delete;
  COSClass& operator=(const COSClass&) = delete;

  /// The class of that full name, or null.
  static COSClass* getClass(std::string_view fullName);

  COSClassInfo& getClassInfo() const { return info_; }
  const std::string& getName() const { return info_.getName(); }
  const std::string& getFullName() const { return info_.getFullName(); }
  COSNamespace& getNamespace() const { return enclosing_; }

  /// Adds a method (its kind says static, instance or constructor) and makes
  /// this class its owner. A name already taken is an error.
  void addMethod(std::unique_ptr<COSMethodInfo> method);
  /// Null when there is no such method (names are case-sensitive).
  const COSMethodInfo* findMethod(std::string_view name) const;
  /// In the order they were added.
  std::vector<const COSMethodInfo*> getMethods() const;
  const COSMethodInfo* getConstructor() const;

  /// Calls a static method; returns the outputs it produced.
  std::vector<platform::HostArrayPtr> callStatic(std::string_view method, std::span<const haArray* const> inputs,
                                                 int nOutputs) const;
  /// A new host object: the class information makes its instance, then the
  /// constructor (when the class has one) runs on it. A failing constructor
  /// leaves no object: the instance is freed again.
  std::unique_ptr<COSInterface> newObject(std::span<const haArray* const> inputs);

 private:
  COSClassInfo& info_;
  COSNamespace& enclosing_;
  std::vector<std::unique_ptr<COSMethodInfo>> methods_;
};

/// A host object: its class and the native instance behind it. Destroying it
/// hands the instance back to the class information.
class COSInterface {
 public:
  explicit COSInterface(COSClass& cls) : class_(cls) {}
  COSInterface(const COSInterface&) = delete;
  COSInterface& operator=(const COSInterface&) = delete;
  ~COSInterface();

  COSClass& getClass() const { return class_; }
  void* getInstance() const { return instance_; }

  /// Calls an instance method of the object's class.
  std::vector<platform::HostArrayPtr> call(std::string_view method, std::span<const haArray* const> inputs,
                                           int nOutputs);

 private:
  friend class COSClass;
  COSClass& class_;
  void* instance_ = nullptr;
};

/// What the native side says about one namespace.
class COSNamespaceInfo {
 public:
  COSNamespaceInfo() = default;
  COSNamespaceInfo(const COSNamespaceInfo&) = delete;
  COSNamespaceInfo& operator=(const COSNamespaceInfo&) = delete;
  virtual ~COSNamespaceInfo();

  virtual std::string getName() const = 0;
  /// Adds the namespace's functions and classes; called once, when it is added.
  virtual void initializeNamespace(COSNamespace* ns);
  /// A locked namespace takes no new classes or functions.
  virtual bool isLocked() const { return false; }

  // Consulted when a name is not found in the namespace; the defaults find nothing.
  virtual COSNamespace* attemptToLoadInnerNamespace(COSNamespace* ns, std::string_view name);
  virtual COSClass* attemptToLoadClass(COSNamespace* ns, std::string_view name);
  virtual const COSMethodInfo* attemptToLoadFunction(COSNamespace* ns, std::string_view name);
  /// Part of the interface for namespaces that define types of their own;
  /// this object system has none, so it never asks.
  virtual bool attemptToLoadType(COSNamespace* ns, std::string_view name);
  /// Raises "vesk:NameAlreadyDefined" with the full name.
  [[noreturn]] virtual void throwErrorForDefinitionOfExistingName(std::string_view fullName) const;
};

/// A registered namespace: classes, functions and inner namespaces.
class COSNamespace {
 public:
  COSNamespace(std::string fullName, COSNamespaceInfo* info) : fullName_(std::move(fullName)), info_(info) {}
  COSNamespace(const COSNamespace&) = delete;
  COSNamespace& operator=(const COSNamespace&) = delete;

  /// Registers a top-level namespace under info->getName() and runs its
  /// initializeNamespace. Adding a name that exists is an error.
  static void addNamespace(COSNamespaceInfo* info);
  /// The namespace of that full name ("A" or "A.B"), or null.
  static COSNamespace* getNamespace(std::string_view fullName);

  const std::string& getFullName() const { return fullName_; }
  /// Null for a namespace that came into being by being named.
  COSNamespaceInfo* getInfo() const { return info_; }

  /// The inner namespace `name`, made when it does not exist yet.
  COSNamespace& getInnerNamespace(std::string_view name);
  /// Registers the class (its full name must lie in this namespace) and runs
  /// its initializeClass.
  COSClass& addClass(COSClassInfo& info);
  void addFunction(std::unique_ptr<COSMethodInfo> function);
  /// Null when the namespace has no such function.
  const COSMethodInfo* findFunction(std::string_view name) const;
  /// Names of the functions, in the order they were added.
  std::vector<std::string> getFunctionNames() const;
  /// The classes registered here, in the order they were added.
  std::vector<COSClass*> getClasses() const;
  /// The inner namespaces made so far, in the order they were made.
  std::vector<COSNamespace*> getInnerNamespaces() const;

 private:
  std::string fullName_;
  COSNamespaceInfo* info_;
  std::vector<std::unique_ptr<COSNamespace>> inner_;
  std::vector<std::unique_ptr<COSClass>> classes_;
  std::vector<std::unique_ptr<COSMethodInfo>> functions_;
};

/// The namespace of that full name, or null.
COSNamespace* omGetNamespace(std::string_view fullName);
/// The inner namespace `name` of `ns`, made when it does not exist yet.
COSNamespace* omGetInnerNamespace(COSNamespace* ns, std::string_view name);

/// Calls the static method `method` of the class `className`.
std::vector<platform::HostArrayPtr> callStaticMethod(std::string_view className, std::string_view method,
                                                     std::span<const haArray* const> inputs, int nOutputs);
/// Calls a namespace function by full name ("Pkg.fn").
std::vector<platform::HostArrayPtr> callFunction(std::string_view fullName, std::span<const haArray* const> inputs,
                                                 int nOutputs);
/// A new object of the class `className`.
std::unique_ptr<COSInterface> createObject(std::string_view className, std::span<const haArray* const> inputs);

namespace factory::detail {
/// Makes the type "string" known to signatures; later calls do nothing.
void initStringDataTypes();
}  // namespace factory::detail

}  // namespace vesk
