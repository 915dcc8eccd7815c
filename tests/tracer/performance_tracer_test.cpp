#include "tracer/performance_tracer.h"

#include "fake_platform.h"
#include "support/point_text.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

class TracerTest : public ::testing::Test {
 protected:
  void SetUp() override { tracer.initialize(); }
  PerformanceTracer tracer;
};

TEST_F(TracerTest, MappingsNumberFromZeroAndOnlyGroupingsSurviveAClear) {
  const auto number = [&](EPTStringMappings mapping, const char* text, bool add = true) {
    return tracer.getNumberForString(mapping, text, add);
  };
  // Each table numbers on its own; a text is numbered once; an absent one is -1.
  EXPECT_EQ((std::vector<int>{number(EPT_PHASE, "Load"), number(EPT_PHASE, "Build"), number(EPT_PHASE, "Load"),
                              number(EPT_PHASE, "Run", false), number(EPT_STATISTICS_TYPE, "Update"),
                              number(EPT_GROUPING, "G0"), number(EPT_GROUPING, "G1"), number(EPT_CHART, "Chart1")}),
            (std::vector<int>{0, 1, 0, -1, 0, 0, 1, 0}));

  tracer.clearStringMappings();
  EXPECT_EQ(
      (std::vector<std::string>{tracer.getStringForNumber(EPT_GROUPING, 1), tracer.getStringForNumber(EPT_PHASE, 0),
                                tracer.getStringForNumber(EPT_CHART, 0)}),
      (std::vector<std::string>{"G1", "", ""}));
  EXPECT_EQ(std::make_tuple(number(EPT_PHASE, "Build"), number(EPT_GROUPING, "G2")), std::make_tuple(0, 2));
}

// Copies look texts up among their own entries, never the source's.
TEST(StringNumberMappingTable, CopiesAnswerAfterTheSourceIsGone) {
  auto source = std::make_unique<StringNumberMapping>();
  source->getNumberOrAdd("Load");
  source->getNumberOrAdd("Build");
  StringNumberMapping copied(*source);
  StringNumberMapping assigned;
  assigned.getNumberOrAdd("Other");
  assigned = *source;
  source.reset();
  for (StringNumberMapping* table : {&copied, &assigned}) {
    EXPECT_EQ((std::tuple{table->getNumber("Build"), table->getNumber("Other"), table->remove("Build")}),
              std::make_tuple(1, -1, true));
    EXPECT_EQ((std::tuple{table->getNumber("Build"), table->getNumberOrAdd("Load")}), std::make_tuple(-1, 0));
  }
}

TEST(StringNumberMappingTable, ATextLookedUpLastIsAddedAgainOnceItsEntryIsGone) {
  StringNumberMapping table;
  table.getNumberOrAdd("Load");
  table.remove("Load");
  EXPECT_EQ((std::tuple{table.getNumberOrAdd("Load"), table.size()}), std::make_tuple(0, std::size_t{1}));
  table.clear();
  EXPECT_EQ((std::tuple{table.getNumberOrAdd("Load"), table.size()}), std::make_tuple(0, std::size_t{1}));
  StringNumberMapping other;
  other.getNumberOrAdd("Build");
  other.getNumberOrAdd("Load");
  table = other;
  EXPECT_EQ((std::tuple{table.getNumberOrAdd("Load"), table.size()}), std::make_tuple(1, std::size_t{2}));
}

// The text looked up last is compared word by word: a text differing from it
// in any one byte, at any length, must get a number of its own.
TEST(StringNumberMappingTable, ATextDifferingFromTheLastInOneByteIsAnotherText) {
  for (std::size_t length = 1; length <= 70; ++length) {
    StringNumberMapping table;
    const std::string text(length, 'a');
    table.getNumberOrAdd(text);
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = text;
      other[at] = 'b';
      ASSERT_NE(table.getNumberOrAdd(other), table.getNumberOrAdd(std::string(text))) << length << " " << at;
    }
    EXPECT_EQ(table.size(), length + 1);
  }
}

TEST_F(TracerTest, UnknownMappingsAddressNoTable) {
  for (int value : {-1, 7}) {
    const auto mapping = static_cast<EPTStringMappings>(value);
    EXPECT_EQ(tracer.getMappingByType(mapping), nullptr);
    EXPECT_EQ(tracer.getNumberForString(mapping, "x", true), -1);
    EXPECT_EQ(tracer.getStringForNumber(mapping, 0), "");
    EXPECT_EQ(PerformanceTracer::getNameForMappingID(mapping), "");
  }
  EXPECT_EQ(PerformanceTracer::getNameForMappingID(EPT_CHART), "Chart");
  EXPECT_EQ(PerformanceTracer::getNameForMappingID(EPT_STATISTICS_TYPE), "");
}

