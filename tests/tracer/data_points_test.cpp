#include "tracer/data_points.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <boost/unordered_map.hpp>

#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

template <class Point>
boost::shared_ptr<Point> makePoint(int grouping, int phase, bool isStart) {
  auto point = boost::make_shared<Point>();
  point->grouping = grouping;
  point->phase = phase;
  point->isStart = isStart;
  return point;
}

TEST(DataPoints, CopiesAreDeep) {
  PTTracerDataPoint source;
  source.phase = 3;
  source.statisticsType = 4;
  source.isGapPoint = true;
  source.cpuTime = 0.5;
  source.basicMemStats->procMemUsage = 42;
  source.detailedMemStats.reset();  // as read from a record without detailed figures
  source.identifiers["modelStr"] = 1;

  PTTracerDataPoint copy(source);
  copy.basicMemStats->procMemUsage = 7;
  EXPECT_EQ(source.basicMemStats->procMemUsage, 42);
  ASSERT_TRUE(copy.detailedMemStats);
  EXPECT_EQ(copy.identifiers, source.identifiers);
  EXPECT_EQ(std::make_tuple(bool{copy.isGapPoint}, bool{copy.isStart}, copy.statisticsType, copy.cpuTime),
            std::make_tuple(true, false, 4, 0.5));

  // Copying through a base class gives a point of that class's kind.
  PTKAVLORDataPoint base(source);
  EXPECT_EQ(std::tie(base.type, base.phase), std::make_tuple(PT_KAVLOR, 3));

  PTQuorindelDataPoint chart;
  chart.model = 1;
  chart.chart = 9;
  PTQuorindelDataPoint chartCopy(chart);
  EXPECT_EQ(std::tie(chartCopy.model, chartCopy.chart), std::make_tuple(1, 9));
  EXPECT_NE(chartCopy.detailedMemStats, chart.detailedMemStats);
}

// Logged points hold their snapshots in their own block: each kind keeps its
// defaults, and a copy's snapshots outlive the point (a sanitizer build
// reports a copy that still pointed into the freed block).
TEST(DataPoints, PooledPointsKeepTheirKindAndCopiesOutliveThem) {
  const boost::shared_ptr<PTKAVLORDataPoint> kinds[] = {makePooledPoint<PTKAVLORDataPoint>(),
                                                        makePooledPoint<PTCLTGXDataPoint>(),
                                                        makePooledPoint<PTQuorindelDataPoint>()};
  for (int kind = 0; kind < 3; ++kind) {
    EXPECT_EQ(std::make_tuple(kinds[kind]->type, kinds[kind]->grouping, kinds[kind]->basicMemStats->procVMSize,
                              kinds[kind]->detailedMemStats->freeMem),
              std::make_tuple(kind, -1, 0.0, 0.0));
  }
  auto logged = makePooledPoint<PTTracerDataPoint>();
  logged->basicMemStats->procMemUsage = 42;
  logged->detailedMemStats->resMem = 5;
  logged->identifiers["modelStr"] = 1;
  const PTTracerDataPoint copy(*logged);
  logged.reset();
  EXPECT_EQ(std::make_tuple(copy.type, copy.basicMemStats->procMemUsage, copy.detailedMemStats->resMem),
            std::make_tuple(PT_TRACER, 42.0, 5.0));
  EXPECT_EQ(copy.identifiers.size(), 1u);
}

TEST(DataPoints, MatchIgnoresStartFlagStatisticsTypeAndSamplesButNotKinds) {
  auto start = makePoint<PTCLTGXDataPoint>(1, 2, true);
  auto end = makePoint<PTCLTGXDataPoint>(1, 2, false);
  start->model = end->model = 5;
  end->statisticsType = 3;
  end->wallClockTime = 9.0;
  EXPECT_TRUE(start->matchPoint(end));
  end->target = 1;
  EXPECT_FALSE(start->matchPoint(end));
  EXPECT_FALSE(start->matchPoint(nullptr));

  // Never across kinds.
  auto block = makePoint<PTCLTGXDataPoint>(1, 2, true);
  auto plain = makePoint<PTKAVLORDataPoint>(1, 2, false);
  EXPECT_FALSE(block->matchPoint(plain) || plain->matchPoint(block));
  EXPECT_TRUE(plain->matchPoint(makePoint<PTKAVLORDataPoint>(1, 2, true)));
  // A base-class point claiming another kind (a record can make one) is not
  // read as that class.
  plain->type = PT_CLTGX;
  EXPECT_FALSE(block->matchPoint(plain));

  auto chart = makePoint<PTQuorindelDataPoint>(1, 2, true);
  auto otherChart = makePoint<PTQuorindelDataPoint>(1, 2, false);
  EXPECT_TRUE(chart->matchPoint(otherChart));
  otherChart->chart = 4;
  EXPECT_FALSE(chart->matchPoint(otherChart));
}

