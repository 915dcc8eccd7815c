#include "platform/object_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host_messages.h"
#include "platform/host_vm.h"
#include "support/raised.h"

namespace {

using platform::HostArrayPtr;
using platform::HostError;
using pt_test::raised;

// A method whose handler is a lambda.
class LambdaMI : public vesk::COSMethodInfo {
 public:
  using Body = std::function<void(int&, haArray*[], int, const haArray* const[])>;
  LambdaMI(std::string name, Kind kind, std::unique_ptr<vesk::COSMethodSignature> signature, Body body)
      : kind_(kind), body_(std::move(body)) {
    setName(std::move(name));
    setSignature(std::move(signature));
  }
  Kind getKind() const override { return kind_; }
  void invoke(int& n, haArray* out[], int nIn, const haArray* const in[]) const override { body_(n, out, nIn, in); }
  void invokeOnInstance(vesk::COSInterface& self, int& n, haArray* out[], int nIn,
                        const haArray* const in[]) const override {
    ++*static_cast<int*>(self.getInstance());
    body_(n, out, nIn, in);
  }

 private:
  Kind kind_;
  Body body_;
};

std::unique_ptr<vesk::COSMethodSignature> signature(std::vector<std::string> inputs, bool open, int outputs) {
  auto s = vesk::COSMethodSignature::createMethodSignature(inputs);
  if (open) s->setLastInputOpen();
  for (int i = 0; i < outputs; ++i) s->addOutput("any");
  return s;
}

// A counter class: `count(values...)` returns how many values it got, `twice`
// returns its double input twice (asked for fewer, it still makes two), an
// instance is an int that every instance call increments, and the
// constructor refuses a false input.
class CounterInfo : public vesk::COSClassInfo {
 public:
  CounterInfo() : vesk::COSClassInfo("Counter", "Test.Inner", "counts") {}
  int live = 0;

  void initializeClass(vesk::COSClass* cls, const vesk::COSClient*) override {
    using Kind = vesk::COSMethodInfo::Kind;
    // Handlers take (int& nOut, haArray* out[], int nIn, const haArray* const in[]).
    const auto add = [cls](const char* name, Kind kind, auto sig, LambdaMI::Body body) {
      cls->addMethod(std::make_unique<LambdaMI>(name, kind, std::move(sig), std::move(body)));
    };
    add("count", Kind::kStatic, signature({"any"}, true, 1),
        [](auto&, auto out, int nIn, auto) { out[0] = haCreateDoubleScalar(nIn); });
    add("twice", Kind::kStatic, signature({"double"}, false, 2), [](int& n, auto out, int, auto in) {
      n = 2;
      out[0] = haDuplicateArray(in[0]);
      out[1] = haDuplicateArray(in[0]);
    });
    add("silent", Kind::kStatic, signature({"void"}, false, 1), [](int& n, auto, int, auto) { n = 0; });
    add("calls", Kind::kInstance, signature({}, false, 0), [](auto&, auto, int, auto) {});
    add("Counter", Kind::kConstructor, signature({"logical"}, false, 0), [](auto&, auto, int nIn, auto in) {
      if (nIn == 1 && !haIsLogicalScalarTrue(in[0])) haErrorMsgIdAndTxt("InvalidNames");
    });
  }
  void* allocateInstance(vesk::COSInterface*) override {
    ++live;
    return new int(0);
  }
  void deallocateInstance(vesk::COSInterface*, void* instance) override {
    --live;
    delete static_cast<int*>(instance);
  }
};

class TestNamespaceInfo : public vesk::COSNamespaceInfo {
 public:
  std::string getName() const override { return "Test"; }
  void initializeNamespace(vesk::COSNamespace* ns) override {
    vesk::omGetInnerNamespace(ns, "Inner")->addClass(counter);
    ns->addFunction(
        std::make_unique<LambdaMI>("hello", vesk::COSMethodInfo::Kind::kStatic, signature({"string"}, false, 1),
                                   [](int&, haArray* out[], int, const haArray* const in[]) {
                                     out[0] = haCreateString(("hello " + haArrayToStdString(in[0])).c_str());
                                   }));
  }
  CounterInfo counter;
};

TestNamespaceInfo& testNamespace() {
  static TestNamespaceInfo* const info = [] {
    auto* made = new TestNamespaceInfo;
    vesk::factory::detail::initStringDataTypes();
    vesk::COSNamespace::addNamespace(made);
    return made;
  }();
  return *info;
}

class ObjectSystem : public ::testing::Test {
 protected:
  void SetUp() override { testNamespace(); }
};

TEST_F(ObjectSystem, CallsByFullNameWithOpenInputsAndSeveralOutputs) {
  ASSERT_NE(vesk::omGetNamespace("Test.Inner"), nullptr);
  EXPECT_EQ(vesk::COSClass::getClass("Test.Counter"), nullptr);
  // What a walk of the namespace finds: the class inside its inner namespace only.
  const vesk::COSNamespace& test = *vesk::omGetNamespace("Test");
  EXPECT_TRUE(test.getClasses().empty());
  ASSERT_EQ(test.getInnerNamespaces().size(), 1u);
  ASSERT_EQ(test.getInnerNamespaces()[0]->getClasses().size(), 1u);
  EXPECT_EQ(test.getInnerNamespaces()[0]->getClasses()[0]->getFullName(), "Test.Inner.Counter");
  HostArrayPtr a(haCreateDoubleScalar(4)), b(haCreateString("x"));
  const haArray* three[] = {a.get(), b.get(), a.get()};
  EXPECT_EQ(haGetScalar(vesk::callStaticMethod("Test.Inner.Counter", "count", three, 1).at(0).get()), 3.0);
  // Asked for nothing, a method still answers with its first output.
  EXPECT_EQ(haGetScalar(vesk::callStaticMethod("Test.Inner.Counter", "count", {}, 0).at(0).get()), 0.0);
  const haArray* one[] = {a.get()};
  EXPECT_EQ(vesk::callStaticMethod("Test.Inner.Counter", "twice", one, 1).size(), 2u);
}

TEST_F(ObjectSystem, RefusesBadCallsWithTheirIdentifiers) {
  HostArrayPtr number(haCreateDoubleScalar(1)), text(haCreateString("t"));
  const haArray* numberInput[] = {number.get()};
  const haArray* textInput[] = {text.get()};
  const haArray* twoNumbers[] = {number.get(), number.get()};
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] { vesk::callStaticMethod("Test.Missing", "count", {}, 0); }, "vesk:UndefinedClass"},
      {[] { vesk::callStaticMethod("Test.Inner.Counter", "Count", {}, 0); }, "vesk:UndefinedMethod"},
      {[] { vesk::callFunction("Test.nothing", {}, 0); }, "vesk:UndefinedFunction"},
      {[&] { vesk::callStaticMethod("Test.Inner.Counter", "twice", twoNumbers, 0); }, "vesk:TooManyInputs"},
      {[&] { vesk::callStaticMethod("Test.Inner.Counter", "twice", textInput, 0); }, "vesk:InputTypeMismatch"},
      {[&] { vesk::callFunction("Test.hello", numberInput, 1); }, "vesk:InputTypeMismatch"},
      {[] { vesk::callStaticMethod("Test.Inner.Counter", "count", {}, 2); }, "vesk:TooManyOutputs"},
      {[] { vesk::callStaticMethod("Test.Inner.Counter", "silent", {}, 1); }, "vesk:OutputNotSet"},
      {[] { vesk::callStaticMethod("Test.Inner.Counter", "calls", {}, 0); }, "vesk:NotStatic"},
      {[] { vesk::COSNamespace::addNamespace(&testNamespace()); }, "vesk:NameAlreadyDefined"},
      {[] { vesk::omGetInnerNamespace(vesk::omGetNamespace("Test"), "Inner")->addClass(testNamespace().counter); },
       "vesk:NameAlreadyDefined"},
  };
  for (const auto& [call, identifier] : cases) EXPECT_EQ(raised(call).identifier(), identifier);
  EXPECT_NE(std::string(HostError("vesk:TooManyInputs", {"C.m", "1"}).what()).find("at most 1"), std::string::npos);
}

