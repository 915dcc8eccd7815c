// Processed data node: one node of a model-based report tree — a test, model,
// target, section or phase with the time and memory measured for it — and the
// array records in which the report page receives it.
//
//   auto node = std::make_shared<PTprocessedDataNode>("root", std::string("root"), tracer);
//   node->updateTreeInfo(PT_REPORT_MODEL);  std::string row = node->generateJSONStrSummary(PT_REPORT_MODEL, "time");
//
// Nodes are always held by shared pointers; a child keeps a weak link to its
// parent, so a tree is owned from its root and freed when the root goes, at
// any depth.
#pragma once

#include "analysis/processed_identifier_map.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PerformanceTracer;
class PTTracerProcessedDataPoint;
struct PTLCSDiffStruct;

/// What a model-based report shows: 0–2 one recording, 3–5 the difference of two.
enum PTReportType : std::int32_t {
  PT_REPORT_MODEL = 0,
  PT_REPORT_CODEGEN = 1,
  PT_REPORT_TEST = 2,
  PT_REPORT_MODEL_DIFF = 3,
  PT_REPORT_TEST_DIFF = 4,
  PT_REPORT_CODEGEN_DIFF = 5,
};

inline bool isDiffReportType(PTReportType type) { return type >= PT_REPORT_MODEL_DIFF; }

class PTprocessedDataNode {
 public:
  using Ptr = std::shared_ptr<PTprocessedDataNode>;

  PTprocessedDataNode() = default;
  explicit PTprocessedDataNode(std::string name) : nodeName(std::move(name)) {}
  /// phaseID is the phase name's number in `tracer`'s phase mapping, added
  /// when new.
  PTprocessedDataNode(std::string name, const std::string& phaseName, PerformanceTracer& tracer);
  PTprocessedDataNode(std::string name, std::int32_t phase) : nodeName(std::move(name)), phaseID(phase) {}
  /// The point's phase, wall-clock elapsed time, memory usage delta and identifiers.
  PTprocessedDataNode(std::string name, const PTTracerProcessedDataPoint& point);
  /// As above; the alignment entry is not kept.
  PTprocessedDataNode(std::string name, const PTTracerProcessedDataPoint& point, const PTLCSDiffStruct&)
      : PTprocessedDataNode(std::move(name), point) {}
  PTprocessedDataNode(std::string name, const std::string& phaseName, PerformanceTracer& tracer, const PTLCSDiffStruct&)
      : PTprocessedDataNode(std::move(name), phaseName, tracer) {}
  /// Releases the subtree without recursion.
  ~PTprocessedDataNode();
  PTprocessedDataNode(const PTprocessedDataNode&) = delete;
  PTprocessedDataNode& operator=(const PTprocessedDataNode&) = delete;

  std::string nodeName;      ///< key in the node map, the page's id of the node
  std::int32_t phaseID = 0;  ///< number in the phase mapping; the page shows that name
  double timeValue = -1.0;   ///< wall-clock seconds; below 0 until measured or summed
  double memoryValue = 0.0;  ///< process memory usage delta
  std::weak_ptr<PTprocessedDataNode> parent;
  std::vector<Ptr> children;  ///< in insertion order
  /// Identifier name → value number; the reports use "modelStr", "targetStr",
  /// "harnessModel" and "leftTree" (1 navigation node, 2 selectable item).
  PTProcessedIdentifierMap identifiers;
  /// In a difference tree: 0 in both recordings, 1 LHS only, 2 RHS only.
  std::optional<std::int32_t> diffStatus;
  /// In a difference tree: the matching RHS node; null when absent.
  Ptr counterpart;

  /// Appends; the child's parent is the caller's to set.
  void addChild(Ptr child) { children.push_back(std::move(child)); }
  /// "phase#model#target", -1 for a missing identifier: how nodes of two
  /// recordings are matched.
  std::string getIDStr() const;
  /// Inherits "modelStr" from the parent when the node has none.
  void updateModel();
  /// Inherits "harnessModel", then "modelStr", from the parent.
  void updateHarnessAndModel();
  /// Completes the subtree: identifiers inherited top down (by `type`), and
  /// every node without a measured time gets its children's sums.
  void updateTreeInfo(PTReportType type);

  /// The summary record: one array literal line, every field followed by ",".
  std::string generateJSONStrSummary(PTReportType type, const std::string& format) const;
  /// The detailed record of this node alone.
  std::string generateJSONStrDetailed_node(PTReportType type, const std::string& format) const;
  /// The detailed records of the subtree, pre-order.
  std::string generateJSONStrDetailed_tree(PTReportType type, const std::string& format) const;

 private:
  void inheritIdentifier(const IdentifierName& name, const PTprocessedDataNode& from);
};

/// A node's identifier value, or none.
std::optional<std::int32_t> findNodeIdentifier(const PTprocessedDataNode& node, const char* name);
