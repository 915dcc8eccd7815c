// Model-based difference report: two recordings built into trees, merged
// into the LHS tree (every node marked as in both, LHS only or RHS only, with
// its RHS counterpart) and shown with the model-based page.
//
//   generateDiffReport_modelBased(tracer, "diff.html", "GLOBAL", "before", "after", &lhs, &rhs, "time", false);
//   PTprocessedDataNode::Ptr merged = mergeTrees(lhsRoot, rhsRoot);
//
// Children of matched parents are paired by getIDStr() (phase, model,
// target), the n-th LHS child of an identity with the n-th RHS child of it,
// never by position.
#pragma once

#include "report/model/tree_construction.h"
#include "tracer/data_points.h"

#include <string>
#include <utility>
#include <vector>

class PerformanceTracer;

/// (LHS child or null, RHS child), one per RHS child in RHS order.
using PTNodeMatches = std::vector<std::pair<PTprocessedDataNode::Ptr, PTprocessedDataNode::Ptr>>;

/// Writes the difference report of two recordings. Recordings of different
/// kinds of data throw the host error CompareFailed; a recording that does
/// not pair gives an empty file; "detailedmemory" without detailed statistics
/// in both gives the page saying so. False when the file cannot be written.
bool generateDiffReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                                   const std::string& lhsLabel, const std::string& rhsLabel, PTRawDataVector* lhsRaw,
                                   PTRawDataVector* rhsRaw, const std::string& format, bool includeFlameGraph);

/// Merges `right` into `left` and returns the merged root (`left`, or the
/// one given when the other is null).
PTprocessedDataNode::Ptr mergeTrees(const PTprocessedDataNode::Ptr& left, const PTprocessedDataNode::Ptr& right);
void findMatch(const std::vector<PTprocessedDataNode::Ptr>& leftChildren,
               const std::vector<PTprocessedDataNode::Ptr>& rightChildren, PTNodeMatches& matches,
               std::vector<PTprocessedDataNode::Ptr>& leftOnly);
/// Copies the RHS-only subtree under `leftParent`, appended, or directly
/// after `after` when given; the copy of the subtree's root.
PTprocessedDataNode::Ptr addRightNodeToLeft(const PTprocessedDataNode::Ptr& rightNode,
                                            const PTprocessedDataNode::Ptr& leftParent,
                                            const PTprocessedDataNode* after = nullptr);
