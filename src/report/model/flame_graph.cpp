#include "report/model/flame_graph.h"

#include "platform/child_process.h"
#include "platform/output_file.h"
#include "platform/private_folder.h"
#include "platform/system_probe.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory_resource>
#include <string_view>
#include <unordered_map>

#ifndef PT_FLAMEGRAPH_SCRIPT
#error "PT_FLAMEGRAPH_SCRIPT names the script's path under the installation root"
#endif

namespace {

using Node = PTprocessedDataNode;

const IdentifierName kTarget("targetStr");
const IdentifierName kLeftTree("leftTree");

/// Two source nodes are one aggregate node when their phase, their parents'
/// aggregate node and their target agree. The aggregate node stands in for
/// the parent's whole key, so a key stays small at any depth.
struct AggregateKey {
  std::int32_t phase;
  const Node* parent;
  std::int32_t target;  // meaningful only with hasTarget
  bool hasTarget;
  bool operator==(const AggregateKey&) const = default;
};

/// Keys of one parent hash close to its address: the aggregate nodes are
/// made one after another, so a tree's look-ups walk neighbouring buckets
/// instead of touching a cold one each.
struct AggregateKeyHash {
  std::size_t operator()(const AggregateKey& key) const noexcept {
    const auto parent = reinterpret_cast<std::uintptr_t>(key.parent) >> 4;
    const auto target = static_cast<std::size_t>(key.hasTarget ? static_cast<std::uint32_t>(key.target) + 1 : 0);
    return parent + static_cast<std::size_t>(static_cast<std::uint32_t>(key.phase)) + target * 31;
  }
};

Node::Ptr copyForAggregate(const Node& source) {
  auto copy = std::make_shared<Node>(source.nodeName, source.phaseID);
  copy->timeValue = source.timeValue;
  copy->memoryValue = source.memoryValue;
  copy->identifiers = source.identifiers;
  return copy;
}

void clampAtZero(double& value) {
  if (value < 0) value = 0;  // NaN stays NaN
}

/// The integer part, written as a signed decimal into `buffer`; NaN counts
/// nothing.
std::string_view countText(double value, std::array<char, 24>& buffer) {
  std::int64_t count = 0;
  constexpr double kLimit = 9.2e18;
  if (value >= kLimit) {
    count = std::numeric_limits<std::int64_t>::max();
  } else if (value <= -kLimit) {
    count = std::numeric_limits<std::int64_t>::min();
  } else if (!std::isnan(value)) {
    count = static_cast<std::int64_t>(value);
  }
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), count).ptr;
  return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
}

/// A frame name in a folded line: ";" separates frames and a line break ends
/// the line, so neither may appear inside one.
void appendFrameName(std::string& path, const std::string& name) {
  for (char c : name) {
    if (c == ';') {
      path += ':';
    } else if (c == '\n' || c == '\r') {
      path += ' ';
    } else {
      path += c;
    }
  }
}

struct Counts {
  double own = 0.0;
  double other = 0.0;
  bool hasOther = false;
};

Counts countsOf(const Node& node, bool isTime) {
  Counts counts;
  counts.own = isTime ? node.timeValue : node.memoryValue;
  if (node.counterpart) {
    counts.hasOther = true;
    counts.other = isTime ? node.counterpart->timeValue : node.counterpart->memoryValue;
  }
  return counts;
}

/// The counts of a subtree cut off at the depth limit, all on its top frame.
Counts subtreeCounts(const Node& top, bool isTime) {
  Counts sum = countsOf(top, isTime);
  std::vector<const Node*> stack;
  for (const auto& child : top.children) stack.push_back(child.get());
  while (!stack.empty()) {
    const Node* node = stack.back();
    stack.pop_back();
    if (node == nullptr) continue;
    const Counts counts = countsOf(*node, isTime);
    sum.own += counts.own;
    sum.other += counts.other;
    for (const auto& child : node->children) stack.push_back(child.get());
  }
  return sum;
}

/// Appends "path COUNT" (" OTHER" too for the difference types, without a
/// line end); whether any of its counts is not 0.
bool appendStackLine(std::string& out, const std::string& path, const Counts& counts, bool isDiff) {
  std::array<char, 24> ownBuffer;
  std::array<char, 24> otherBuffer;
  const std::string_view own = countText(counts.own, ownBuffer);
  const std::string_view other = !isDiff ? "" : counts.hasOther ? countText(counts.other, otherBuffer) : "0";
  out.reserve(out.size() + path.size() + own.size() + other.size() + 2);
  out += path;
  out += ' ';
  out += own;
  if (isDiff) {
    out += ' ';
    out += other;
  }
  return own != "0" || (isDiff && other != "0");
}

