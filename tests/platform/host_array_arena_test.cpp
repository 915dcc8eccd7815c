#include <gtest/gtest.h>

#include <string>

#include "platform/host_array.h"
#include "support/host_array_equal.h"
#include "support/host_records.h"

namespace {

using platform::HostArrayArena;
using platform::HostArrayPtr;

// A record with every kind of element: scalars, a long text, a nested cell, a
// struct (whose body always lives on the heap) and a three-dimensional array.
HostArrayPtr record() {
  const char* names[] = {"f"};
  const std::size_t one[2] = {1, 1}, cube[3] = {2, 2, 2};
  haArray* info = haCreateStructArray(2, one, 1, names);
  haSetFieldByNumber(info, 0, 0, haCreateLogicalScalar(true));
  return pt_test::cellRecord({haCreateDoubleScalar(2.5), haCreateString("a text longer than the handle's own bytes"),
                              haCreateCellMatrix(1, 0), info, haCreateNumericArray(3, cube, haINT32_CLASS, haREAL),
                              haCreateCellMatrix(1, 300)});  // data bigger than most allocations
}

TEST(HostArrayArena, ArraysMadeInAnArenaBehaveAlike) {
  const HostArrayPtr onHeap = record();
  HostArrayArena arena;
  for (int batch = 0; batch < 3; ++batch) {  // reused after each reset
    HostArrayPtr inArena;
    {
      const HostArrayArena::Scope scope(arena);
      inArena = record();
      HostArrayPtr copy(haDuplicateArray(inArena.get()));
      EXPECT_TRUE(pt_test::sameHostArray(onHeap.get(), copy.get()));
      const std::size_t dims[3] = {1, 8, 1};
      haSetDimensions(haGetCell(inArena.get(), 4), 3, dims);
    }
    EXPECT_EQ(haGetDimension(haGetCell(inArena.get(), 4), 1), 8u);
    // A copy made outside the scope lives on the heap and outlives the arena's batch.
    const HostArrayPtr kept(haDuplicateArray(haGetCell(inArena.get(), 1)));
    inArena.reset();
    arena.reset();
    EXPECT_EQ(haArrayToStdString(kept.get()), "a text longer than the handle's own bytes");
  }
}

TEST(HostArrayArena, ScopesNestAndLargeRequestsGetABlockOfTheirOwn) {
  HostArrayArena outer, inner;
  const HostArrayArena::Scope outerScope(outer);
  {
    const HostArrayArena::Scope innerScope(inner);
    HostArrayPtr big(haCreateDoubleMatrix(1, 100000, haREAL));  // beyond one block
    static_cast<double*>(haGetData(big.get()))[99999] = 1.0;
    EXPECT_EQ(haGetNumberOfElements(big.get()), 100000u);
  }
  HostArrayPtr small(haCreateDoubleScalar(3));
  EXPECT_EQ(haGetScalar(small.get()), 3.0);
  small.reset();
  inner.reset();
  outer.reset();
}

}  // namespace
