#include "platform/feature_flags.h"
#include "platform/instrument/emit.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Names = std::vector<std::string>;
using namespace std::string_literals;

const Names kTestTree = {"Report Generation",
                         "CLTestManager",
                         "Calvoran Compile",
                         "TGXCG",
                         "MRV",
                         "CLbuild",
                         "All Calvoran Code Generation",
                         "All Calvoran Compile",
                         "Calvoran Test"};

class GroupingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
    tracer.initialize();
  }
  void TearDown() override { platform::setFeature(kUsePerformanceTracerRecorderFeature, std::nullopt); }

  Names enabled() const {
    Names names;
    for (const std::string& name : kTestTree) {
      if (tracer.isGroupingEnabled(name)) names.push_back(name);
    }
    return names;
  }
  std::int32_t number(const std::string& name) { return tracer.getNumberForString(EPT_GROUPING, name, false); }
  EPTGroupingEnabled state(const std::string& name) { return tracer.getGroupingEnabledStates().at(number(name)); }

  PerformanceTracer tracer;
};

TEST_F(GroupingsTest, TheBuiltInTestTreeIsRegisteredNestedAndEnabledWhole) {
  tracer.enableTracer("Calvoran Test", true);
  EXPECT_EQ(tracer.getKnownGroupingStatus().size(), 9u);
  EXPECT_EQ(tracer.getKnownGroupingStatus().at(number("All Calvoran Compile")),
            (Names{"Calvoran Compile", "All Calvoran Code Generation"}));
  EXPECT_EQ(std::make_pair(tracer.getGroupingList("Calvoran Test"), enabled()), std::make_pair(kTestTree, kTestTree));
  EXPECT_TRUE(tracer.getPerfTracerEnabledFlag());

  // A second call finds the trees built and changes nothing.
  EXPECT_EQ(tracer.addGrouping("Calvoran Test", {"Other"}), "Group: Calvoran Test");
  tracer.enableTracer("Calvoran Test", true);
  EXPECT_EQ(tracer.getGroupingList("Calvoran Test"), kTestTree);

  // Disabling an inner tree leaves the outer groups enabled.
  tracer.enableTracer("All Calvoran Compile", false);
  EXPECT_EQ(enabled(), (Names{"Report Generation", "CLTestManager", "Calvoran Test"}));
  EXPECT_EQ(state("MRV"), EPT_GROUPING_DISABLED);
  EXPECT_TRUE(tracer.getPerfTracerEnabledFlag());
  tracer.enableTracer("Calvoran Test", false);
  EXPECT_FALSE(tracer.isAnyGroupEnabled());
  EXPECT_FALSE(tracer.getPerfTracerEnabledFlag());
}

TEST_F(GroupingsTest, SubGroupsTakeAKnownStateAndACompositeSubGroupStopsTheList) {
  EXPECT_EQ(tracer.addGrouping("Plain"), tracer.addGrouping("Plain"));
  tracer.enableGrouping("Outer", false);
  EXPECT_EQ(tracer.addGrouping("Outer", {"A", "B"}), "");
  EXPECT_EQ(tracer.addGrouping("Fresh", {"C"}), "");
  EXPECT_EQ(std::make_pair(state("A"), state("C")), std::make_pair(EPT_GROUPING_DISABLED, EPT_GROUPING_UNKNOWN));
  EXPECT_EQ(tracer.addGrouping("Outer"), -1);

  EXPECT_EQ(tracer.addGrouping("Top", {"D", "Outer", "E"}), "Sub group: Outer");
  EXPECT_EQ(tracer.getKnownGroupingStatus().at(number("Top")), (Names{"D", "Outer", "E"}));
  EXPECT_EQ(number("E"), -1);  // never reached
}

