#include "bindings/scoped_tracer_point.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bindings/host_call.h"
#include "platform/feature_flags.h"
#include "platform/host_vm.h"
#include "platform/instrument/instrument_recorder.h"
#include "platform/instrument/listeners.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
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

/// Each raw point as "start|end phase grouping name=value ..." (identifiers
/// other than the statistics type, in name order).
std::vector<std::string> loggedPoints() {
  std::vector<std::string> lines;
  const std::unique_ptr<PTRawDataVector> points = PerformanceTracer::getInstance()->getRawDataVector();
  for (const auto& point : *points) {
    std::string line = std::string(point->isStart ? "start " : "end ") + ptGetPhaseStr(point->phase) + " " +
                       ptGetStringForNumber(EPT_GROUPING, point->grouping);
    if (const auto* tracer = dynamic_cast<const PTTracerDataPoint*>(point.get())) {
      std::vector<std::string> ids;
      for (const auto& [name, value] : tracer->identifiers)
        if (name.str() != "statisticsTypeStr")
          ids.push_back(" " + name.str() + "=" + ptGetStringForNumber(name.str(), value));
      std::sort(ids.begin(), ids.end());
      for (const std::string& id : ids) line += id;
    }
    lines.push_back(line);
  }
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
  EXPECT_EQ(loggedPoints(), std::vector<std::string>{"start P G"});
  point->call("stop", {}, 0);
  point->call("stop", {}, 0);
  point.reset();  // destruction after stop logs nothing more
  // Destroyed without a stop, it ends the phase with the same identifiers.
  scopedPoint({"G", "Q", "Model", "m1"}).reset();
  EXPECT_EQ(loggedPoints(),
            (std::vector<std::string>{"start P G", "end P G", "start Q G Model=m1", "end Q G Model=m1"}));
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