/// Calls `emit(path, counts)` for every stack line of the tree, depth first
/// in child order, below the root's children marked "leftTree".
template <typename Emit>
void visitStackLines(const Node::Ptr& aggregateRoot, bool isTime, Emit&& emit) {
  if (!aggregateRoot) return;
  struct Open {
    const Node* node;
    std::size_t nextChild;
    std::size_t pathLength;  // of the path before this node's name
  };
  std::vector<Open> open;
  std::string path;
  const auto enter = [&](const Node& node) {
    const std::size_t before = path.size();
    if (!path.empty()) path += ';';
    appendFrameName(path, node.nodeName);
    if (open.size() + 1 == kMaxFlameGraphDepth && !node.children.empty()) {
      emit(path, subtreeCounts(node, isTime));
      path.resize(before);
      return;
    }
    emit(path, countsOf(node, isTime));
    open.push_back({&node, 0, before});
  };
  for (const auto& top : aggregateRoot->children) {
    if (!top) continue;
    const auto mark = top->identifiers.find(kLeftTree);
    if (mark == top->identifiers.end() || mark->second == 0) continue;
    enter(*top);
    while (!open.empty()) {
      Open& current = open.back();
      if (current.nextChild < current.node->children.size()) {
        const Node* child = current.node->children[current.nextChild++].get();
        if (child != nullptr) enter(*child);
      } else {
        path.resize(current.pathLength);
        open.pop_back();
      }
    }
  }
}

/// Whether `path` opens for reading.
bool canRead(const std::string& path) {
  platform::FileCalls& calls = platform::systemFileCalls();
  const int fd = calls.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  calls.close(fd);
  return true;
}

std::string replaceAll(const std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out += to;
    start = at + from.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

}  // namespace

std::string flameGraphScriptPath() {
  return (std::filesystem::path(platform::installationRoot()) / PT_FLAMEGRAPH_SCRIPT).string();
}

bool checkFlameGraphPLExists() { return canRead(flameGraphScriptPath()); }

PTprocessedDataNode::Ptr buildAggregateTree(const PTNodeMap& nodeMap) {
  const auto found = nodeMap.find("root");
  if (found == nodeMap.end() || !found->second) {
    std::cerr << "Root node is not found in the node map.\n";
    return nullptr;
  }
  const Node& root = *found->second;
  auto aggregateRoot = std::make_shared<Node>(root.nodeName, root.phaseID);
  // The look-up table's entries all go at once with their arena, rather than
  // one free each.
  std::pmr::monotonic_buffer_resource arena;
  std::pmr::unordered_map<AggregateKey, Node*, AggregateKeyHash> aggregates(&arena);
  aggregates.reserve(nodeMap.size());

  // Depth first, in child order, as the aggregate children are appended in
  // the order their first source node is met.
  std::vector<std::pair<const Node*, Node*>> stack;  // source node, its parent's aggregate node
  for (auto child = root.children.rbegin(); child != root.children.rend(); ++child) {
    stack.emplace_back(child->get(), aggregateRoot.get());
  }
  while (!stack.empty()) {
    const auto [source, aggregateParent] = stack.back();
    stack.pop_back();
    if (source == nullptr) continue;
    const auto target = source->identifiers.find(kTarget);
    const bool hasTarget = target != source->identifiers.end();
    const AggregateKey key{source->phaseID, aggregateParent, hasTarget ? target->second : 0, hasTarget};
    Node*& aggregate = aggregates[key];
    if (aggregate != nullptr) {
      aggregate->timeValue += source->timeValue;
      aggregate->memoryValue += source->memoryValue;
      if (aggregate->counterpart && source->counterpart) {
        aggregate->counterpart->timeValue += source->counterpart->timeValue;
        aggregate->counterpart->memoryValue += source->counterpart->memoryValue;
      }
    } else {
      auto made = copyForAggregate(*source);
      if (source->counterpart) made->counterpart = copyForAggregate(*source->counterpart);
      aggregate = made.get();
      aggregateParent->addChild(std::move(made));
    }
    for (auto child = source->children.rbegin(); child != source->children.rend(); ++child) {
      stack.emplace_back(child->get(), aggregate);
    }
  }
  // Parent links, set now that every aggregate node is owned by its parent.
  std::vector<const Node::Ptr*> pending{&aggregateRoot};
  while (!pending.empty()) {
    const Node::Ptr& node = *pending.back();
    pending.pop_back();
    for (const auto& child : node->children) {
      child->parent = node;
      pending.push_back(&child);
    }
  }
  return aggregateRoot;
}

