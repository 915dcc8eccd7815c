// Host array records built by hand for tests: one-element numbers of a
// chosen class and 1-by-n cells of given elements.
//
//   platform::HostArrayPtr r = pt_test::cellRecord({haCreateString("1"), pt_test::scalar<std::int32_t>(3)});
//   EXPECT_EQ(haGetNumberOfElements(r.get()), 2u);
#pragma once

#include <vector>

#include "platform/host_array.h"

namespace pt_test {

/// A new 1-by-1 real array of T's class holding `value`; the caller owns it.
template <class T>
haArray* scalar(T value) {
  haArray* a = haCreateNumericMatrix(1, 1, haClassOf<T>(), haREAL);
  *haGetElements<T>(a) = value;
  return a;
}

/// A 1-by-n cell taking over `elements`; a nullptr element leaves its cell empty.
inline platform::HostArrayPtr cellRecord(const std::vector<haArray*>& elements) {
  platform::HostArrayPtr cell(haCreateCellMatrix(1, elements.size()));
  for (std::size_t i = 0; i < elements.size(); ++i) haSetCell(cell.get(), i, elements[i]);
  return cell;
}

}  // namespace pt_test
