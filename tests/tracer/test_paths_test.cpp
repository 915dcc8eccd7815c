#include "tracer/performance_tracer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

namespace {

using Texts = std::map<std::string, std::string>;
using ::testing::ThrowsMessage;

class TestPathTest : public ::testing::Test {
 protected:
  void SetUp() override { tracer.initialize(); }

  /// Every identifier of the map as its value text.
  Texts textsOf(const PTIdentifierMap& identifiers) const {
    Texts texts;
    for (const auto& [name, number] : identifiers) texts[name] = tracer.getStringForNumber(name, number);
    return texts;
  }
  /// The identifiers split from a full test path, or from a suite or result path.
  Texts split(const std::string& path, bool suitePath = false) {
    PTIdentifierMap identifiers = makeIdentifierMap();
    (tracer.*(suitePath ? &PerformanceTracer::addTestPathToIdentifierMap_TestSuitePath
                        : &PerformanceTracer::addTestPathToIdentifierMap))(identifiers, path);
    return textsOf(identifiers);
  }
  PerformanceTracer tracer;
};

const auto kThrowsNoTestFile = ThrowsMessage<std::runtime_error>("Invalid input string format: TestFile not found.");
const auto kThrowsNoSuiteAndCase =
    ThrowsMessage<std::runtime_error>("Invalid input string format: TestSuite and TestCase not found.");

TEST_F(TestPathTest, FullPathsSplitIntoFileSuiteCaseAndIteration) {
  EXPECT_EQ(split("a.m > Suite > Case # it1"),
            (Texts{{"TestFile", "a.m"}, {"TestSuite", "Suite"}, {"TestCase", "Case"}, {"IterationName", "it1"}}));
  // The case follows the last ">"; only blanks are stripped, and a text of
  // blanks alone is kept.
  EXPECT_EQ(split("a.m > S1 > S2 >  \tCase"),
            (Texts{{"TestFile", "a.m"}, {"TestSuite", "S1 > S2"}, {"TestCase", "\tCase"}, {"IterationName", ""}}));
  EXPECT_EQ(split(">  >#x")["TestSuite"], "  ");
  EXPECT_EQ(tracer.getMapCollections().count("IterationName"), 1u);

  EXPECT_THAT([&] { split(""); }, kThrowsNoTestFile);
  EXPECT_THAT([&] { split("Suite>Case"); }, kThrowsNoSuiteAndCase);
  EXPECT_THAT([&] { split("a.m"); }, kThrowsNoSuiteAndCase);
  EXPECT_THAT([&] { split("a.m > S # x > y"); }, kThrowsNoSuiteAndCase);
}

TEST_F(TestPathTest, SuiteAndResultPathsSplitIntoFileAndSuite) {
  // Values are numbered in the splitting tracer's tables, not the process's:
  // here they number after a value of its own.
  tracer.getNumberForString("TestFile", "first.m", true);
  EXPECT_EQ(split("  f.m > s  ", true), (Texts{{"TestFile", "f.m"}, {"TestSuite", "s"}}));
  EXPECT_EQ(split("f.m > s > t", true), (Texts{{"TestFile", "f.m"}, {"TestSuite", "s > t"}}));
  EXPECT_EQ(split("x Results: run1/f.m/s", true),
            (Texts{{"TestResult", "Results: run1"}, {"TestFile", "f.m"}, {"TestSuite", "s"}}));
  EXPECT_EQ(split("Results: r/ f.m ", true),
            (Texts{{"TestResult", "Results: r"}, {"TestFile", " f.m "}, {"TestSuite", ""}}));
  EXPECT_EQ(split("no separator", true), (Texts{{"TestFile", ""}, {"TestSuite", ""}}));

  PTIdentifierMap untouched = makeIdentifierMap();
  EXPECT_THAT([&] { tracer.addTestPathToIdentifierMap_TestSuitePath(untouched, "Results: run1"); }, kThrowsNoTestFile);
  EXPECT_TRUE(untouched.empty());
}

TEST_F(TestPathTest, PointsAreSplitByUserStringThenTestPathOrElseTestResult) {
  tracer.addTestPathToMap("t1", "old > S > C");
  tracer.addTestPathToMap("t1", "a.m > S > C # i");  // replaces
  auto pointWith = [&](const Texts& texts) {
    PTTracerDataPoint point;
    for (const auto& [name, value] : texts) point.identifiers[name] = tracer.getNumberForString(name, value, true);
    tracer.processTestPathForRawData(&point);
    return textsOf(point.identifiers);
  };

  Texts mapped = pointWith({{"UserString", "t1"}});
  EXPECT_EQ(mapped["TestFile"], "a.m");
  EXPECT_EQ(mapped["IterationName"], "i");
  EXPECT_EQ(pointWith({{"UserString", "unknown"}}), (Texts{{"UserString", "unknown"}}));

  Texts both = pointWith({{"TestPath", "f.m > s"}, {"TestResult", "Results: r/g.m/t"}});
  EXPECT_EQ(both["TestFile"], "f.m");
  EXPECT_EQ(both["TestResult"], "Results: r/g.m/t");  // left as logged
  EXPECT_EQ(pointWith({{"TestResult", "Results: r/g.m/t"}})["TestFile"], "g.m");
  EXPECT_EQ(pointWith({{"TestPath", "none"}})["TestFile"], "");

  EXPECT_THAT([&] { pointWith({{"UserString", "t1"}, {"TestResult", "Results: r"}}); }, kThrowsNoTestFile);
  tracer.processTestPathForRawData(nullptr);

  tracer.clearMapTestPath();
  EXPECT_TRUE(tracer.getMapTestPath().empty());
  EXPECT_EQ(pointWith({{"UserString", "t1"}}).count("TestFile"), 0u);
}

}  // namespace
