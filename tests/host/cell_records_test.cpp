#include "host/cell_records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_messages.h"
#include "support/host_array_equal.h"
#include "support/host_records.h"
#include "support/raised.h"

namespace {

using platform::HostArrayPtr;

using pt_test::scalar;
const auto record = pt_test::cellRecord;

TEST(CellRecords, WritersFillElementsLeftToRightAndAdvanceTheCursor) {
  HostArrayPtr cell(haCreateCellMatrix(1, 8));
  unsigned long cursor[2] = {0, 0};
  ptAddIntToCellArray(cell.get(), -7, cursor);
  ptAddStringToCellArray(cell.get(), std::string("Load\0hidden", 11), cursor);  // every byte
  ptAddLogicalToCellArray(cell.get(), true, cursor);
  ptAddDoubleToCellArray(cell.get(), 1.5, cursor);
  ptAddUInt32ToCellArray(cell.get(), 4000000000u, cursor);
  ptAddIntVectorToCellArray(cell.get(), {1, 2}, cursor);
  ptAddStringVectorToCellArray(cell.get(), {}, cursor);
  HostArrayPtr callers(haCreateString("mine"));
  AddDataToCellArray(cell.get(), callers.get(), cursor);

  const HostArrayPtr expected =
      record({scalar<std::int32_t>(-7), haCreateStringFromNChars("Load\0hidden", 11), haCreateLogicalScalar(true),
              haCreateDoubleScalar(1.5), scalar<std::uint32_t>(4000000000u),
              record({scalar<std::int32_t>(1), scalar<std::int32_t>(2)}).release(), haCreateCellMatrix(1, 0),
              haCreateString("mine")});
  EXPECT_TRUE(pt_test::sameHostArray(expected.get(), cell.get()));
  EXPECT_NE(haGetCell(cell.get(), 7), callers.get());  // a copy; the caller keeps its own
  EXPECT_EQ(haArrayToStdString(callers.get()), "mine");
}

TEST(CellRecords, ReadersApplyTheirTypeRulesAndAlwaysAdvance) {
  const HostArrayPtr cell =
      record({scalar<std::int32_t>(42), haCreateDoubleScalar(2.5), haCreateLogicalScalar(false), nullptr,
              scalar<std::int8_t>(-3), scalar<std::uint64_t>(0x100000005ull), haCreateString("text")});
  unsigned long cursor[2] = {0, 0};
  EXPECT_EQ(ptGetDoubleFromCellArray(cell.get(), cursor), 42.0);  // any one-element number
  EXPECT_EQ(ptGetIntFromCellArray(cell.get(), cursor), 0);        // a double is no integer
  EXPECT_FALSE(ptGetLogicalFromCellArray(cell.get(), cursor));    // false
  EXPECT_FALSE(ptGetLogicalFromCellArray(cell.get(), cursor));    // empty
  EXPECT_EQ(ptGetIntFromCellArray(cell.get(), cursor), -3);       // narrower classes by value
  EXPECT_EQ(ptGetUInt32FromCellArray(cell.get(), cursor), 5u);    // 64-bit: the low half
  EXPECT_EQ(ptGetStringFromCellArray(cell.get(), cursor), "text");

  // Beyond the record's end every element is empty.
  EXPECT_EQ(ptGetIntFromCellArray(cell.get(), cursor), 0);
  EXPECT_EQ(ptGetDoubleFromCellArray(cell.get(), cursor), 0.0);
  EXPECT_EQ(ptGetStringFromCellArray(cell.get(), cursor), "");
  EXPECT_TRUE(ptGetStringVectorFromCellArray(cell.get(), cursor).empty());
  EXPECT_EQ(cursor[1], 11u);

  unsigned long onDouble[2] = {0, 1};
  EXPECT_FALSE(ptGetLogicalFromCellArray(cell.get(), onDouble));
}

TEST(CellRecords, StringVectorsOfNestedAndWholeCells) {
  HostArrayPtr cell(haCreateCellMatrix(1, 3));
  unsigned long cursor[2] = {0, 0};
  ptAddStringVectorToCellArray(cell.get(), {}, cursor);
  ptAddStringVectorToCellArray(cell.get(), {"a", "bc"}, cursor);
  ptAddStringToCellArray(cell.get(), "not a cell", cursor);

  unsigned long reader[2] = {0, 0};
  EXPECT_TRUE(ptGetStringVectorFromCellArray(cell.get(), reader).empty());
  EXPECT_EQ(ptGetStringVectorFromCellArray(cell.get(), reader), (std::vector<std::string>{"a", "bc"}));
  EXPECT_TRUE(ptGetStringVectorFromCellArray(cell.get(), reader).empty());

  HostArrayPtr texts(ptCreateCellArrayFromStringVector({"x", "y"}));
  EXPECT_EQ(ptGetStringVectorFromCellArray(texts.get()), (std::vector<std::string>{"x", "y"}));
  haSetCell(texts.get(), 1, haCreateDoubleScalar(1));
  const platform::HostError e = pt_test::raised([&] { ptGetStringVectorFromCellArray(texts.get()); });
  EXPECT_EQ(e.identifier(), "performance_tracer:PerformanceTracer:AddGroupingExpectedString");
  EXPECT_TRUE(e.arguments().empty());
}

// The readers above use these; what they alone meet is here.
TEST(CellRecords, SingleValueConversionsTakeOneElementOfTheirKind) {
  const HostArrayPtr uint32(scalar<std::uint32_t>(4000000000u)), row(haCreateDoubleMatrix(1, 2, haREAL));
  EXPECT_EQ(ptGetUInt32From_haArray(uint32.get()), 4000000000u);
  EXPECT_EQ(ptGetDoubleFrom_haArray(row.get()), 0.0);
  EXPECT_EQ(ptCreateStringFrom_haArray(row.get()), "");
}

}  // namespace
