#include "support/host_array_equal.h"

#include <cstring>
#include <string>

namespace pt_test {
namespace {

std::string difference(const haArray* e, const haArray* a, const std::string& where) {
  if (e == nullptr || a == nullptr) return e == a ? "" : where + ": one is empty, the other is not";
  if (haGetClassID(e) != haGetClassID(a)) return where + ": class " + haGetClassName(e) + " vs " + haGetClassName(a);
  if (haGetDimensions(e) != haGetDimensions(a)) return where + ": dimensions differ";
  const std::size_t n = haGetNumberOfElements(e);
  if (haIsCell(e)) {
    for (std::size_t i = 0; i < n; ++i) {
      std::string d = difference(haGetCell(e, i), haGetCell(a, i), where + "/cell " + std::to_string(i));
      if (!d.empty()) return d;
    }
    return "";
  }
  if (haIsStruct(e)) {
    const int nfields = haGetNumberOfFields(e);
    if (nfields != haGetNumberOfFields(a)) return where + ": field counts differ";
    for (int f = 0; f < nfields; ++f) {
      const std::string name = haGetFieldNameByNumber(e, f);
      if (name != haGetFieldNameByNumber(a, f)) return where + ": field " + std::to_string(f) + " is named differently";
      for (std::size_t i = 0; i < n; ++i) {
        std::string d = difference(haGetFieldByNumber(e, i, f), haGetFieldByNumber(a, i, f),
                                   where + "/element " + std::to_string(i) + " field " + name);
        if (!d.empty()) return d;
      }
    }
    return "";
  }
  // Bytes, not values: NaN payloads and the sign of zero must survive too.
  if (n > 0 && std::memcmp(haGetData(e), haGetData(a), n * haGetElementSize(e)) != 0) return where + ": data differs";
  return "";
}

}  // namespace

::testing::AssertionResult sameHostArray(const haArray* expected, const haArray* actual) {
  const std::string d = difference(expected, actual, "value");
  return d.empty() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << d;
}

}  // namespace pt_test
