#include "platform/host_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "support/host_array_equal.h"
#include "support/host_records.h"

namespace {

using platform::HostArrayPtr;

// {int32 7, "phase name longer than eight bytes", {double 2.5, struct{x: true}}}
HostArrayPtr nestedRecord() {
  const char* names[] = {"x"};
  const std::size_t one[2] = {1, 1};
  haArray* s = haCreateStructArray(2, one, 1, names);
  haSetFieldByNumber(s, 0, 0, haCreateLogicalScalar(true));
  return pt_test::cellRecord({pt_test::scalar<std::int32_t>(7), haCreateString("phase name longer than eight bytes"),
                              pt_test::cellRecord({haCreateDoubleScalar(2.5), s}).release()});
}

TEST(HostArray, ScalarsHaveTheirClassAndValue) {
  HostArrayPtr d(haCreateDoubleScalar(1));
  HostArrayPtr i(pt_test::scalar<std::int32_t>(-5));
  HostArrayPtr u(pt_test::scalar<std::uint32_t>(4000000000u));
  HostArrayPtr f(haCreateLogicalScalar(false));

  EXPECT_EQ(haGetScalar(i.get()), -5.0);
  EXPECT_EQ(haGetScalar(u.get()), 4000000000.0);
  EXPECT_TRUE(haIsInteger(i.get()) && haIsInteger(u.get()) && !haIsInteger(d.get()));
  EXPECT_TRUE(haIsNumeric(d.get()) && !haIsNumeric(f.get()));
  EXPECT_TRUE(haIsLogicalScalar(f.get()) && !haIsLogicalScalarTrue(f.get()));
  EXPECT_FALSE(haIsLogicalScalarTrue(d.get()));  // a double 1 is not a logical
  EXPECT_EQ(haGetElements<double>(i.get()), nullptr);
  EXPECT_TRUE(haIsScalar(f.get()) && !haIsScalar(nullptr));
  EXPECT_THROW(haCreateNumericMatrix(1, 1, haDOUBLE_CLASS, haCOMPLEX), std::invalid_argument);
  EXPECT_THROW(haCreateNumericMatrix(1, 1, haCELL_CLASS, haREAL), std::invalid_argument);
}

TEST(HostArray, TextKeepsEveryByte) {
  const std::string tricky("a\0b\xff\xc3(z", 7);
  HostArrayPtr exact(haCreateStringFromNChars(tricky.data(), tricky.size()));
  EXPECT_EQ(haArrayToStdString(exact.get()), tricky);
  EXPECT_EQ(haGetN(exact.get()), 7u);
  EXPECT_EQ(haArrayToStdString(HostArrayPtr(haCreateString(tricky.c_str())).get()), "a");  // cut at the NUL

  HostArrayPtr empty(haCreateString(""));
  EXPECT_TRUE(haIsCharVector(empty.get()));  // 1-by-0 still counts as a text
  EXPECT_EQ(haArrayToStdString(empty.get()), "");
  const std::size_t square[2] = {2, 2};
  EXPECT_FALSE(haIsCharVector(HostArrayPtr(haCreateCharArray(2, square)).get()));
  EXPECT_EQ(haArrayToStdString(HostArrayPtr(haCreateDoubleScalar(65)).get()), "");
}

TEST(HostArray, DimensionsAreKeptAndIndexedColumnMajor) {
  const std::size_t dims[3] = {2, 3, 4};
  HostArrayPtr a(haCreateNumericArray(3, dims, haINT16_CLASS, haREAL));
  EXPECT_EQ(haGetNumberOfDimensions(a.get()), 3u);
  EXPECT_EQ(haGetNumberOfElements(a.get()), 24u);
  EXPECT_EQ(haGetN(a.get()), 12u);
  EXPECT_FALSE(haIsVector(a.get()));
  const std::size_t subs[3] = {1, 2, 3};
  EXPECT_EQ(haCalcSingleSubscript(a.get(), 3, subs), 1u + 2u * 2u + 3u * 6u);

  const std::size_t wide[2] = {0, std::size_t{5} << 32};  // beyond 32 bits per dimension
  HostArrayPtr w(haCreateCellArray(2, wide));
  EXPECT_EQ(haGetDimensions(w.get()), (std::vector<std::size_t>{0, std::size_t{5} << 32}));

  HostArrayPtr row(haCreateDoubleMatrix(1, 6, haREAL));
  for (int k = 0; k < 6; ++k) haGetElements<double>(row.get())[k] = k;
  const std::size_t shape[2] = {3, 2};
  haSetDimensions(row.get(), 2, shape);
  EXPECT_EQ(haGetM(row.get()), 3u);
  EXPECT_EQ(haGetElements<double>(row.get())[5], 5.0);
  const std::size_t tooMany[2] = {3, 3};
  EXPECT_THROW(haSetDimensions(row.get(), 2, tooMany), std::invalid_argument);
  EXPECT_THROW(haCreateDoubleMatrix(std::numeric_limits<std::size_t>::max(), 2, haREAL), std::length_error);
}

// Run under AddressSanitizer: a missing or a double release shows up there.
TEST(HostArray, ContainersOwnWhatIsPlacedInThem) {
  HostArrayPtr cell(haCreateCellMatrix(1, 2));
  haArray* first = haCreateString("first");
  haSetCell(cell.get(), 0, first);
  haSetCell(cell.get(), 0, first);  // the same value again is not released
  EXPECT_EQ(haGetCell(cell.get(), 0), first);
  haSetCell(cell.get(), 0, haCreateString("second"));  // releases "first"
  EXPECT_EQ(haArrayToStdString(haGetCell(cell.get(), 0)), "second");
  haSetCell(cell.get(), 0, nullptr);
  EXPECT_EQ(haGetCell(cell.get(), 0), nullptr);
  EXPECT_EQ(haGetCell(cell.get(), 5), nullptr);
  // A refused value is still released by the container call.
  EXPECT_THROW(haSetCell(cell.get(), 2, haCreateString("lost")), std::out_of_range);
  HostArrayPtr notCell(haCreateDoubleScalar(1));
  EXPECT_THROW(haSetCell(notCell.get(), 0, haCreateString("lost")), std::invalid_argument);
}

TEST(HostArray, DuplicateIsDeep) {
  HostArrayPtr original = nestedRecord();
  HostArrayPtr copy(haDuplicateArray(original.get()));
  EXPECT_TRUE(pt_test::sameHostArray(original.get(), copy.get()));
  haGetElements<std::int32_t>(haGetCell(original.get(), 0))[0] = 99;
  haSetCell(haGetCell(original.get(), 2), 0, haCreateString("changed"));
  original.reset();  // the copy must not share anything with it
  EXPECT_TRUE(pt_test::sameHostArray(nestedRecord().get(), copy.get()));
  EXPECT_EQ(haDuplicateArray(nullptr), nullptr);
}

// Arrays sharing characters behave as copies: a write reaches one array
// only, and the characters outlive whichever holder goes first.
TEST(HostArray, SharedCharactersAreCopiedOnWrite) {
  HostArrayPtr first, second, third;
  {
    const platform::SharedChars chars("phase name", 10);
    first.reset(chars.makeString());
    second.reset(chars.makeString());
    HostArrayPtr dropped(chars.makeString());  // released while the others still hold the characters
  }
  third.reset(haDuplicateArray(second.get()));
  haGetElements<char>(first.get())[0] = 'P';
  EXPECT_EQ(haArrayToStdString(first.get()), "Phase name");
  EXPECT_EQ(haArrayToStdString(second.get()), "phase name");
  second.reset();
  EXPECT_EQ(haArrayToStdString(third.get()), "phase name");
  haGetElements<char>(first.get())[1] = 'H';  // the only holder now writes in place
  EXPECT_EQ(haArrayToStdString(first.get()), "PHase name");
  EXPECT_EQ(haGetN(first.get()), 10u);
}

TEST(HostArray, StructFieldsKeepTheirOrder) {
  const char* names[] = {"processorStr", "cpuSpeedStr", "numCoresStr"};
  const std::size_t dims[2] = {1, 2};
  HostArrayPtr s(haCreateStructArray(2, dims, 3, names));
  EXPECT_EQ(haGetNumberOfFields(s.get()), 3);
  EXPECT_STREQ(haGetFieldNameByNumber(s.get(), 2), "numCoresStr");
  EXPECT_EQ(haGetFieldNameByNumber(s.get(), 3), nullptr);
  EXPECT_EQ(haGetFieldNumber(s.get(), "cpuSpeedStr"), 1);
  EXPECT_EQ(haGetFieldNumber(s.get(), "missing"), -1);
  haSetFieldByNumber(s.get(), 1, 0, haCreateString("second element"));
  EXPECT_EQ(haGetFieldByNumber(s.get(), 0, 0), nullptr);
  EXPECT_EQ(haArrayToStdString(haGetFieldByNumber(s.get(), 1, 0)), "second element");
  // A replaced field's value is released, a refused one too (see the containers test).
  haSetFieldByNumber(s.get(), 0, 1, haCreateDoubleScalar(1));
  haSetFieldByNumber(s.get(), 0, 1, haCreateDoubleScalar(2));
  EXPECT_EQ(haGetScalar(haGetField(s.get(), 0, "cpuSpeedStr")), 2.0);
  EXPECT_THROW(haSetFieldByNumber(s.get(), 0, 3, haCreateDoubleScalar(3)), std::out_of_range);
  EXPECT_THROW(haSetFieldByNumber(s.get(), 2, 0, haCreateDoubleScalar(3)), std::out_of_range);

  const char* repeated[] = {"a", "a"};
  EXPECT_THROW(haCreateStructArray(2, dims, 2, repeated), std::invalid_argument);
  const char* blank[] = {""};
  EXPECT_THROW(haCreateStructArray(2, dims, 1, blank), std::invalid_argument);
}

TEST(HostArray, NumericDataIsZeroedAndContiguous) {
  HostArrayPtr a(haCreateNumericMatrix(1, 1000, haUINT64_CLASS, haREAL));
  const auto* data = static_cast<const std::uint64_t*>(haGetData(a.get()));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::count(data, data + 1000, 0u), 1000);
  EXPECT_EQ(haGetElementSize(a.get()), 8u);
  EXPECT_EQ(haGetData(HostArrayPtr(haCreateCellMatrix(1, 1)).get()), nullptr);
}

}  // namespace
