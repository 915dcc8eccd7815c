#include "compare/alignment.h"

#include "analysis/diagnostic_info.h"
#include "compare/key_alignment.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// The alignment as first described: the whole table of common-subsequence
// lengths, then the walk back from its corner. Kept here as the reference the
// compact alignment must agree with entry for entry.
std::vector<pt::KeyAlignmentEntry> tableAlignment(const std::vector<std::uint32_t>& lhs,
                                                  const std::vector<std::uint32_t>& rhs) {
  const std::size_t m = lhs.size(), n = rhs.size();
  std::vector<std::vector<std::uint64_t>> table(m + 1, std::vector<std::uint64_t>(n + 1, 0));
  for (std::size_t i = 1; i <= m; ++i)
    for (std::size_t j = 1; j <= n; ++j)
      table[i][j] = lhs[i - 1] == rhs[j - 1] ? table[i - 1][j - 1] + 1 : std::max(table[i][j - 1], table[i - 1][j]);
  std::vector<pt::KeyAlignmentEntry> entries;
  std::size_t i = m, j = n;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && lhs[i - 1] == rhs[j - 1]) {
      entries.push_back({--i, --j});
    } else if (j > 0 && (i == 0 || table[i][j - 1] >= table[i - 1][j])) {
      entries.push_back({pt::kNoPosition, --j});
    } else {
      entries.push_back({--i, pt::kNoPosition});
    }
  }
  return {entries.rbegin(), entries.rend()};
}

std::vector<std::uint32_t> randomKeys(std::mt19937& random, std::size_t size, std::uint32_t distinct) {
  std::vector<std::uint32_t> keys(size);
  for (auto& key : keys) key = static_cast<std::uint32_t>(random() % distinct);
  return keys;
}

/// `keys` with about `percent` % of its elements replaced, dropped or joined by new ones.
std::vector<std::uint32_t> edited(std::mt19937& random, const std::vector<std::uint32_t>& keys, unsigned percent,
                                  std::uint32_t distinct) {
  std::vector<std::uint32_t> result;
  for (const std::uint32_t key : keys) {
    // Under percent: replaced; up to twice that: joined; up to three times: dropped.
    const unsigned roll = random() % 300;
    if (roll >= 3 * percent || (roll >= percent && roll < 2 * percent)) result.push_back(key);
    if (roll < 2 * percent) result.push_back(static_cast<std::uint32_t>(random() % distinct));
  }
  return result;
}

TEST(KeyAlignment, AgreesWithTheFullTableOnRandomAndAdversarialSequences) {
  std::mt19937 random(20260917);
  std::vector<std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>>> cases;
  // Sizes around word and band edges; few distinct keys make long repeated runs.
  for (const std::size_t m : {0, 1, 2, 63, 64, 65, 130, 257})
    for (const std::size_t n : {0, 1, 63, 64, 65, 129, 300})
      for (const std::uint32_t distinct : {1U, 2U, 5U})
        cases.emplace_back(randomKeys(random, m, distinct), randomKeys(random, n, distinct));
  for (int trial = 0; trial < 700; ++trial) {
    const std::uint32_t distinct = std::vector<std::uint32_t>{1, 2, 3, 8, 40, 1000}[trial % 6];
    std::vector<std::uint32_t> lhs = randomKeys(random, random() % 220, distinct);
    std::vector<std::uint32_t> rhs = lhs;
    switch (trial % 7) {
      case 0: rhs = randomKeys(random, random() % 220, distinct); break;
      case 1: rhs = edited(random, lhs, 5, distinct); break;
      case 2: lhs = edited(random, rhs, 30, distinct); break;
      case 3: break;  // the same sequence
      case 4:         // a block of phases moved: matches far apart on the two sides
        std::rotate(rhs.begin(), rhs.begin() + static_cast<std::ptrdiff_t>(random() % (rhs.size() + 1)), rhs.end());
        break;
      default:  // no key in common
        for (auto& key : rhs) key += distinct;
    }
    cases.emplace_back(lhs, rhs);
  }
  // Long sequences: many bands, rare keys (a mask written per row) and frequent ones.
  const std::vector<std::uint32_t> longLhs = randomKeys(random, 3000, 400);
  cases.emplace_back(longLhs, edited(random, longLhs, 5, 400));
  cases.emplace_back(randomKeys(random, 2500, 3), randomKeys(random, 2000, 3));

  for (const auto& [lhs, rhs] : cases) {
    const std::vector<pt::KeyAlignmentEntry> aligned = pt::alignKeySequences(lhs, rhs);
    ASSERT_TRUE(aligned == tableAlignment(lhs, rhs)) << "sizes " << lhs.size() << " x " << rhs.size();
  }
}

// ---------------------------------------------------------------- Phase rows
// Rows print their keys through the process-wide tracer, so they are named there.

template <class Row = PTKAVLORProcessedDataPoint>
std::unique_ptr<PTKAVLORProcessedDataPoint> row(const std::string& phase, const std::string& grouping = "G") {
  auto point = std::make_unique<Row>();
  point->phase = ptGetNumberForString(EPT_PHASE, phase);
  point->grouping = ptGetNumberForString(EPT_GROUPING, grouping);
  return point;
}

