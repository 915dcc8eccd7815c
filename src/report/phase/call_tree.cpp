#include "report/phase/call_tree.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_points.h"
#include "platform/md5.h"
#include "pt_assets_assets.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <unordered_map>

namespace {

// Checksums are sums modulo 2^32; they are added as unsigned numbers so that
// overflow wraps instead of being undefined.
std::uint32_t asWord(std::int32_t checksum) { return static_cast<std::uint32_t>(checksum); }
std::int32_t asChecksum(std::uint32_t word) { return static_cast<std::int32_t>(word); }

int hexDigit(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

// A trace names few distinct phases, groupings and subjects, so each digest
// is computed once per report rather than four times per row.
class ChecksumCache {
 public:
  std::uint32_t operator()(int n) {
    auto [entry, inserted] = known_.try_emplace(n, 0);
    if (inserted) entry->second = asWord(computeChecksum(n));
    return entry->second;
  }

 private:
  std::unordered_map<int, std::uint32_t> known_;
};

std::int32_t rowChecksum(const PTKAVLORProcessedDataPoint& row, ChecksumCache& checksum) {
  if (row.gapRow) return asChecksum(checksum(row.getPhaseID()));
  return asChecksum(checksum(row.getGroupingID()) + checksum(row.getPhaseID()) + checksum(row.getModelID()) +
                    checksum(row.getTargetID()));
}

void appendInt(std::string& out, int value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// The numbering state of getJSArrayStr: the next node index and the index of
// the node whose children are being written.
struct NodeNumbering {
  int nextIndex = 0;
  int currentParent = 0;
};

// Kept per thread so that two reports written at once on two threads do not
// number each other's nodes; a report restarts it with resetCounter.
thread_local NodeNumbering tNumbering;

// Appends into one buffer: returning the text of each subtree would copy every
// node once per ancestor.
void appendNode(std::string& out, const callTreeNode& node, bool isRoot, NodeNumbering& numbering) {
  const int index = numbering.nextIndex++;
  if (isRoot) numbering.currentParent = index;
  out += "createNode(";
  appendInt(out, index);
  out += ',';
  appendInt(out, numbering.currentParent);
  out += ", [";
  for (std::size_t i = 0; i < node.IDs.size(); ++i) {
    if (i > 0) out += ", ";
    appendInt(out, node.IDs[i]);
  }
  out += "], \n[";
  const int outerParent = numbering.currentParent;
  numbering.currentParent = index;
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    if (i > 0) out += ',';
    appendNode(out, *node.children[i], false, numbering);
  }
  numbering.currentParent = outerParent;
  out += "])";
}

std::size_t estimatedTextSize(const std::vector<CallTreeNodePtr>& nodes) {
  std::size_t size = 0;
  for (const CallTreeNodePtr& node : nodes) {
    size += 32 + 8 * node->IDs.size() + estimatedTextSize(node->children);
  }
  return size;
}

void foldNode(const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
  target->IDs.insert(target->IDs.end(), source->IDs.begin(), source->IDs.end());
  // Equal checksums do not mean equal children (a gap child adds nothing to
  // the sum), so the source's children are folded even under a leaf.
  if (!target->children.empty() || !source->children.empty()) combineChildrenNodes(target, source);
}

}  // namespace

std::int32_t computeChecksum(int n) {
  const auto value = static_cast<std::uint32_t>(n);
  const std::array<char, 4> bytes{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                                  static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
  const std::string hex = platform::md5Hex(std::string_view(bytes.data(), bytes.size()));
  std::uint32_t sum = 0;
  for (std::size_t word = 0; word < 4; ++word) {
    std::uint32_t wordValue = 0;
    for (std::size_t byte = 0; byte < 4; ++byte) {
      const std::size_t at = 2 * (4 * word + byte);
      const auto byteValue = static_cast<std::uint32_t>(hexDigit(hex[at]) * 16 + hexDigit(hex[at + 1]));
      wordValue |= byteValue << (8 * byte);
    }
    sum += wordValue;
  }
  return asChecksum(sum);
}

bool isChild(const std::string& parentNumber, const std::string& childNumber) {
  const std::size_t lastDot = childNumber.rfind('.');
  if (lastDot == std::string::npos) return false;
  if (std::string_view(childNumber).substr(0, lastDot) != parentNumber) return false;
  return std::count(childNumber.begin(), childNumber.end(), '.') ==
         std::count(parentNumber.begin(), parentNumber.end(), '.') + 1;
}

void createCallTreeNodes(const PTDiagnosticInfoVector& rows, std::vector<CallTreeNodePtr>& roots) {
  ChecksumCache checksum;
  // Innermost last, with its row's depth. Rows come in the order of their
  // starts, so a row's parent is the last open row one level up: the same
  // parent its outline label names, found without making labels.
  std::vector<std::pair<callTreeNode*, int>> open;
  for (const boost::shared_ptr<PTDiagnosticInfo>& info : rows) {
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    auto node = boost::make_shared<callTreeNode>();
    node->IDs.push_back(row.HTMLRowNumber - 1);
    node->checksum = rowChecksum(row, checksum);
    node->isGap = row.gapRow;
    while (!open.empty() && open.back().second >= row.stackDepth) open.pop_back();
    (open.empty() ? roots : open.back().first->children).push_back(node);
    if (row.numChildren > 0) open.emplace_back(node.get(), row.stackDepth);
  }
}

int calculateChecksum(const CallTreeNodePtr& node) {
  if (node->isGap) return 0;
  std::uint32_t sum = asWord(node->checksum);
  std::uint32_t previous = 0;
  bool first = true;
  for (const CallTreeNodePtr& child : node->children) {
    const std::uint32_t value = asWord(calculateChecksum(child));
    // A run of identical siblings is one loop in the traced program, however
    // often it went round.
    if (first || value != previous) sum += value;
    previous = value;
    first = false;
  }
  node->checksum = asChecksum(sum);
  return node->checksum;
}

void updateChecksums(const std::vector<CallTreeNodePtr>& nodes) {
  for (const CallTreeNodePtr& node : nodes) calculateChecksum(node);
}

void combineCallTrees(std::vector<CallTreeNodePtr>& nodes) {
  std::unordered_map<std::int32_t, CallTreeNodePtr> firstSeen;
  std::vector<CallTreeNodePtr> kept;
  kept.reserve(nodes.size());
  for (CallTreeNodePtr& node : nodes) {
    auto [entry, inserted] = firstSeen.try_emplace(node->checksum, node);
    if (inserted) {
      combineCallTrees(node->children);
      kept.push_back(std::move(node));
    } else {
      foldNode(entry->second, node);
    }
  }
  nodes = std::move(kept);
}

void combineChildrenNodes(const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
  std::vector<CallTreeNodePtr>& into = target->children;
  const std::vector<CallTreeNodePtr>& from = source->children;
  std::size_t t = 0;
  std::size_t u = 0;
  // Checksum → first target child with it; built on first need, as most
  // folds pair every child in order.
  std::unordered_map<std::int32_t, CallTreeNodePtr> byChecksum;
  bool indexed = false;
  auto insertAtT = [&](const CallTreeNodePtr& child) {
    into.insert(into.begin() + static_cast<std::ptrdiff_t>(t), child);
    ++t;
    if (indexed) byChecksum.try_emplace(child->checksum, child);
  };
  // A source child that pairs with nothing in order still stands for rows:
  // it joins a target child of its kind, the one just passed first, or is
  // carried over as a child of its own.
  auto placeUnpaired = [&](const CallTreeNodePtr& child) {
    if (t > 0 && into[t - 1]->checksum == child->checksum) {
      foldNode(into[t - 1], child);
      return;
    }
    if (!indexed) {
      for (const CallTreeNodePtr& existing : into) byChecksum.try_emplace(existing->checksum, existing);
      indexed = true;
    }
    const auto match = byChecksum.find(child->checksum);
    if (match != byChecksum.end()) {
      foldNode(match->second, child);
    } else {
      insertAtT(child);
    }
  };
  while (t < into.size() && u < from.size()) {
    const CallTreeNodePtr& sourceChild = from[u];
    if (into[t]->checksum == sourceChild->checksum) {
      foldNode(into[t], sourceChild);
      ++t;
      ++u;
    } else if (!into[t]->isGap) {
      if (sourceChild->isGap) {
        insertAtT(sourceChild);
      } else {
        placeUnpaired(sourceChild);
      }
      ++u;
    } else {
      ++t;
    }
  }
  for (; u < from.size(); ++u) placeUnpaired(from[u]);
}

std::string callTreeNode::getJSArrayStr(bool isRoot, bool resetCounter) {
  if (resetCounter) tNumbering.nextIndex = 0;
  std::string text;
  text.reserve(estimatedTextSize(children) + 32 + 8 * IDs.size());
  appendNode(text, *this, isRoot, tNumbering);
  return text;
}

std::string generateCallTreeDataJSFromRootNodes(const std::vector<CallTreeNodePtr>& roots) {
  std::string script =
      "        var isIE = navigator.userAgent.indexOf('MSIE') >= 0 || navigator.userAgent.indexOf('Trident/') >= 0;\n"
      "        var CTDataView = new Array();\n"
      "        CTDataView['Index'] = new Array();\n"
      "        CTDataView['Checked'] = new Array();\n"
      "        var nodeArray = new Array();\n"
      "        function createNode(idx, parentIdx, ids, children) {\n"
      "            var node = { index: idx, IDs: ids, Parent: parentIdx, children: children, show: idx == 0 };\n"
      "            nodeArray[idx] = node;\n"
      "            return node;\n"
      "        }\n"
      "        var callTreeArray = new Array();\n";
  script.reserve(script.size() + estimatedTextSize(roots) + 48 * roots.size() + 64);
  // A numbering of its own: the page's indices never depend on what another
  // report on this thread wrote before.
  NodeNumbering numbering;
  for (std::size_t k = 0; k < roots.size(); ++k) {
    script += "        callTreeArray[";
    appendInt(script, static_cast<int>(k));
    script += "] = ";
    appendNode(script, *roots[k], true, numbering);
    script += ";\n";
  }
  script += "        CTDataView.AllCTChecked = false;\n";
  return script;
}

std::string generateCallTreeReportDataJS(const PTDiagnosticInfoVector& rows) {
  std::vector<CallTreeNodePtr> roots;
  createCallTreeNodes(rows, roots);
  updateChecksums(roots);
  combineCallTrees(roots);
  return generateCallTreeDataJSFromRootNodes(roots);
}

// The columns follow the page's statisticsType global, declared by the common
// script, so the text does not depend on the argument.
std::string generateCallTreeReportFunctionsJS(const std::string&) {
  std::string block = "    <script type=\"text/javascript\">\n";
  block += pt::assets::call_tree_js();
  block += "    </script>\n";
  return block;
}

std::string generateCallTreeUserInputsHTML() {
  std::string form =
      "                <form id=\"CT_userInputs\" action=\"\" onsubmit=\"return ctUserInputsAction();\">\n"
      "                <table id=\"CT_UserInputsTableId\" class=\"userInputs\" cellpadding=\"2\" cellspacing=\"0\">\n"
      "                    <tr><td>\n"
      "                <div><a href=\"javascript:void(0)\" onclick=\"toggleSection('CT_FilterExpandCollapse', "
      "'CT_FilterData')\"><span id=\"CT_FilterExpandCollapse\">[+]</span> Filters (regular expressions)</a></div>\n"
      "                        <table id=\"CT_FilterData\" style=\"display:none\">\n";
  constexpr std::array<std::pair<const char*, const char*>, 4> inputs{{{"Phase", "CT_phasename"},
                                                                       {"Grouping", "CT_groupingname"},
                                                                       {"Model", "CT_modelname"},
                                                                       {"Target", "CT_targetname"}}};
  for (const auto& [label, id] : inputs) {
    form += std::string("                            <tr><td class=\"FiltersNameCell\">") + label +
            "</td><td class=\"FiltersInputCell\"><input type=\"text\" id=\"" + id + "\" name=\"" + id +
            "\" size=\"24\" /></td></tr>\n";
  }
  form +=
      "                        </table>\n"
      "                    </td><td style=\"vertical-align:top\">\n"
      "                        <input type=\"submit\" id=\"CT_userInputsSubmit\" value=\"Apply\" />\n"
      "                        <span id=\"CT_filterMessage\" class=\"filterMessage\"></span>\n"
      "                    </td></tr>\n"
      "                </table>\n"
      "                </form>\n";
  return form;
}

std::string writeCallTreeTableHTML() {
  return "            <div id=\"callTreeSummaryDiv\" style=\"height:100%;text-align:left;overflow:none\">\n" +
         generateCallTreeUserInputsHTML() +
         "                <div id=\"callTreeSummaryTableDiv\" "
         "style=\"height:100%;vertical-align:top;text-align:left;overflow:none\"></div>\n"
         "            </div>\n";
}
