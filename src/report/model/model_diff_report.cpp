#include "report/model/model_diff_report.h"

#include "analysis/metric.h"
#include "analysis/processed_data.h"
#include "platform/host_messages.h"
#include "platform/replacing_file.h"
#include "report/model/flame_graph.h"
#include "report/model/model_report.h"
#include "report/phase/phase_page.h"
#include "tracer/performance_tracer.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_map>

namespace {

const char* dataKindName(std::int32_t kind) {
  switch (kind) {
    case PT_REPORT_CODE_GENERATION: return "Calvoran Code Generation data";
    case PT_REPORT_TEST_MANAGER: return "Calvoran Test data";
    default: return "Calvoran data";
  }
}

PTReportType differenceType(std::int32_t kind) {
  if (kind == PT_REPORT_TEST_MANAGER) return PT_REPORT_TEST_DIFF;
  if (kind == PT_REPORT_CODE_GENERATION) return PT_REPORT_CODEGEN_DIFF;
  return PT_REPORT_MODEL_DIFF;
}

PTNodeVector buildTree(PerformanceTracer& tracer, const PTProcessedDataStruct& data, PTNodeMap& nodeMap) {
  if (data.reportKind == PT_REPORT_TEST_MANAGER) {
    return constructNodes_CLTestReport(tracer, data.diagnosticInfos, nodeMap);
  }
  if (data.reportKind == PT_REPORT_CODE_GENERATION) {
    return constructNodes_TGX(tracer, data.diagnosticInfos, PT_REPORT_CODEGEN, nodeMap);
  }
  return constructNodes(tracer, data.diagnosticInfos, PT_REPORT_MODEL, nodeMap);
}

/// The copies of RHS-only navigation nodes, in pre-order, so that each comes
/// after its parent in the page's records.
void collectNavigationCopies(const PTprocessedDataNode::Ptr& node, PTNodeVector& out) {
  std::vector<PTprocessedDataNode::Ptr> stack{node};
  while (!stack.empty()) {
    PTprocessedDataNode::Ptr current = std::move(stack.back());
    stack.pop_back();
    if (current->diffStatus == 2 && findNodeIdentifier(*current, "leftTree")) out.push_back(current);
    for (auto child = current->children.rbegin(); child != current->children.rend(); ++child) {
      if (*child) stack.push_back(*child);
    }
  }
}

}  // namespace

void findMatch(const std::vector<PTprocessedDataNode::Ptr>& leftChildren,
               const std::vector<PTprocessedDataNode::Ptr>& rightChildren, PTNodeMatches& matches,
               std::vector<PTprocessedDataNode::Ptr>& leftOnly) {
  std::unordered_map<std::string, std::deque<PTprocessedDataNode::Ptr>> queues;
  for (const auto& child : leftChildren) {
    if (child) queues[child->getIDStr()].push_back(child);
  }
  for (const auto& right : rightChildren) {
    if (!right) continue;
    auto found = queues.find(right->getIDStr());
    if (found != queues.end() && !found->second.empty()) {
      matches.emplace_back(found->second.front(), right);
      found->second.pop_front();
    } else {
      matches.emplace_back(nullptr, right);
    }
  }
  // In the LHS order.
  for (const auto& child : leftChildren) {
    if (!child) continue;
    auto& queue = queues[child->getIDStr()];
    if (!queue.empty() && queue.front() == child) {
      leftOnly.push_back(child);
      queue.pop_front();
    }
  }
}

PTprocessedDataNode::Ptr addRightNodeToLeft(const PTprocessedDataNode::Ptr& rightNode,
                                            const PTprocessedDataNode::Ptr& leftParent,
                                            const PTprocessedDataNode* after) {
  // Iterative: an RHS-only subtree is as deep as the RHS recording's nesting.
  auto copyOf = [](const PTprocessedDataNode::Ptr& right, const PTprocessedDataNode::Ptr& parent) {
    auto copy = std::make_shared<PTprocessedDataNode>(right->nodeName + "(RHS)", right->phaseID);
    copy->counterpart = right;
    copy->diffStatus = 2;
    copy->parent = parent;
    // A navigation node stays one, so that the page can offer it.
    if (const auto mark = findNodeIdentifier(*right, "leftTree")) copy->identifiers["leftTree"] = *mark;
    return copy;
  };
  auto top = copyOf(rightNode, leftParent);
  auto& siblings = leftParent->children;
  auto at = siblings.end();
  if (after != nullptr) {
    at = std::find_if(siblings.begin(), siblings.end(), [after](const auto& node) { return node.get() == after; });
    if (at != siblings.end()) ++at;
  }
  siblings.insert(at, top);
  std::vector<std::pair<PTprocessedDataNode::Ptr, PTprocessedDataNode::Ptr>> pending{{rightNode, top}};
  while (!pending.empty()) {
    auto [right, copy] = std::move(pending.back());
    pending.pop_back();
    for (const auto& child : right->children) {
      if (!child) continue;
      auto childCopy = copyOf(child, copy);
      copy->children.push_back(childCopy);
      pending.emplace_back(child, childCopy);
    }
  }
  return top;
}

