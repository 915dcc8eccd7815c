#include "report/phase/call_tree.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_points.h"
#include "platform/md5.h"
#include "pt_assets_assets.h"
#include "report/phase/page_parts.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Checksums are 32-bit words; they are handled as unsigned numbers so that
// arithmetic wraps instead of being undefined.
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

// Takes a child's identity into its parent's. A sum would let A{B{C}} and
// A{B,C}, or A{B,C} and A{C,B}, fold into one node; this mix depends on the
// order of its arguments and is not additive, so the shape counts.
std::uint32_t withChild(std::uint32_t parent, std::uint32_t child) {
  std::uint64_t mixed = (std::uint64_t{parent} << 32) | child;
  mixed ^= mixed >> 30;
  mixed *= 0xBF58476D1CE4E5B9ULL;
  mixed ^= mixed >> 27;
  mixed *= 0x94D049BB133111EBULL;
  mixed ^= mixed >> 31;
  return static_cast<std::uint32_t>(mixed ^ (mixed >> 32));
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

// The nested createNode text of a subtree, written without recursion so that
// no depth of nesting exhausts the stack.
void appendNestedNode(std::string& out, const callTreeNode& root, bool isRoot, NodeNumbering& numbering) {
  struct Open {
    const callTreeNode* node;
    std::size_t nextChild;
    int outerParent;
  };
  std::vector<Open> open;
  auto enter = [&](const callTreeNode& node, bool root) {
    const int index = numbering.nextIndex++;
    if (root) numbering.currentParent = index;
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
    open.push_back({&node, 0, numbering.currentParent});
    numbering.currentParent = index;
  };
  enter(root, isRoot);
  while (!open.empty()) {
    Open& top = open.back();
    if (top.nextChild < top.node->children.size()) {
      if (top.nextChild > 0) out += ',';
      const callTreeNode& child = *top.node->children[top.nextChild++];
      enter(child, false);
      continue;
    }
    numbering.currentParent = top.outerParent;
    open.pop_back();
    out += "])";
  }
}

// Folding below a pair of nodes is done breadth first from a queue rather
// than by recursion, so that no depth exhausts the stack; the folds of each
// node happen in the same order as the recursive walk would make them.
using FoldQueue = std::deque<std::pair<CallTreeNodePtr, CallTreeNodePtr>>;

void foldInto(FoldQueue& queue, const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
  target->IDs.insert(target->IDs.end(), source->IDs.begin(), source->IDs.end());
  // Equal checksums do not mean equal children (a gap child adds nothing to
  // the identity), so the source's children are folded even under a leaf.
  if (!target->children.empty() || !source->children.empty()) queue.emplace_back(target, source);
}

void pairChildren(FoldQueue& queue, const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
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
      foldInto(queue, into[t - 1], child);
      return;
    }
    if (!indexed) {
      for (const CallTreeNodePtr& existing : into) byChecksum.try_emplace(existing->checksum, existing);
      indexed = true;
    }
    const auto match = byChecksum.find(child->checksum);
    if (match != byChecksum.end()) {
      foldInto(queue, match->second, child);
    } else {
      insertAtT(child);
    }
  };
  while (t < into.size() && u < from.size()) {
    const CallTreeNodePtr& sourceChild = from[u];
    if (into[t]->checksum == sourceChild->checksum) {
      foldInto(queue, into[t], sourceChild);
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

void drain(FoldQueue& queue) {
  while (!queue.empty()) {
    const auto [target, source] = std::move(queue.front());
    queue.pop_front();
    pairChildren(queue, target, source);
  }
}

void foldNode(const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
  FoldQueue queue;
  foldInto(queue, target, source);
  drain(queue);
}

}  // namespace

callTreeNode::~callTreeNode() {
  // Released level by level here: the default would nest one destructor call
  // per level of a deep tree.
  std::vector<CallTreeNodePtr> pending = std::move(children);
  while (!pending.empty()) {
    CallTreeNodePtr node = std::move(pending.back());
    pending.pop_back();
    if (node && node.use_count() == 1) {
      for (CallTreeNodePtr& child : node->children) pending.push_back(std::move(child));
      node->children.clear();
    }
  }
}

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
  // Children before their parent, without recursion.
  struct Open {
    callTreeNode* node;
    std::size_t nextChild;
    std::uint32_t identity;
    std::uint32_t previous;  // the last child's value; a gap child's is 0
    bool first;
  };
  std::vector<Open> open{{node.get(), 0, asWord(node->checksum), 0, true}};
  std::uint32_t finished = 0;
  while (true) {
    Open& top = open.back();
    if (top.nextChild < top.node->children.size()) {
      callTreeNode& child = *top.node->children[top.nextChild++];
      if (!child.isGap) {
        open.push_back({&child, 0, asWord(child.checksum), 0, true});
        continue;
      }
      // A gap keeps its checksum and adds nothing.
      top.previous = 0;
      top.first = false;
      continue;
    }
    top.node->checksum = asChecksum(top.identity);
    finished = top.identity;
    open.pop_back();
    if (open.empty()) break;
    Open& parent = open.back();
    // A run of identical siblings is one loop in the traced program, however
    // often it went round.
    if (parent.first || finished != parent.previous) parent.identity = withChild(parent.identity, finished);
    parent.previous = finished;
    parent.first = false;
  }
  return asChecksum(finished);
}

