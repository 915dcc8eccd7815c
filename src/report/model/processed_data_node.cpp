#include "report/model/processed_data_node.h"
#include "tracer/fixed_texts.h"

#include "analysis/metric.h"
#include "analysis/processed_points.h"
#include "report/phase/html_escape.h"
#include "tracer/performance_tracer.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

namespace {

const IdentifierName& modelKey() {
  static const IdentifierName name(pt::kModelIdentifier);
  return name;
}
const IdentifierName& targetKey() {
  static const IdentifierName name(pt::kTargetIdentifier);
  return name;
}
const IdentifierName& harnessKey() {
  static const IdentifierName name("harnessModel");
  return name;
}
const IdentifierName& leftTreeKey() {
  static const IdentifierName name("leftTree");
  return name;
}

std::optional<std::int32_t> identifierOf(const PTprocessedDataNode& node, const IdentifierName& name) {
  const auto found = node.identifiers.find(name);
  if (found == node.identifiers.end()) return std::nullopt;
  return found->second;
}

/// The standard stream's fixed notation with precision 2.
void appendFixed2(std::string& out, double value) {
  // "nan" or "inf" would be names the page's script does not know.
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buffer[64];
  const auto [end, failed] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  if (failed == std::errc()) {
    out.append(buffer, end);
  } else {
    out += "0.00";  // beyond 1e60: never a measured time or memory value
  }
}

void appendNumber(std::string& out, std::int32_t value) { out += std::to_string(value); }

void appendOptional(std::string& out, std::optional<std::int32_t> value) {
  if (value) {
    appendNumber(out, *value);
  } else {
    out += "null";
  }
  out += ',';
}

/// Node names are ours, or a test file's name: the quoted text is escaped so
/// that no name can end the literal or the script block it stands in.
void appendQuoted(std::string& out, const std::string& text) {
  out += '"';
  out += ptEscapeForScriptString(text);
  out += '"';
}

double roundHundredths(double value) { return std::round(value * 100.0) / 100.0; }

/// Fields 1-4 shared by both records: name, phase, values, parent.
void appendHead(std::string& out, const PTprocessedDataNode& node, PTReportType type, const std::string& format) {
  out += '[';
  appendQuoted(out, node.nodeName);
  out += ',';
  appendNumber(out, node.phaseID);
  out += ',';
  if (!isDiffReportType(type)) {
    appendFixed2(out, node.timeValue);
    out += ',';
    appendFixed2(out, node.memoryValue);
    out += ',';
  } else if (const std::optional<pt::Metric> metric = pt::parseMetric(format);
             metric == pt::Metric::kTime || metric == pt::Metric::kBasicMemory) {
    const bool isTime = metric == pt::Metric::kTime;
    const double own = isTime ? node.timeValue : node.memoryValue;
    double other = 0.0;
    if (node.counterpart) other = isTime ? node.counterpart->timeValue : node.counterpart->memoryValue;
    appendFixed2(out, roundHundredths(own));
    out += ',';
    appendFixed2(out, node.counterpart ? roundHundredths(other) : 0.0);
    out += ',';
  }
  if (const auto parent = node.parent.lock()) {
    appendQuoted(out, parent->nodeName);
    out += ',';
  } else {
    out += "null,";
  }
}

}  // namespace

std::optional<std::int32_t> findNodeIdentifier(const PTprocessedDataNode& node, const char* name) {
  return identifierOf(node, IdentifierName(name));
}

PTprocessedDataNode::PTprocessedDataNode(std::string name, const std::string& phaseName, PerformanceTracer& tracer)
    : nodeName(std::move(name)), phaseID(tracer.getNumberForString(EPT_PHASE, phaseName, true)) {}

PTprocessedDataNode::PTprocessedDataNode(std::string name, const PTTracerProcessedDataPoint& point)
    : nodeName(std::move(name)),
      phaseID(point.phase),
      timeValue(point.wcElapsedTime),
      memoryValue(point.basicProcessedMemStats ? point.basicProcessedMemStats->procMemUsageDelta : 0.0),
      identifiers(point.identifiers) {}

PTprocessedDataNode::~PTprocessedDataNode() {
  // A chain of nested phases is as deep as the recording's nesting; freeing
  // it child by child through the destructors would recurse that deep.
  std::vector<Ptr> pending = std::move(children);
  while (!pending.empty()) {
    Ptr node = std::move(pending.back());
    pending.pop_back();
    if (node && node.use_count() == 1) {
      for (Ptr& child : node->children) pending.push_back(std::move(child));
      node->children.clear();
    }
  }
}