void updateAggregateTree(const PTprocessedDataNode::Ptr& aggregateRoot) {
  // Pre-order: a node's children still hold their totals when it is visited.
  std::vector<Node*> stack;
  if (aggregateRoot) stack.push_back(aggregateRoot.get());
  while (!stack.empty()) {
    Node* node = stack.back();
    stack.pop_back();
    for (const auto& child : node->children) {
      node->timeValue -= child->timeValue;
      node->memoryValue -= child->memoryValue;
      if (node->counterpart && child->counterpart) {
        node->counterpart->timeValue -= child->counterpart->timeValue;
        node->counterpart->memoryValue -= child->counterpart->memoryValue;
      }
      stack.push_back(child.get());
    }
    clampAtZero(node->timeValue);
    clampAtZero(node->memoryValue);
    node->timeValue = std::round(node->timeValue * 100.0);
    if (node->counterpart) {
      clampAtZero(node->counterpart->timeValue);
      clampAtZero(node->counterpart->memoryValue);
      node->counterpart->timeValue = std::round(node->counterpart->timeValue * 100.0);
    }
  }
}

std::vector<std::string> generateStackTraces(const PTprocessedDataNode::Ptr& aggregateRoot, PTReportType type,
                                             bool isTime) {
  std::vector<std::string> lines;
  const bool isDiff = isDiffReportType(type);
  visitStackLines(aggregateRoot, isTime, [&](const std::string& path, const Counts& counts) {
    appendStackLine(lines.emplace_back(), path, counts, isDiff);
  });
  return lines;
}

PTStackFile writeStackTracesToFile(const std::string& fileName, const PTprocessedDataNode::Ptr& aggregateRoot,
                                   PTReportType type, bool isTime, platform::FileCalls& calls) {
  PTStackFile result;
  std::FILE* file = platform::openOutputFile(fileName, calls);
  if (file == nullptr) return result;
  const bool isDiff = isDiffReportType(type);
  // The lines go through one buffer, written out whenever it is large.
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::string block;
  block.reserve(kBlock + 4096);
  bool written = true;
  visitStackLines(aggregateRoot, isTime, [&](const std::string& path, const Counts& counts) {
    ++result.lines;
    if (appendStackLine(block, path, counts, isDiff)) result.anyCount = true;
    block += '\n';
    if (block.size() >= kBlock) {
      if (written) written = platform::writeWhole(file, block, calls);
      block.clear();  // after a failure too: the lines are still counted
    }
  });
  if (written) written = platform::writeWhole(file, block, calls);
  result.written = std::fclose(file) == 0 && written;
  return result;
}

std::string convertToUnixFormat(std::string text) {
  std::erase(text, '\r');
  return text;
}

bool writeStackTracesToFile(const std::string& fileName, const std::vector<std::string>& lines,
                            platform::FileCalls& calls) {
  std::FILE* file = platform::openOutputFile(fileName, calls);
  if (file == nullptr) return false;
  // Lines are gathered into large blocks: one write per line costs more than
  // the copy.
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  std::string block;
  block.reserve(kBlock + 4096);
  bool written = true;
  for (const std::string& line : lines) {
    if (line.find('\r') == std::string::npos) {
      block += line;
    } else {
      std::remove_copy(line.begin(), line.end(), std::back_inserter(block), '\r');
    }
    block += '\n';
    if (block.size() >= kBlock) {
      written = platform::writeWhole(file, block, calls);
      if (!written) break;
      block.clear();
    }
  }
  if (written) written = platform::writeWhole(file, block, calls);
  return std::fclose(file) == 0 && written;
}

bool checkFlameGraphSVGExists(const std::string& path) { return canRead(path); }

bool generateFlameGraph(const std::string& folder) {
  const std::filesystem::path dir(folder);
  const std::string script = flameGraphScriptPath();
  const std::string svg = (dir / "flamegraph.svg").string();
  const std::string messages = (dir / "flamegraph.err").string();
  const platform::ProcessResult run =
      platform::runProcess({"perl", script, (dir / "stacks.txt").string(), "--width", "1600"}, svg, messages);
  if (!run.ok()) {
    std::string detail;
    if (platform::readWholeFile(messages, detail, platform::systemFileCalls())) {
      detail.resize(std::min(detail.find('\n'), detail.size()));
    }
    std::cerr << "Flame graph not drawn: perl " << script << " " << run.describe()
              << (detail.empty() ? "" : ": " + detail) << "\n";
    return false;
  }
  replaceInFile(svg);
  return true;
}