void updateChecksums(const std::vector<CallTreeNodePtr>& nodes) {
  for (const CallTreeNodePtr& node : nodes) calculateChecksum(node);
}

void combineCallTrees(std::vector<CallTreeNodePtr>& nodes) {
  // One frame per list being combined, innermost last: a list's kept nodes
  // have their own children combined before the list goes on, as a recursive
  // walk would, without its depth.
  struct Frame {
    std::vector<CallTreeNodePtr>* list;
    std::size_t next = 0;
    std::unordered_map<std::int32_t, CallTreeNodePtr> firstSeen{};
    std::vector<CallTreeNodePtr> kept{};
  };
  std::vector<Frame> frames;
  frames.push_back({&nodes});
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.next == frame.list->size()) {
      *frame.list = std::move(frame.kept);
      frames.pop_back();
      continue;
    }
    const CallTreeNodePtr node = (*frame.list)[frame.next++];
    auto [entry, inserted] = frame.firstSeen.try_emplace(node->checksum, node);
    if (inserted) {
      frame.kept.push_back(node);
      if (!node->children.empty()) frames.push_back({&node->children});
    } else {
      foldNode(entry->second, node);
    }
  }
}

void combineChildrenNodes(const CallTreeNodePtr& target, const CallTreeNodePtr& source) {
  FoldQueue queue;
  pairChildren(queue, target, source);
  drain(queue);
}

std::string callTreeNode::getJSArrayStr(bool isRoot, bool resetCounter) {
  if (resetCounter) tNumbering.nextIndex = 0;
  std::string text;
  appendNestedNode(text, *this, isRoot, tNumbering);
  return text;
}

std::string generateCallTreeDataJSFromRootNodes(const std::vector<CallTreeNodePtr>& roots) {
  // Nested calls, one level per tree level, would exhaust the script parser's
  // stack on a deep trace: the nodes come as flat records in depth-first
  // order, [parent, row, row...], a root being its own parent, and the script
  // links them. The records go straight into the text around the marker: a
  // large tree's records are not copied again.
  constexpr std::string_view kRecordsMarker = "%CALL_TREE_RECORDS%";
  const std::string_view frame = pt::assets::call_tree_data_js();
  const std::size_t recordsAt = frame.find(kRecordsMarker);
  std::string script(frame.substr(0, recordsAt));
  // Depth first, each node with the index of its parent.
  struct Open {
    const callTreeNode* node;
    int index;
    std::size_t nextChild;
  };
  std::vector<Open> open;
  int nextIndex = 0;
  auto emit = [&](const callTreeNode& node, int parent) {
    const int index = nextIndex++;
    if (index > 0) script += ",\n";
    script += '[';
    appendInt(script, parent < 0 ? index : parent);
    for (const int id : node.IDs) {
      script += ',';
      appendInt(script, id);
    }
    script += ']';
    open.push_back({&node, index, 0});
  };
  for (const CallTreeNodePtr& root : roots) {
    emit(*root, -1);
    while (!open.empty()) {
      Open& top = open.back();
      if (top.nextChild == top.node->children.size()) {
        open.pop_back();
        continue;
      }
      const int parent = top.index;
      emit(*top.node->children[top.nextChild++], parent);
    }
  }
  script += frame.substr(recordsAt + kRecordsMarker.size());
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
  return pt::report::scriptBlock(pt::assets::call_tree_js());
}

std::string writeCallTreeTableHTML() { return std::string(pt::assets::call_tree_table_html()); }
