// Model-based tree construction: arranges the rows of one recording by the
// model, target and test they belong to, as a tree of PTprocessedDataNode
// with a map from every node's identifier to the node.
//
//   PTNodeMap nodes;
//   PTNodeVector navigation = constructNodes(tracer, summary.diagnosticInfos, PT_REPORT_MODEL, nodes);
//
// The returned vector holds the navigation nodes (root, models, sections,
// referenced-model and test groupings) in creation order; phase nodes are
// reached through the tree and the map. Only rows of the generic tracer class
// are placed. Names are looked up in the given tracer's mappings, so the rows
// must have been numbered there; the names the tree shows that the phase
// mapping lacks (sections, groupings, referenced models) are added to it.
// Every builder completes the tree with updateTreeInfo before returning.
#pragma once

#include "analysis/analysis_types.h"
#include "report/model/processed_data_node.h"

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class PerformanceTracer;

/// Hashes node identifiers. Phase nodes are named by their row numbers, which
/// hash to themselves: made in row order, a million of them then fill
/// neighbouring buckets rather than touching a cold one each (a map that mixes
/// the hash's bits, as Boost's does, loses that: three times slower at 1M).
struct PTNodeKeyHash {
  std::size_t operator()(const std::string& key) const noexcept;
};
/// Node identifier → node.
using PTNodeMap = std::unordered_map<std::string, PTprocessedDataNode::Ptr, PTNodeKeyHash>;
using PTNodeVector = std::vector<PTprocessedDataNode::Ptr>;
/// (child index, parent index) pairs of rows waiting to be placed.
using PTPlacementQueue = std::deque<std::pair<std::size_t, std::size_t>>;

/// Host/block-diagram data.
PTNodeVector constructNodes(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos, PTReportType type,
                            PTNodeMap& nodeMap);
/// Code-generation data.
PTNodeVector constructNodes_TGX(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos, PTReportType type,
                                PTNodeMap& nodeMap);
/// Test-manager data.
PTNodeVector constructNodes_CLTestReport(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos,
                                         PTNodeMap& nodeMap);

/// A node made by the (name, phaseName, tracer) or (name, point) constructor,
/// linked under `parent` (when given).
PTprocessedDataNode::Ptr createAndSetupNode(PerformanceTracer& tracer, const std::string& identifier,
                                            const std::string& displayText, const PTprocessedDataNode::Ptr& parent);
PTprocessedDataNode::Ptr createAndSetupNode(const std::string& identifier, const PTTracerProcessedDataPoint& point,
                                            const PTprocessedDataNode::Ptr& parent);

/// Queues (child, index) for every direct child of row `index`.
void findDirectChildren(const PTDiagnosticInfoVector& infos, std::size_t index, PTPlacementQueue& queue);
/// Takes the point's time and memory off the node and every ancestor.
void subtractParent(PTprocessedDataNode* node, const PTKAVLORProcessedDataPoint* point);

/// The node under `key`; std::out_of_range "Unable to find key in unordered_map."
/// when there is none.
const PTprocessedDataNode::Ptr& findNode(const PTNodeMap& nodeMap, const std::string& key);