TEST(PerformanceTracer, UninitialisedTracerBehavesAsEmpty) {
  PerformanceTracer bare;
  EXPECT_EQ(bare.getNumberForString(EPT_PHASE, "Load", true), -1);
  EXPECT_EQ(bare.getStringForNumber(EPT_GROUPING, 0), "");
  bare.clearStringMappings();
  EXPECT_FALSE(bare.appendRawDataPoint(boost::make_shared<PTKAVLORDataPoint>()));
  EXPECT_TRUE(bare.getKnownGroupingStatus().empty());
  EXPECT_EQ(bare.addGrouping("G"), -1);
  EXPECT_EQ(bare.addGrouping("G", {"S"}), "No grouping table for: G");
  bare.enableGrouping("G", true);
  EXPECT_FALSE(bare.isGroupingEnabled("G"));
  EXPECT_TRUE(bare.getGroupingList("G").empty());
  bare.setDetailedMemStatsEnabled(true);
  PTKAVLORDataPoint point;
  bare.getPerformanceStats(point);
  EXPECT_EQ(point.detailedMemStats->commitMem, 0.0);
  // Identifier tables and the enumeration need no initialize().
  EXPECT_EQ(bare.getNumberForString("modelStr", "m", true), 0);
  EXPECT_EQ(bare.getIdentifierRawEnum().getInt("modelStr"), 0);
}

TEST_F(TracerTest, IdentifierMapsNumberValuesPerIdentifier) {
  EXPECT_EQ(tracer.getNumberForString("modelStr", "m1"), -1);  // never adds
  EXPECT_EQ(tracer.getIdentifierAmount(), 0u);

  const PTIdentifierMap ids = tracer.getMapForStrings({"modelStr", "targetStr", "modelStr"}, {"m1", "t1", "m2"});
  // The later pair wins; every map carries the statistics type.
  EXPECT_EQ(std::make_tuple(ids.size(), ids.at("modelStr"), ids.at("targetStr"), ids.at("statisticsTypeStr")),
            std::make_tuple(std::size_t{3}, 1, 0, 0));
  EXPECT_EQ(std::make_tuple(tracer.getStringForNumber("statisticsTypeStr", 0), tracer.getStringForNumber("modelStr", 0),
                            tracer.getIdentifierAmount()),
            std::make_tuple(std::string("Update"), std::string("m1"), std::size_t{3}));

  // A name without a value (odd pair list) gets no entry.
  EXPECT_EQ(tracer.getMapForStrings({"modelStr", "chartStr"}, {"m2"}).count("chartStr"), 0u);

  // Clearing keeps the names and the statistics types only.
  tracer.getNumberForString("statisticsTypeStr", "Other", true);
  tracer.clearMapCollections();
  tracer.initializeMapCollectionsForStat();  // an existing table is left alone
  EXPECT_EQ(
      (std::tuple{tracer.getIdentifierAmount(), tracer.getNumberForString("statisticsTypeStr", "Other"),
                  tracer.getNumberForString("modelStr", "m1"), tracer.getNumberForString("modelStr", "m9", true)}),
      std::make_tuple(std::size_t{3}, 1, -1, 0));
}

TEST_F(TracerTest, IdentifierEnumerationNumbersNewNamesAndKeepsOldOnes) {
  tracer.addToIdentifierRawEnum("zStr");
  tracer.insertIdentifierToMapCollections(std::vector<std::string>{"targetStr", "modelStr", "zStr"});
  DynamicEnum& names = tracer.getIdentifierRawEnum();
  EXPECT_EQ(std::make_tuple(names.getInt("zStr"), names.getInt("modelStr"), names.getInt("targetStr")),
            std::make_tuple(0, 1, 2));

  DynamicEnum loaded;
  loaded.add("chartStr", 4);
  tracer.setIdentifierRawEnum(loaded);
  tracer.setIdentifierRawEnum(tracer.identifierRawEnum());
  EXPECT_EQ(tracer.identifierRawEnum().getString(4), "chartStr");
  EXPECT_EQ(tracer.identifierRawEnum().getInt("zStr"), -1);
}

TEST_F(TracerTest, AssignCommonDataSamplesOnlyWithoutTheRecorder) {
  FakeClock clock;
  FakeMemoryProbe probe;
  tracer.setClock(&clock);
  tracer.setMemoryProbe(&probe);

  PTTracerDataPoint recorded;  // the recorder is assumed until the feature is read
  tracer.assignCommonData(recorded, "G", "Load", true);
  EXPECT_EQ(pt_test::describe(tracer, recorded), "3|Load|G|start|0|0|detailed 0 0 0 0 0|basic 0 0 0");  // not sampled

  tracer.setUsePerformanceTracerRecorder(false);
  PTTracerDataPoint direct;
  tracer.assignCommonData(direct, 7, "Build", false);
  EXPECT_EQ(direct.grouping, 7);  // a number without a name
  EXPECT_EQ(pt_test::describe(tracer, direct), "3|Build||end|100|2|detailed 0 0 0 0 0|basic 1000 2000 3000");
}

}  // namespace