std::string readFileAsString(const std::string& path) {
  std::string text;
  if (!platform::readWholeFile(path, text, platform::systemFileCalls())) {
    std::cerr << "Unable to open file for reading: " << path << "\n";
  }
  return text;
}

void replaceInFile(const std::string& path, platform::FileCalls& calls) {
  std::string text;
  if (!platform::readWholeFile(path, text, calls)) {
    std::cerr << "Unable to open file for reading: " << path << "\n";
    return;
  }
  text = replaceAll(text, "<title>", "<id>");
  text = replaceAll(text, "</title>", "</id>");
  text = replaceAll(text, R"x(<g class="func_g" onmouseover="s(this)" onmouseout="c()" onclick="zoom(this)">)x", "<g>");
  text = replaceAll(text, R"x(onclick="unzoom()" style="opacity:0.0;cursor:pointer")x", "");
  text = replaceAll(
      text,
      R"x(onmouseover="searchover()" onmouseout="searchout()" onclick="search_prompt()" style="opacity:0.1;cursor:pointer")x",
      "");
  // Replaced whole or not at all: a failed write keeps the drawing as it was.
  platform::ReplacingFile out(path, calls);
  if (!out.write(text) || !out.commit()) std::cerr << "Unable to open file for writing: " << path << "\n";
}

std::string extractSVGLine(const std::string& path) {
  std::string text;
  if (!platform::readWholeFile(path, text, platform::systemFileCalls())) {
    std::cerr << "Unable to open file for reading: " << path << "\n";
    return {};
  }
  const std::size_t found = text.find("<svg");
  if (found == std::string::npos) return {};
  const std::size_t begin = text.rfind('\n', found);
  const std::size_t start = begin == std::string::npos ? 0 : begin + 1;
  return text.substr(start, text.find('\n', found) - start);
}

std::string getTextContent(const std::string& svg) {
  const std::size_t script = svg.find("</script>");
  if (script == std::string::npos) {
    std::cerr << "End script tag not found\n";
    return {};
  }
  const std::size_t start = script + std::string_view("</script>").size();
  const std::size_t end = svg.find("<g>", start);
  if (end == std::string::npos) {
    std::cerr << "Start <g> tag not found\n";
    return {};
  }
  return svg.substr(start, end - start);
}

std::string getGContent(const std::string& svg) {
  const std::size_t start = svg.find("<g>");
  if (start == std::string::npos) {
    std::cerr << "Start <g> tag not found\n";
    return {};
  }
  const std::size_t last = svg.rfind("</g>");
  if (last == std::string::npos || last < start) {
    std::cerr << "End </g> tag not found\n";
    return {};
  }
  return svg.substr(start, last + std::string_view("</g>").size() - start);
}

std::optional<PTFlameGraph> makeFlameGraph(const PTNodeMap& nodeMap, PTReportType type, const std::string& format) {
  if (!checkFlameGraphPLExists()) return std::nullopt;
  // A folder of our own: the exchange files meet no user's files and no
  // other report running at the same time, and go with the folder.
  platform::PrivateFolder scratch("pt-flamegraph");
  if (!scratch) {
    std::cerr << "Flame graph not drawn: " << scratch.error() << "\n";
    return std::nullopt;
  }
  const auto aggregateRoot = buildAggregateTree(nodeMap);
  if (!aggregateRoot) return std::nullopt;
  updateAggregateTree(aggregateRoot);
  const std::string stacks = scratch.file("stacks.txt");
  const PTStackFile written = writeStackTracesToFile(stacks, aggregateRoot, type, format == "time");
  // No line selected, or every phase below one count (a hundredth of a
  // second for times): the script would draw no frame, nothing to show.
  if (written.lines == 0 || !written.anyCount) return std::nullopt;
  if (!written.written) {
    std::cerr << "Flame graph not drawn: unable to write " << stacks << "\n";
    return std::nullopt;
  }
  if (!generateFlameGraph(scratch.path().string())) return std::nullopt;
  const std::string svgPath = scratch.file("flamegraph.svg");
  if (!checkFlameGraphSVGExists(svgPath)) return std::nullopt;
  const std::string svg = readFileAsString(svgPath);
  PTFlameGraph graph{extractSVGLine(svgPath), getTextContent(svg), getGContent(svg)};
  if (graph.svgLine.empty() || graph.staticContent.empty() || graph.frames.empty()) {
    std::cerr << "Flame graph not drawn: " << svgPath << " lacks the parts a page embeds\n";
    return std::nullopt;
  }
  return graph;
}
