#include "tracer/dynamic_enum.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<std::string> texts(const std::vector<const char*>& keys) { return {keys.begin(), keys.end()}; }

TEST(DynamicEnum, ExplicitValuesMoveTheNextValue) {
  DynamicEnum names;
  EXPECT_EQ(names.add("a"), 0);
  names.add("x", 10);
  EXPECT_EQ((std::vector<std::int32_t>{names.add("y"), names.add("a")}), (std::vector<std::int32_t>{11, 0}));

  DynamicEnum taken;
  taken.add("x", 3);
  taken.add("x", 10);  // name present: only the next value moves
  EXPECT_EQ(std::make_tuple(taken.getInt("x"), taken.getString(10)), std::make_tuple(3, ""));
  EXPECT_EQ(taken.add("z"), 11);
  taken.add("w", 3);  // value taken
  EXPECT_EQ(taken.getInt("w"), -1);
}

TEST(DynamicEnum, RemoveClearAndMapKeys) {
  DynamicEnum names;
  names.addKeysFromMap(std::map<std::string, int>{{"m", 7}, {"c", 9}});
  // Values ignored; map order numbers the keys.
  EXPECT_EQ(std::make_tuple(names.getInt("c"), names.getInt("m")), std::make_tuple(0, 1));
  EXPECT_EQ((std::vector<bool>{names.remove("c"), names.remove("c")}), (std::vector<bool>{true, false}));
  EXPECT_EQ(names.add("n"), 2);  // removal gives no number back

  names.clear();
  EXPECT_TRUE(names.getKeyArray().empty());
  EXPECT_EQ(names.add("n"), 0);
}

TEST(DynamicEnum, LargestValueDoesNotOverflow) {
  // A trace data file may carry any number.
  DynamicEnum names;
  names.add("last", std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ((std::tuple{names.add("more"), names.getInt("more")}), std::make_tuple(-1, -1));
}

TEST(DynamicEnum, CopyOutlivesItsSource) {
  auto source = std::make_unique<DynamicEnum>();
  source->add("b");
  source->add("a");
  source->getKeyArray();
  DynamicEnum copy(*source);
  source.reset();
  EXPECT_EQ(copy.add("c"), 2);
  // Key arrays order by text; combined ones put the extra keys first, then by number.
  EXPECT_EQ(texts(copy.getKeyArray()), (std::vector<std::string>{"a", "b", "c"}));
  const char* extra[] = {"k"};
  EXPECT_EQ(texts(copy.combineKeyArrays(extra, 1)), (std::vector<std::string>{"k", "b", "a", "c"}));
}

}  // namespace