TEST_F(ObjectSystem, ObjectsGetAndReturnTheirInstancesThroughTheClassInformation) {
  CounterInfo& info = testNamespace().counter;
  const int before = info.live;
  {
    auto object = vesk::createObject("Test.Inner.Counter", {});
    EXPECT_EQ(info.live, before + 1);
    object->call("calls", {}, 0);
    object->call("calls", {}, 0);
    EXPECT_EQ(*static_cast<int*>(object->getInstance()), 3);  // the constructor ran on it too
    EXPECT_EQ(raised([&] { object->call("count", {}, 0); }).identifier(), "vesk:NotInstanceMethod");
  }
  EXPECT_EQ(info.live, before);

  // A refusing constructor leaves no object and no instance behind.
  HostArrayPtr no(haCreateLogicalScalar(false));
  const haArray* refuse[] = {no.get()};
  EXPECT_EQ(raised([&] { vesk::createObject("Test.Inner.Counter", refuse); }).identifier(),
            "performance_tracer:PerformanceTracer:InvalidNames");
  EXPECT_EQ(info.live, before);
}

TEST(HostVM, EvaluatesRegisteredFunctionsAndPassesTheirErrorsOn) {
  auto vm = hvm::Factory::createHVM();
  EXPECT_FALSE(vm->isMain());
  EXPECT_NE(vm->getId(), hvm::Factory::getMainHVM().getId());
  std::ostringstream out, err;
  vm->getDispatcher().registerFunction(
      "echo", [](int nOut, haArray* outputs[], int nIn, const haArray* const inputs[], std::ostream& o, std::ostream&) {
        o << "echo " << nIn;
        for (int i = 0; i < nOut && i < nIn; ++i) outputs[i] = haDuplicateArray(inputs[i]);
        if (nIn == 0) haErrorMsgIdAndTxt("MinParamsNotReached", "1");
      });
  HostArrayPtr word(haCreateString("w"));
  const haArray* inputs[] = {word.get()};
  hvm::EvalResult result = vm->feval("echo", inputs, 1, out, err).get();
  ASSERT_EQ(result.size(), 1u);
  EXPECT_EQ(haArrayToStdString(result[0].get()), "w");
  EXPECT_EQ(out.str(), "echo 1");

  std::future<hvm::EvalResult> failed = vm->feval("echo", {}, 0, out, err);
  EXPECT_EQ(raised([&] { failed.get(); }).identifier(), "performance_tracer:PerformanceTracer:MinParamsNotReached");
  EXPECT_EQ(raised([&] { vm->feval("nothing", {}, 0, out, err).get(); }).identifier(), "hvm:UndefinedFunction");
}

}  // namespace