PTprocessedDataNode::Ptr mergeTrees(const PTprocessedDataNode::Ptr& left, const PTprocessedDataNode::Ptr& right) {
  if (!left) return right;
  if (!right) return left;
  // Pairs of matched nodes still to merge; a stack, as trees can be deep.
  std::vector<std::pair<PTprocessedDataNode::Ptr, PTprocessedDataNode::Ptr>> pending{{left, right}};
  while (!pending.empty()) {
    auto [l, r] = std::move(pending.back());
    pending.pop_back();
    l->counterpart = r;
    l->diffStatus = 0;
    PTNodeMatches matches;
    std::vector<PTprocessedDataNode::Ptr> leftOnly;
    findMatch(l->children, r->children, matches, leftOnly);
    // Where the previous entry landed in the LHS children: an RHS-only node
    // goes right after it, so runs of RHS-only nodes keep their RHS order.
    const PTprocessedDataNode* previous = nullptr;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      const auto& [match, rightChild] = matches[i];
      if (match) {
        pending.emplace_back(match, rightChild);
        previous = match.get();
      } else {
        previous = addRightNodeToLeft(rightChild, l, i == 0 ? nullptr : previous).get();
      }
    }
    for (const auto& only : leftOnly) {
      only->counterpart.reset();
      only->diffStatus = 1;
    }
  }
  return left;
}

bool generateDiffReport_modelBased(PerformanceTracer& tracer, const std::string& htmlFile, const std::string& grouping,
                                   const std::string& lhsLabel, const std::string& rhsLabel, PTRawDataVector* lhsRaw,
                                   PTRawDataVector* rhsRaw, const std::string& format, bool includeFlameGraph) {
  platform::ReplacingFile file(htmlFile, tracer.fileCalls());
  if (!file.isOpen()) return false;
  bool written = true;
  const auto write = [&file, &written](const std::string& piece) { written = file.write(piece) && written; };

  PTProcessedDataStruct lhs = tracer.getProcessedData(lhsRaw, {grouping}, false);
  if (lhs.hasErrors) return file.commit();
  PTProcessedDataStruct rhs = tracer.getProcessedData(rhsRaw, {grouping}, false);
  if (rhs.hasErrors) return file.commit();
  if (lhs.reportKind != rhs.reportKind) {
    haErrorMsgIdAndTxt("CompareFailed", dataKindName(lhs.reportKind), dataKindName(rhs.reportKind));
  }
  if (pt::parseMetric(format) == pt::Metric::kDetailedMemory && !(lhs.hasDetailedMemStats && rhs.hasDetailedMemStats)) {
    write(generateMissingDetailedMemStatsPage());
    return written && file.commit();
  }
  const PTReportType type = differenceType(lhs.reportKind);
  PTNodeMap lhsMap;
  PTNodeMap rhsMap;
  PTNodeVector lhsNodes = buildTree(tracer, lhs, lhsMap);
  const PTNodeVector rhsNodes = buildTree(tracer, rhs, rhsMap);
  mergeTrees(lhsNodes.front(), rhsNodes.front());
  collectNavigationCopies(lhsNodes.front(), lhsNodes);

  std::optional<PTFlameGraph> flameGraph;
  if (includeFlameGraph) flameGraph = makeFlameGraph(lhsMap, type, format);
  for (const std::string& piece :
       pt::detail::modelPagePieces(tracer, lhsNodes, type, lhsLabel, rhsLabel, format, flameGraph)) {
    write(piece);
  }
  return written && file.commit();
}