TEST_F(GroupingsTest, AListThatWouldMakeAGroupingItsOwnSubGroupIsRefused) {
  EXPECT_EQ(tracer.addGrouping("Self", {"Self"}), "Cycle: Self already contains Self");
  EXPECT_TRUE(tracer.getGroupingList("Self").empty());

  ASSERT_EQ(tracer.addGrouping("A", {"B"}), "");
  ASSERT_EQ(tracer.addGrouping("B", {"C"}), "");
  EXPECT_EQ(tracer.addGrouping("C", {"X", "A"}), "Cycle: A already contains C");
  EXPECT_TRUE(tracer.getKnownGroupingStatus().at(number("C")).empty());
  EXPECT_EQ(number("X"), -1);
  EXPECT_FALSE(tracer.updateGrouping("B", {"A"}));
  EXPECT_EQ(tracer.getGroupingList("A"), (Names{"C", "B", "A"}));

  // A sub-group left unregistered by a "Sub group" error still counts.
  ASSERT_EQ(tracer.addGrouping("Top", {"A", "Later"}), "Sub group: A");
  EXPECT_EQ(tracer.addGrouping("Later", {"Top"}), "Cycle: Top already contains Later");
  tracer.enableGrouping("Top", true);  // ends
  EXPECT_TRUE(tracer.isGroupingEnabled("C"));
}

TEST_F(GroupingsTest, RemovalUnregistersTheTreeAndReAddingKeepsTheNumber) {
  tracer.enableTracer("All Calvoran Compile", true);
  const std::int32_t compile = number("All Calvoran Compile");
  EXPECT_TRUE(tracer.removeGrouping("All Calvoran Compile"));
  EXPECT_TRUE(tracer.getKnownGroupingStatus().empty());
  EXPECT_EQ(state("TGXCG"), EPT_GROUPING_UNKNOWN);
  EXPECT_FALSE(tracer.removeGrouping("All Calvoran Compile"));
  EXPECT_FALSE(tracer.removeGrouping("Never Known"));
  EXPECT_EQ(tracer.addGrouping("All Calvoran Compile"), compile);
}

TEST_F(GroupingsTest, UpdateReplacesTheListOfRegisteredGroupingsOnly) {
  ASSERT_EQ(tracer.addGrouping("G", {"Old"}), "");
  EXPECT_TRUE(tracer.updateGrouping("G", {"New"}));
  EXPECT_EQ(tracer.getKnownGroupingStatus().count(number("Old")), 0u);
  EXPECT_EQ(tracer.getKnownGroupingStatus().at(number("G")), Names{"New"});

  tracer.enableGroupingIndex(tracer.getNumberForString(EPT_GROUPING, "Known", true), EPT_GROUPING_ENABLED);
  EXPECT_TRUE(tracer.updateGrouping("Known", {"Z"}));
  EXPECT_EQ(state("Known"), EPT_GROUPING_UNKNOWN);
  EXPECT_EQ(tracer.getKnownGroupingStatus().count(number("Known")), 0u);
  EXPECT_TRUE(tracer.updateGrouping("Unknown", {"Z"}));
  EXPECT_EQ(number("Unknown"), -1);
}

TEST_F(GroupingsTest, AGroupingEnabledBeforeItIsNamedIsFoundByItsName) {
  tracer.enableGroupingIndex(1, EPT_GROUPING_ENABLED);
  ASSERT_EQ(tracer.getNumberForString(EPT_GROUPING, "First", true), 0);
  ASSERT_EQ(tracer.getNumberForString(EPT_GROUPING, "LateName", true), 1);
  EXPECT_TRUE(tracer.isGroupingEnabled("LateName"));
  EXPECT_TRUE(tracer.logEvent("LateName", "Load", true, Names{}));
  EXPECT_EQ(tracer.rawDataVector()->size(), 1u);
  tracer.enableGroupingIndex(1, EPT_GROUPING_DISABLED);
  EXPECT_FALSE(tracer.isGroupingEnabled("LateName"));
}

// Enabled names are found by length and first and last eight bytes before the
// rest is compared: names alike in those but not in the rest must not be taken.
TEST_F(GroupingsTest, OnlyTheExactNameOfAnEnabledGroupingIsAdmitted) {
  const Names enabledNames = {"Calvoran Compile", "Cal", "Calvoran", "ab\0cd"s, "Calvoran Code Generation"};
  for (const std::string& name : enabledNames) tracer.enableGrouping(name, true);
  const Names alike = {"Calvoran Compilf",
                       "Dalvoran Compile",
                       "Calvoran Cxde Generation",
                       "Calvoran Code Generatio ",
                       "Calvoran Compil",
                       "Calvoran Compile ",
                       "Cam",
                       "Calvorax",
                       "Calvoran ",
                       "ab\0ce"s,
                       "ab",
                       ""};
  for (const auto& [names, admitted] : {std::pair{enabledNames, true}, {alike, false}}) {
    for (const std::string& name : names) {
      EXPECT_EQ(tracer.isGroupingEnabled(name), admitted) << name;
      EXPECT_EQ(tracer.logEvent(name, "Load", true, Names{}), admitted) << name;
    }
  }
  EXPECT_EQ(tracer.rawDataVector()->size(), enabledNames.size());
}