TEST(DataPoints, TracerPointsMatchOnEqualIdentifierMaps) {
  auto start = makePoint<PTTracerDataPoint>(0, 0, true);
  auto end = makePoint<PTTracerDataPoint>(0, 0, false);
  start->identifiers["modelStr"] = 1;
  end->identifiers[std::string("modelStr")] = 1;
  EXPECT_TRUE(start->matchPoint(end));
  end->identifiers["modelStr"] = 2;
  EXPECT_FALSE(start->matchPoint(end));
  end->identifiers["modelStr"] = 1;
  end->identifiers["targetStr"] = 0;
  EXPECT_FALSE(start->matchPoint(end) || end->matchPoint(start));
  EXPECT_EQ(std::make_tuple(end->getIdentifierNum("targetStr"), end->getIdentifierNum("chartStr")),
            std::make_tuple(0, -1));
}

TEST(IdentifierName, EqualTextsShareOneKey) {
  const IdentifierName name(std::string("statisticsTypeStr"));  // longer than the small-string buffer
  EXPECT_EQ(&name.str(), &IdentifierName("statisticsTypeStr").str());
}

// The flat identifier store must visit its entries in the order a chained hash
// table of the same history does, since that order is the order of identifier
// elements in saved files. Random histories of inserts, reserves, rehashes,
// copies and moves are replayed on both and compared after every step.
TEST(IdentifierMap, VisitsEntriesInTheOrderOfTheHashTable) {
  using Reference = boost::unordered_map<IdentifierName, std::int32_t, boost::hash<IdentifierName>>;
  std::vector<IdentifierName> names;
  for (int i = 0; i < 40; ++i) names.emplace_back("identifier" + std::to_string(i * 7919));
  const auto orderOf = [](const auto& map) {
    std::vector<std::pair<std::string, std::int32_t>> order;
    for (const auto& [name, number] : map) order.emplace_back(name.str(), number);
    return order;
  };
  std::mt19937 random(20261207);
  for (int history = 0; history < 400; ++history) {
    PTIdentifierMap flat = makeIdentifierMap();
    Reference reference(0);
    reference.max_load_factor(1.0f);
    const std::size_t keys = 1 + random() % (history % 4 == 0 ? 40 : 9);
    const auto onBoth = [&](const auto& step) {
      step(flat);
      step(reference);
    };
    for (int step = 0; step < 24; ++step) {
      const unsigned operation = random() % 16;
      if (operation < 9) {
        const IdentifierName& name = names[random() % keys];
        const auto number = static_cast<std::int32_t>(random() % 100);
        onBoth([&](auto& map) { map[name] = number; });
      } else if (operation == 9) {
        onBoth([count = random() % 12](auto& map) { map.reserve(count); });
      } else if (operation == 10) {
        onBoth([buckets = random() % 20](auto& map) { map.rehash(buckets); });
      } else if (operation == 11) {
        onBoth([](auto& map) {
          auto copy(map);
          map = std::move(copy);
        });
      } else if (operation == 12) {
        // Assigned onto a map with a history of its own.
        PTIdentifierMap flatTarget = makeIdentifierMap();
        Reference referenceTarget(0);
        flatTarget[names[0]] = 1;
        referenceTarget[names[0]] = 1;
        flatTarget = flat;
        referenceTarget = reference;
        flat = flatTarget;
        reference = referenceTarget;
      } else if (operation == 13) {
        onBoth([factor = 0.25f * static_cast<float>(1 + random() % 8)](auto& map) { map.max_load_factor(factor); });
      } else if (operation == 14 && random() % 4 == 0) {
        onBoth([](auto& map) { map.clear(); });
      } else {
        onBoth([](auto& map) {
          const auto moved(std::move(map));
          map = moved;
        });
      }
      ASSERT_EQ(std::pair(orderOf(flat), flat.bucket_count()), std::pair(orderOf(reference), reference.bucket_count()))
          << "history " << history << " step " << step;
    }
  }
}

}  // namespace
