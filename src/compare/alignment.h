// Alignment of two recordings: the phases (or the per-phase aggregates) of a
// LHS and a RHS recording of the same work paired by a longest common
// subsequence of their keys, so that a phase run in both is one entry and a
// phase run in one only is an entry of its own.
//
//   std::vector<PTLCSDiffStruct> entries = generateLCSDiffInfo(tracer, before.diagnosticInfos,
//                                                                    after.diagnosticInfos);
//   for (const PTLCSDiffStruct& entry : entries) show(entry.lhsPoint, entry.rhsPoint, entry.matchKind);
//
// The entries point into the two inputs without owning anything, so they are
// valid only while both inputs live. See compare/key_alignment.h for the order
// of unmatched entries and how repeated keys pair.
#pragma once

#include "analysis/aggregation.h"
#include "analysis/processed_points.h"

#include <cstdint>

/// Which recordings an aligned entry is present in.
enum EPTMatchKind : std::int32_t {
  EPT_MATCH_BOTH = 0,
  EPT_MATCH_LHS_ONLY = 1,
  EPT_MATCH_RHS_ONLY = 2,
};

/// One entry of a phase alignment.
struct PTLCSDiffStruct {
  const PTKAVLORProcessedDataPoint* lhsPoint = nullptr;  ///< null for a RHS-only entry
  const PTKAVLORProcessedDataPoint* rhsPoint = nullptr;  ///< null for a LHS-only entry
  std::int32_t matchKind = EPT_MATCH_BOTH;               ///< an EPTMatchKind
};

/// One entry of an aggregate alignment.
struct PTLCSAggDiffStruct {
  const PTAggregateDataPoint* lhsAggregate = nullptr;  ///< null for a RHS-only entry
  const PTAggregateDataPoint* rhsAggregate = nullptr;  ///< null for a LHS-only entry
  std::int32_t matchKind = EPT_MATCH_BOTH;             ///< an EPTMatchKind
};

class PerformanceTracer;

/// The rows of both recordings aligned on their getLCSString() keys (names
/// from the tracer's tables), in forward order; the entries point into the two
/// inputs.
std::vector<PTLCSDiffStruct> generateLCSDiffInfo(const PerformanceTracer& tracer, const PTDiagnosticInfoVector& lhs,
                                                 const PTDiagnosticInfoVector& rhs);
/// The aggregates aligned in ascending phase number on their cleaned phase
/// names (the tracer's phase table).
std::vector<PTLCSAggDiffStruct> generateAggLCSDiffInfo(const PerformanceTracer& tracer, const PTAggregateDataMap& lhs,
                                                       const PTAggregateDataMap& rhs);
