#include "compare/alignment.h"

#include "analysis/diagnostic_info.h"
#include "compare/key_alignment.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Each key is built once and numbered; the alignment compares numbers.
class KeyNumbers {
 public:
  explicit KeyNumbers(std::size_t expected) { numbers_.reserve(expected); }
  std::uint32_t operator()(std::string key) {
    const auto next = static_cast<std::uint32_t>(numbers_.size());
    return numbers_.try_emplace(std::move(key), next).first->second;
  }

 private:
  std::unordered_map<std::string, std::uint32_t> numbers_;
};

// The key getLCSString() prints (cleaned phase name, grouping, then the
// subject names), named through `tracer`'s tables as the aggregate keys are:
// a recording analysed by another tracer than the process-wide one has its
// numbers in that tracer's tables only.
std::string lcsKey(const PerformanceTracer& tracer, const PTKAVLORProcessedDataPoint& row) {
  std::string key = ptCleanupPhaseName(tracer.getStringForNumber(EPT_PHASE, row.phase), true);
  key += tracer.getStringForNumber(EPT_GROUPING, row.grouping);
  if (const auto* tracerRow = dynamic_cast<const PTTracerProcessedDataPoint*>(&row)) {
    for (const auto& [name, number] : tracerRow->identifiers) key += tracer.getStringForNumber(name.str(), number);
  } else if (const auto* modelRow = dynamic_cast<const PTCLTGXProcessedDataPoint*>(&row)) {
    key += tracer.getStringForNumber(EPT_MODEL, modelRow->model);
    key += tracer.getStringForNumber(EPT_TARGET, modelRow->target);
    if (const auto* chartRow = dynamic_cast<const PTQDProcessedDataPoint*>(&row)) {
      key += tracer.getStringForNumber(EPT_MACHINE, chartRow->machine);
      key += tracer.getStringForNumber(EPT_CHART, chartRow->chart);
    }
  }
  return key;
}

const PTKAVLORProcessedDataPoint* pointOf(const boost::shared_ptr<PTDiagnosticInfo>& row) {
  return row ? row->processedPoint.get() : nullptr;
}

std::int32_t matchKindOf(const pt::KeyAlignmentEntry& entry) {
  if (entry.lhs == pt::kNoPosition) return EPT_MATCH_RHS_ONLY;
  return entry.rhs == pt::kNoPosition ? EPT_MATCH_LHS_ONLY : EPT_MATCH_BOTH;
}

}  // namespace

std::vector<PTLCSDiffStruct> generateLCSDiffInfo(const PerformanceTracer& tracer, const PTDiagnosticInfoVector& lhs,
                                                 const PTDiagnosticInfoVector& rhs) {
  KeyNumbers number(lhs.size() + rhs.size());
  const auto keysOf = [&](const PTDiagnosticInfoVector& rows) {
    std::vector<std::uint32_t> keys;
    keys.reserve(rows.size());
    for (const auto& row : rows) {
      const PTKAVLORProcessedDataPoint* point = pointOf(row);
      keys.push_back(number(point != nullptr ? lcsKey(tracer, *point) : std::string()));
    }
    return keys;
  };
  const std::vector<std::uint32_t> lhsKeys = keysOf(lhs);
  const std::vector<std::uint32_t> rhsKeys = keysOf(rhs);

  std::vector<PTLCSDiffStruct> entries;
  const std::vector<pt::KeyAlignmentEntry> aligned = pt::alignKeySequences(lhsKeys, rhsKeys);
  entries.reserve(aligned.size());
  for (const pt::KeyAlignmentEntry& entry : aligned) {
    entries.push_back({entry.lhs == pt::kNoPosition ? nullptr : pointOf(lhs[entry.lhs]),
                       entry.rhs == pt::kNoPosition ? nullptr : pointOf(rhs[entry.rhs]), matchKindOf(entry)});
  }
  return entries;
}

std::vector<PTLCSAggDiffStruct> generateAggLCSDiffInfo(const PerformanceTracer& tracer, const PTAggregateDataMap& lhs,
                                                       const PTAggregateDataMap& rhs) {
  KeyNumbers number(lhs.size() + rhs.size());
  const auto keysOf = [&](const PTAggregateDataMap& aggregates) {
    std::vector<std::uint32_t> keys;
    std::vector<const PTAggregateDataPoint*> inOrder;
    keys.reserve(aggregates.size());
    inOrder.reserve(aggregates.size());
    for (const auto& [phase, aggregate] : aggregates) {
      keys.push_back(number(ptCleanupPhaseName(tracer.getStringForNumber(EPT_PHASE, phase), true)));
      inOrder.push_back(aggregate.get());
    }
    return std::pair(std::move(keys), std::move(inOrder));
  };
  const auto [lhsKeys, lhsAggregates] = keysOf(lhs);
  const auto [rhsKeys, rhsAggregates] = keysOf(rhs);

  std::vector<PTLCSAggDiffStruct> entries;
  const std::vector<pt::KeyAlignmentEntry> aligned = pt::alignKeySequences(lhsKeys, rhsKeys);
  entries.reserve(aligned.size());
  for (const pt::KeyAlignmentEntry& entry : aligned) {
    entries.push_back({entry.lhs == pt::kNoPosition ? nullptr : lhsAggregates[entry.lhs],
                       entry.rhs == pt::kNoPosition ? nullptr : rhsAggregates[entry.rhs], matchKindOf(entry)});
  }
  return entries;
}
