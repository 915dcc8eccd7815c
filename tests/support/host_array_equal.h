// Deep comparison of host arrays for tests: class, dimensions, bytes of the
// data, cells and struct fields, recursively.
//
//   EXPECT_TRUE(pt_test::sameHostArray(expected, actual));
#pragma once

#include <gtest/gtest.h>

#include "platform/host_array.h"

namespace pt_test {

/// Success when both are nullptr or equal in every respect; the failure
/// message names the first difference and where it is ("cell 3 / field x").
::testing::AssertionResult sameHostArray(const haArray* expected, const haArray* actual);

}  // namespace pt_test
