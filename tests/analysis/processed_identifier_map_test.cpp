#include "analysis/processed_identifier_map.h"

#include <gtest/gtest.h>

namespace {

PTIdentifierMap identifiers(std::initializer_list<std::pair<const char*, std::int32_t>> entries) {
  PTIdentifierMap map = makeIdentifierMap();
  for (const auto& [name, number] : entries) map[name] = number;
  return map;
}

TEST(ProcessedIdentifierMap, EqualMapsShareEntriesButWriteAloneAndIterateByName) {
  PTIdentifierMapPool pool;
  PTProcessedIdentifierMap first = pool.share(identifiers({{"modelStr", 1}, {"targetStr", 2}}));
  PTProcessedIdentifierMap second = pool.share(identifiers({{"targetStr", 2}, {"modelStr", 1}}));
  const PTProcessedIdentifierMap other = pool.share(identifiers({{"modelStr", 1}, {"targetStr", 3}}));
  EXPECT_EQ(&first.entries(), &second.entries());
  EXPECT_NE(&first.entries(), &other.entries());
  EXPECT_FALSE(first == other);

  second[IdentifierName("TestFile")] = 4;
  EXPECT_EQ(std::make_tuple(second.size(), first.size(), first.number("TestFile")), std::make_tuple(3u, 2u, -1));
  EXPECT_EQ(pool.share(identifiers({{"modelStr", 1}, {"targetStr", 2}})).size(), 2u);

  PTProcessedIdentifierMap copy = first;
  copy[IdentifierName("modelStr")] = 9;
  EXPECT_EQ(std::make_pair(first.number("modelStr"), copy.number("modelStr")), std::make_pair(1, 9));

  const PTProcessedIdentifierMap map(identifiers({{"zeta", 1}, {"alpha", 2}, {"mid", 3}}));
  std::string order;
  for (const auto& [name, number] : map) order += name.str() + std::to_string(number);
  EXPECT_EQ(order, "alpha2mid3zeta1");

  PTProcessedIdentifierMap empty = pool.share(makeIdentifierMap());
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.begin(), empty.end());
  EXPECT_EQ(empty.number("alpha"), -1);
  empty[IdentifierName("alpha")] = 5;
  EXPECT_EQ(empty.number("alpha"), 5);
}

}  // namespace