std::string PTprocessedDataNode::getIDStr() const {
  return std::to_string(phaseID) + "#" + std::to_string(identifierOf(*this, modelKey()).value_or(-1)) + "#" +
         std::to_string(identifierOf(*this, targetKey()).value_or(-1));
}

void PTprocessedDataNode::inheritIdentifier(const IdentifierName& name, const PTprocessedDataNode& from) {
  if (identifiers.count(name) != 0) return;
  if (const auto value = identifierOf(from, name)) identifiers[name] = *value;
}

void PTprocessedDataNode::updateModel() {
  if (const auto up = parent.lock()) inheritIdentifier(modelKey(), *up);
}

void PTprocessedDataNode::updateHarnessAndModel() {
  if (const auto up = parent.lock()) {
    inheritIdentifier(harnessKey(), *up);
    inheritIdentifier(modelKey(), *up);
  }
}

void PTprocessedDataNode::updateTreeInfo(PTReportType type) {
  // Pre-order, so that a parent's identifiers are complete before its
  // children inherit from it; then in reverse, so that children are summed
  // before their parents.
  std::vector<PTprocessedDataNode*> order;
  std::vector<PTprocessedDataNode*> stack{this};
  while (!stack.empty()) {
    PTprocessedDataNode* node = stack.back();
    stack.pop_back();
    order.push_back(node);
    if (type == PT_REPORT_TEST) {
      node->updateHarnessAndModel();
    } else if (type == PT_REPORT_MODEL || type == PT_REPORT_CODEGEN) {
      node->updateModel();
    }
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
      if (*child) stack.push_back(child->get());
    }
  }
  for (auto node = order.rbegin(); node != order.rend(); ++node) {
    double time = 0.0;
    double memory = 0.0;
    for (const Ptr& child : (*node)->children) {
      if (!child) continue;
      time += child->timeValue;
      memory += child->memoryValue;
    }
    if ((*node)->timeValue < 0) {
      (*node)->timeValue = time;
      (*node)->memoryValue = memory;
    }
  }
}

std::string PTprocessedDataNode::generateJSONStrSummary(PTReportType type, const std::string& format) const {
  std::string out;
  appendHead(out, *this, type, format);
  appendOptional(out, identifierOf(*this, modelKey()));
  appendOptional(out, identifierOf(*this, targetKey()));
  appendOptional(out, identifierOf(*this, leftTreeKey()));
  if (isDiffReportType(type) && diffStatus) {
    appendNumber(out, *diffStatus);
    out += ',';
  }
  out += "],\n";
  return out;
}

std::string PTprocessedDataNode::generateJSONStrDetailed_node(PTReportType type, const std::string& format) const {
  std::string out;
  appendHead(out, *this, type, format);
  if (!isDiffReportType(type)) {
    appendOptional(out, identifierOf(*this, modelKey()));
    appendOptional(out, identifierOf(*this, type == PT_REPORT_TEST ? harnessKey() : targetKey()));
  } else {
    // An RHS-only node names its subject by the RHS node it was copied from.
    const PTprocessedDataNode& subject = diffStatus == 2 && counterpart ? *counterpart : *this;
    const auto field = [&](const PTprocessedDataNode& from, const IdentifierName& name) {
      return diffStatus ? identifierOf(from, name) : std::nullopt;
    };
    if (type == PT_REPORT_MODEL_DIFF) {
      appendOptional(out, field(subject, targetKey()));
    } else if (type == PT_REPORT_TEST_DIFF) {
      appendOptional(out, field(subject, modelKey()));
      appendOptional(out, field(*this, harnessKey()));
    }
    if (diffStatus) {
      appendNumber(out, *diffStatus);
      out += ',';
      if (counterpart) {
        appendQuoted(out, counterpart->nodeName);
        out += ',';
      } else {
        out += "null,";
      }
    }
  }
  out += "],\n";
  return out;
}

std::string PTprocessedDataNode::generateJSONStrDetailed_tree(PTReportType type, const std::string& format) const {
  std::string out;
  std::vector<const PTprocessedDataNode*> stack{this};
  while (!stack.empty()) {
    const PTprocessedDataNode* node = stack.back();
    stack.pop_back();
    out += node->generateJSONStrDetailed_node(type, format);
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
      if (*child) stack.push_back(child->get());
    }
  }
  return out;
}
