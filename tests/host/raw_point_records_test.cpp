#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "host/cell_records.h"
#include "support/host_records.h"
#include "support/point_text.h"
#include "tracer/data_points.h"
#include "tracer/dynamic_enum.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

namespace {

using platform::HostArrayPtr;

const auto int32 = pt_test::scalar<std::int32_t>;
const auto record = pt_test::cellRecord;

class RawPointRecords : public ::testing::Test {
 protected:
  void SetUp() override { ptClearRawData(); }
};

TEST_F(RawPointRecords, TracerPointIdentifiersTravelAsEnumeratedNumbers) {
  const HostArrayPtr empty(PTTracerDataPoint().writeToCellArray());
  ASSERT_EQ(haGetNumberOfElements(empty.get()), 17u);
  EXPECT_EQ(ptGetIntegerFrom_haArray(haGetCell(empty.get(), 4)), 0);
  EXPECT_TRUE(haIsLogicalScalar(haGetCell(empty.get(), 5)));
  EXPECT_TRUE(haIsDouble(haGetCell(empty.get(), 15)));
  EXPECT_EQ(haGetCell(empty.get(), 16), nullptr);

  const std::int32_t modelNumber = ptInsertIdentifierToMapCollections("modelStr");
  PerformanceTracer::getInstance()->insertIdentifierToMapCollections("blockStr");  // not enumerated yet
  PTTracerDataPoint point;
  point.phase = ptGetNumberForString(EPT_PHASE, "Compile");
  point.grouping = ptGetNumberForString(EPT_GROUPING, "G");
  point.detailedMemStats = boost::make_shared<pt::DetailedMemStats>(0, 0, 0, 0, 1);
  point.identifiers["modelStr"] = ptGetNumberForString("modelStr", "vdp");
  point.identifiers["blockStr"] = ptGetNumberForString("blockStr", "Gain:1");  // a colon in the value
  const HostArrayPtr written(point.writeToCellArray());
  ASSERT_EQ(haGetNumberOfElements(written.get()), 19u);
  const std::int32_t blockNumber = ptGetNuberFromDynamicEnum("blockStr");
  ASSERT_GE(blockNumber, 0) << "a name written must be enumerated";
  EXPECT_EQ((std::set<std::string>{haArrayToStdString(haGetCell(written.get(), 5)),
                                   haArrayToStdString(haGetCell(written.get(), 6))}),
            (std::set<std::string>{std::to_string(modelNumber) + ":vdp", std::to_string(blockNumber) + ":Gain:1"}));
  EXPECT_EQ(pt_test::describe(*PerformanceTracer::getInstance(), PTTracerDataPoint(written.get())),
            pt_test::describe(*PerformanceTracer::getInstance(), point));

  // Through a file's enumeration, where 7 stands for Model; 99 names nothing.
  DynamicEnum fileEnum;
  fileEnum.add("Model", 7);
  const HostArrayPtr numbered = record({haCreateString("1"), int32(3), haCreateString("P"), haCreateString("G"),
                                        int32(2), haCreateString("7:abc"), haCreateString("99:lost")});
  const PTTracerDataPoint read(numbered.get(), fileEnum);
  EXPECT_EQ(read.getIdentifierNum("Model"), ptGetNumberForString("Model", "abc"));
  EXPECT_EQ(read.getIdentifierNum(""), ptGetNumberForString("", "lost"));
}

TEST_F(RawPointRecords, OddRecordsReadSafely) {
  const PTKAVLORDataPoint unknown(record({haCreateString("2"), int32(0), haCreateString("P")}).get());
  EXPECT_EQ(std::make_tuple(unknown.type, unknown.phase, unknown.basicMemStats != nullptr,
                            unknown.detailedMemStats == nullptr),
            std::make_tuple(PT_KAVLOR, -1, true, true));

  // A count far beyond the record reads only what is there, and the kind
  // is kept as the record gives it.
  const PTTracerDataPoint huge(
      record({haCreateString("1"), int32(7), haCreateString("P"), haCreateString("G"), int32(2147483647)}).get());
  EXPECT_EQ(huge.type, 7);
  EXPECT_TRUE(huge.identifiers.empty());

  const HostArrayPtr noNumber = record(
      {haCreateString("1"), int32(3), haCreateString("P"), haCreateString("G"), int32(1), haCreateString("x:abc")});
  EXPECT_THROW(PTTracerDataPoint{noNumber.get()}, std::invalid_argument);
  EXPECT_NO_THROW(PTKAVLORDataPoint{nullptr});
}

}  // namespace
