#include "bindings/scoped_tracer_point.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "platform/feature_flags.h"
#include "platform/host_vm.h"
#include "platform/instrument/instrument_recorder.h"
#include "platform/instrument/listeners.h"
#include "support/point_text.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_groupings.h"
#include "tracer/recorder.h"

namespace {

using pt_test::raised;

constexpr char kClass[] = "ZezaDazod.Tracer.ScopedTracerData";

std::unique_ptr<vesk::COSInterface> scopedPoint(const std::vector<pt_test::In>& inputs) {
  KVInitialize_performance_tracer();
  const pt_test::Inputs owned(inputs);
  return vesk::createObject(kClass, owned.span());
}

// Each raw point described without its times and memory.
std::vector<std::string> loggedPoints() {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  std::vector<std::string> lines = pt_test::describe(tracer, *tracer.getRawDataVector());
  for (std::string& line : lines) line = std::regex_replace(line, std::regex(R"(\|[^|]*\|[^|]*\|detailed.*)"), "");
  return lines;
}

// Points made with the recorder feature as given; the recorder hears every
// event, and without it grouping G logs.
template <bool kUseRecorder>
class ScopedTracerData : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, kUseRecorder);
    ScopedPerfTracerPoint_VESK::forgetFeature();
    ptClearRawData();
    ptEnableTracer("G", !kUseRecorder);
    instrument::listeners.add(recorder);
  }
  void TearDown() override {
    instrument::listeners.remove(recorder);
    instrument::controls.disable("RecordedG");
    ptEnableTracer("G", false);
    platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt);
    ScopedPerfTracerPoint_VESK::forgetFeature();
  }
  instrument::InstrumentRecorder recorder;
};
using ScopedTracerDataLogging = ScopedTracerData<false>;
using ScopedTracerDataRecorder = ScopedTracerData<true>;

TEST_F(ScopedTracerDataLogging, LogsTheStartAtCreationAndTheEndOnceAtStopOrDestruction) {
  auto point = scopedPoint({"G", "P"});
  EXPECT_EQ(loggedPoints(), std::vector<std::string>{"3|P|G|statisticsTypeStr=Update start"});
  point->call("stop", {}, 0);
  point->call("stop", {}, 0);
  point.reset();  // destruction after stop logs nothing more
  // Destroyed without a stop, it ends the phase with the same identifiers.
  scopedPoint({"G", "Q", "Model", "m1"}).reset();
  EXPECT_EQ(loggedPoints(),
            (std::vector<std::string>{"3|P|G|statisticsTypeStr=Update start", "3|P|G|statisticsTypeStr=Update end",
                                      "3|Q|G|Model=m1 statisticsTypeStr=Update start",
                                      "3|Q|G|Model=m1 statisticsTypeStr=Update end"}));
}

TEST_F(ScopedTracerDataLogging, RefusesBadInputsBeforeLoggingAnything) {
  struct Case {
    std::vector<pt_test::In> inputs;
    const char* key;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {{"G"}, "MinParamsNotReached", {"2"}},
      {{"G", "P", "Model"}, "ExpectedEvenNumberOfParameters", {}},
      {{1.0, "P"}, "ParameterMismatchString", {"Grouping"}},
      {{"G", true}, "ParameterMismatchString", {"Phase"}},
  };
  for (const Case& c : cases) {
    const platform::HostError e = raised([&] { scopedPoint(c.inputs); });
    EXPECT_EQ(e.key(), c.key);
    EXPECT_EQ(e.arguments(), c.arguments);
  }
  EXPECT_TRUE(loggedPoints().empty());
}

TEST_F(ScopedTracerDataRecorder, RecordsOneEventWithTheMachineThatRanItAndKeepsTheMode) {
  auto off = scopedPoint({"RecordedG", "P"});  // a disabled control: no event, no end
  off->call("stop", {}, 0);
  off.reset();
  EXPECT_TRUE(recorder.getAllEventPoints().empty());
  instrument::controls.enable("RecordedG");
  auto secondary = hvm::Factory::createHVM();
  {
    hvm::ScopedCurrentHVM bound(*secondary);
    auto point = scopedPoint({"RecordedG", "P", "Model", "m1"});
    // The feature is read once: switching it off now changes no point's mode.
    platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
    point->call("stop", {}, 0);
  }
  scopedPoint({"RecordedG", "Q"}).reset();

  const std::vector<instrument::Event> events = recorder.getAllEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].name, "RecordedG");
  EXPECT_EQ(events[0].id.tag, secondary->getId());
  EXPECT_EQ(events[1].id.tag, 0u);  // the main machine's points carry no identifier
  EXPECT_TRUE(events[0].stopTime.has_value());
  EXPECT_TRUE(events[1].stopTime.has_value());
  EXPECT_EQ(events[0].context, (instrument::ContextSet{{"phase", "P"}, {"Model", "m1"}}));
  EXPECT_TRUE(PerformanceTracer::getInstance()->getRawDataVector()->empty());
}

}  // namespace