TEST_F(GroupingsTest, ASubGroupSharedByManyBranchesIsVisitedOnce) {
  // Each level names the one below twice: every path through the tree is
  // 2^63 paths at the top.
  constexpr int kLevels = 64;
  auto level = [](int i) { return std::string("L").append(std::to_string(i)); };
  for (int i = 1; i < kLevels; ++i) tracer.addGrouping(level(i), {level(i - 1), level(i - 1)});
  tracer.enableGrouping(level(kLevels - 1), true);
  EXPECT_TRUE(tracer.isGroupingEnabled(level(0)));
  const Names list = tracer.getGroupingList(level(kLevels - 1));
  ASSERT_EQ(list.size(), static_cast<std::size_t>(kLevels));
  EXPECT_EQ(std::tie(list[0], list[1]), std::make_tuple(level(0), level(1)));
  EXPECT_TRUE(tracer.removeGrouping(level(kLevels - 1)));
  EXPECT_TRUE(tracer.getKnownGroupingStatus().empty() && !tracer.isAnyGroupEnabled());
}

TEST_F(GroupingsTest, TheStateVectorGrowsPastTwentyWithUnknownStates) {
  for (int i = 0; i < 25; ++i)
    tracer.getNumberForString(EPT_GROUPING, std::string("g").append(std::to_string(i)), true);
  EXPECT_EQ(tracer.getGroupingEnabledStates().size(), 20u);
  tracer.enableGrouping("g25", true);
  const std::vector<EPTGroupingEnabled>& states = tracer.getGroupingEnabledStates();
  ASSERT_EQ(states.size(), 26u);
  for (int i = 20; i < 25; ++i) EXPECT_EQ(states[i], EPT_GROUPING_UNKNOWN) << i;
  EXPECT_EQ(
      (std::vector<bool>{tracer.isGroupingEnabled(25), tracer.isGroupingEnabled(26), tracer.isGroupingEnabled(-1)}),
      (std::vector<bool>{true, false, false}));
}

// The recorder listens while anything is recorded, and controls follow states.
TEST_F(GroupingsTest, WithTheRecorderStatesAreMirroredAndTheListenerFollowsWhatIsRecorded) {
  platform::setFeature(kUsePerformanceTracerRecorderFeature, true);
  const std::string grouping = "Mirrored Grouping";
  instrument::ControlElement& control = instrument::controls.getHandle(grouping);
  auto eventsReceived = [&] {
    tracer.recorder().clearAllEventData();
    instrument::instantEvent(control, instrument::ContextSet{});
    return tracer.recorder().getAllEventPoints().size();
  };

  tracer.enableGrouping(grouping, true);
  EXPECT_EQ(std::make_pair(control.isEnabled(), eventsReceived()), std::make_pair(true, std::size_t{1}));

  tracer.enableGlobalLogging(true);
  tracer.enableGrouping(grouping, false);
  EXPECT_FALSE(control.isEnabled());
  control.setEnabled(true);  // only the listener is under test now
  EXPECT_EQ(eventsReceived(), 1u);

  tracer.enableGlobalLogging(false);
  EXPECT_EQ(eventsReceived(), 0u);

  // With the feature turned off, the next refresh detaches it even while a
  // grouping is enabled.
  tracer.enableGrouping(grouping, true);
  platform::setFeature(kUsePerformanceTracerRecorderFeature, false);
  tracer.enableGrouping("Unrelated", false);
  EXPECT_EQ(std::make_pair(control.isEnabled(), eventsReceived()), std::make_pair(true, std::size_t{0}));
  control.setEnabled(false);
}

}  // namespace
