// Call tree of the phase-based report: the report rows as a tree of phases in
// which repeated identical subtrees are folded into one node that lists every
// row it stands for. The library builds and folds the tree and writes it into
// the page as flat node records that the page links into the tree; the page
// script expands, filters and totals it. Nothing here recurses, so a trace of
// any depth is handled in time and memory linear in its rows.
//
//   page += generateCallTreeReportDataJS(summary.diagnosticInfos);  // inside <script>
//   page += generateCallTreeReportFunctionsJS("time");
#pragma once

#include "analysis/analysis_types.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

struct callTreeNode;
using CallTreeNodePtr = boost::shared_ptr<callTreeNode>;

struct callTreeNode {
  callTreeNode() = default;
  callTreeNode(const callTreeNode&) = delete;
  callTreeNode& operator=(const callTreeNode&) = delete;
  /// Releases a deep subtree without one nested call per level.
  ~callTreeNode();

  /// procData positions of the rows folded into this node, in folding order.
  std::vector<int> IDs;
  std::vector<CallTreeNodePtr> children;
  /// Identity of the node's subtree; nodes with equal checksums fold together.
  std::int32_t checksum = 0;
  bool isGap = false;

  /// The node and its subtree as a nested createNode(index, parent, [ids],
  /// [children]) call. Nodes are numbered depth-first from a counter that
  /// `resetCounter` sets to 0 and that later calls on the same thread carry
  /// on; a root is its own parent.
  std::string getJSArrayStr(bool isRoot, bool resetCounter);
};

/// Sum, modulo 2^32, of the four little-endian 32-bit words of the MD5 digest
/// of n's four little-endian bytes.
std::int32_t computeChecksum(int n);

/// True when `childNumber` is an outline number one level below
/// `parentNumber` ("1.2" is a child of "1", "1.2.1" is not).
bool isChild(const std::string& parentNumber, const std::string& childNumber);

/// One node per row, nested as the rows are (rows in the order of their
/// starts); top-level nodes are appended to `roots`.
void createCallTreeNodes(const PTDiagnosticInfoVector& rows, std::vector<CallTreeNodePtr>& roots);

/// Replaces the node's checksum by its own mixed, in order, with its
/// children's (a run of equal siblings counted once, gap children not at all)
/// and returns it; a gap node returns 0 and keeps its checksum. The mix sees
/// order and nesting: A{B,C}, A{C,B} and A{B{C}} differ.
int calculateChecksum(const CallTreeNodePtr& node);
void updateChecksums(const std::vector<CallTreeNodePtr>& nodes);

/// Folds every node of the list into the first node with the same checksum,
/// removing it from the list; applied again to the children of nodes kept.
void combineCallTrees(std::vector<CallTreeNodePtr>& nodes);
/// Folds the children of `source` into those of `target`, pairing them in
/// order. Every row of `source`'s subtree ends up in exactly one node of
/// `target`'s subtree.
void combineChildrenNodes(const CallTreeNodePtr& target, const CallTreeNodePtr& source);

/// The page's call-tree data: createNode and the view globals, then every
/// node as a flat record [parent, rows...] in depth-first order (a root is its
/// own parent), linked into nodeArray and callTreeArray as the page loads.
std::string generateCallTreeDataJSFromRootNodes(const std::vector<CallTreeNodePtr>& roots);
/// Builds, checksums and folds the tree of the rows and writes its data.
std::string generateCallTreeReportDataJS(const PTDiagnosticInfoVector& rows);

/// The Call Tree tab's script block: view, expansion, filter, totals and table.
std::string generateCallTreeReportFunctionsJS(const std::string& statisticsType);
/// The Call Tree tab's block: the filter form and the table's holder.
std::string writeCallTreeTableHTML();