PTDiagnosticInfoVector rows(const std::vector<std::string>& phases) {
  PTDiagnosticInfoVector result;
  for (const std::string& phase : phases) result.push_back(boost::make_shared<PTDiagnosticInfo>(row(phase)));
  return result;
}

/// "l:r" per entry, with the row positions on each side and "-" for a missing
/// one; a kind that disagrees with the sides shows as "?".
std::string describe(const std::vector<PTLCSDiffStruct>& entries, const PTDiagnosticInfoVector& lhs,
                     const PTDiagnosticInfoVector& rhs) {
  const auto position = [](const PTDiagnosticInfoVector& side, const PTKAVLORProcessedDataPoint* point) {
    if (point == nullptr) return std::string("-");
    for (std::size_t k = 0; k < side.size(); ++k)
      if (side[k]->processedPoint.get() == point) return std::to_string(k);
    return std::string("stranger");
  };
  std::string text;
  for (const PTLCSDiffStruct& entry : entries) {
    const std::int32_t expectedKind = entry.lhsPoint == nullptr
                                          ? EPT_MATCH_RHS_ONLY
                                          : (entry.rhsPoint == nullptr ? EPT_MATCH_LHS_ONLY : EPT_MATCH_BOTH);
    if (!text.empty()) text += ' ';
    text +=
        position(lhs, entry.lhsPoint) + (entry.matchKind == expectedKind ? ":" : "?") + position(rhs, entry.rhsPoint);
  }
  return text;
}

TEST(PhaseAlignment, EmitsMatchesAndUnmatchedRowsInTraceBackOrder) {
  struct Case {
    std::vector<std::string> lhs, rhs;
    std::string expected;
  };
  const Case cases[] = {
      {{}, {}, ""},
      {{}, {"A", "B"}, "-:0 -:1"},
      {{"A", "B"}, {}, "0:- 1:-"},
      {{"A", "B", "C"}, {"A", "B", "C"}, "0:0 1:1 2:2"},
      {{"P", "Q", "R"}, {"P", "R"}, "0:0 1:- 2:1"},
      {{"A", "X"}, {"A", "Y"}, "0:0 1:- -:1"},  // LHS-only before RHS-only
      {{"A", "X", "Z"}, {"A", "Y", "Z"}, "0:0 1:- -:1 2:2"},
      {{"B", "A"}, {"A", "B"}, "0:- 1:0 -:1"},        // equal lengths: the walk drops the RHS first
      {{"A", "A"}, {"A"}, "0:- 1:0"},                 // repeated keys pair from the end
      {{"A"}, {"A", "A"}, "-:0 0:1"},                 // even at the start of both
      {{"/C", "D"}, {"C", "E", "D"}, "0:0 -:1 1:2"},  // keys are cleaned phase names
  };
  for (const Case& c : cases) {
    const PTDiagnosticInfoVector lhs = rows(c.lhs);
    const PTDiagnosticInfoVector rhs = rows(c.rhs);
    EXPECT_EQ(describe(generateLCSDiffInfo(*PerformanceTracer::getInstance(), lhs, rhs), lhs, rhs), c.expected)
        << c.expected;
  }
}

TEST(PhaseAlignment, RowsMatchByKeyTextNotByKind) {
  // A block-diagram row without model or target prints the base row's key.
  PTDiagnosticInfoVector lhs = rows({"Load"});
  lhs.push_back(boost::make_shared<PTDiagnosticInfo>(row("Load", "OtherGrouping")));
  const PTDiagnosticInfoVector rhs{boost::make_shared<PTDiagnosticInfo>(row<PTCLTGXProcessedDataPoint>("Load"))};
  EXPECT_EQ(describe(generateLCSDiffInfo(*PerformanceTracer::getInstance(), lhs, rhs), lhs, rhs), "0:0 1:-");
}

TEST(AggregateAlignment, PairsAggregatesByCleanedPhaseNameInPhaseOrder) {
  PerformanceTracer tracer;
  tracer.initialize();
  const auto aggregates = [&](const std::vector<std::string>& phases) {
    PTAggregateDataMap map;
    for (const std::string& phase : phases) {
      const std::int32_t number = tracer.getNumberForString(EPT_PHASE, phase, true);
      map[number] = std::make_unique<PTAggregateDataPoint>(0, number, false);
    }
    return map;
  };
  // Numbered Load 0, Build 1, /Load 2, Run 3.
  const PTAggregateDataMap lhs = aggregates({"Load", "Build"});
  const PTAggregateDataMap rhs = aggregates({"/Load", "Run"});

  std::string text;
  for (const PTLCSAggDiffStruct& entry : generateAggLCSDiffInfo(tracer, lhs, rhs)) {
    text += std::to_string(entry.lhsAggregate ? entry.lhsAggregate->phaseID : -1) + ":" +
            std::to_string(entry.rhsAggregate ? entry.rhsAggregate->phaseID : -1) + "/" +
            std::to_string(entry.matchKind) + " ";
  }
  EXPECT_EQ(text, "0:2/0 1:-1/1 -1:3/2 ");
}

}  // namespace
