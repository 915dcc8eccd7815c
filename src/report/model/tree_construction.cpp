#include "report/model/tree_construction.h"

#include "analysis/diagnostic_info.h"
#include "tracer/performance_tracer.h"
#include "tracer/text_utils.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_set>

namespace {

enum class Kind { Model, CodeGen, Test };
enum Section { kCompilation = 0, kSimulation = 1, kTermination = 2 };

const IdentifierName kLeftTree("leftTree");
const IdentifierName kModel("modelStr");
const IdentifierName kTarget("targetStr");

const PTTracerProcessedDataPoint* tracerPoint(const PTDiagnosticInfoVector& infos, std::size_t index) {
  const auto& info = infos[index];
  if (!info || !info->processedPoint) return nullptr;
  return dynamic_cast<const PTTracerProcessedDataPoint*>(info->processedPoint.get());
}

std::optional<std::int32_t> identifierOf(const PTProcessedIdentifierMap& ids, const IdentifierName& name) {
  const auto found = ids.find(name);
  if (found == ids.end()) return std::nullopt;
  return found->second;
}

/// Places the rows of one recording; one per build.
class TreeBuilder {
 public:
  TreeBuilder(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos, PTNodeMap& nodeMap, Kind kind)
      : tracer_(tracer),
        infos_(infos),
        nodeMap_(nodeMap),
        kind_(kind),
        placed_(infos.size(), false),
        nodeOf_(infos.size()) {
    nodeMap_.reserve(nodeMap_.size() + infos.size() + 16);
    root_ = createAndSetupNode(tracer_, "root", std::string("root"), nullptr);
    nodeMap_["root"] = root_;
    result_.push_back(root_);
    // Numbered even when absent: the page's phase table lists every name the
    // tree gives a number, in the order they were given.
    autosave_ = phaseNumber("Autosave");
    preCompile_ = phaseNumber("Pre_Compile");
    simulation_ = phaseNumber("Simulation");
    termination_ = phaseNumber("Termination");
  }

  PTNodeVector buildModelTree(PTReportType type) {
    for (std::size_t i = 0; i < infos_.size(); ++i) {
      if (placed_[i]) continue;
      const PTTracerProcessedDataPoint* point = tracerPoint(infos_, i);
      if (point == nullptr) continue;
      const auto model = identifierOf(point->identifiers, kModel);
      if (!model) {
        // A session phase around the models' work is left out, so that the
        // work inside it is arranged by model; other points outside every
        // model are kept under the root so that no time is lost.
        if (!wrapsModelWork(i)) placeWithNested(i, *point, root_);
        continue;
      }
      chooseTopModel(*point, *model, type);
      chooseSection(*point, *model);
      if (*model == topModel_) {
        if (point->stackDepth <= sectionDepth_) placeWithNested(i, *point, findNode(nodeMap_, sectionKey()));
      } else if (point->stackDepth > topModelDepth_) {
        placeWithNested(i, *point, referencedModelNode(*point, type));
      }
    }
    root_->updateTreeInfo(type);
    return std::move(result_);
  }

  PTNodeVector buildTestTree() {
    const auto manager = createAndSetupNode(tracer_, "clt_manager", std::string("Calvoran Test Manager"), root_);
    manager->identifiers[kLeftTree] = 1;
    enter(manager);
    for (std::size_t i = 0; i < infos_.size(); ++i) {
      if (placed_[i]) continue;
      const PTTracerProcessedDataPoint* point = tracerPoint(infos_, i);
      if (point == nullptr) continue;
      placeWithNested(i, *point, testParent(*point, manager));
    }
    root_->updateTreeInfo(PT_REPORT_TEST);
    return std::move(result_);
  }

 private:
  void enter(const PTprocessedDataNode::Ptr& node) {
    nodeMap_[node->nodeName] = node;
    result_.push_back(node);
  }

  PTprocessedDataNode::Ptr grouping(const std::string& key, const std::string& display,
                                    const PTprocessedDataNode::Ptr& parent, std::int32_t leftTree) {
    auto node = createAndSetupNode(tracer_, key, display, parent);
    node->identifiers[kLeftTree] = leftTree;
    enter(node);
    return node;
  }

  std::int32_t phaseNumber(const std::string& name) { return tracer_.getNumberForString(EPT_PHASE, name, true); }
  std::string modelName(std::int32_t model) const { return tracer_.getStringForNumber("modelStr", model); }

  void createNodesForTopModel(std::int32_t model) {
    const std::string n = std::to_string(model);
    const auto top = grouping("topModelNode" + n, modelName(model), root_, 1);
    if (kind_ == Kind::CodeGen) {
      grouping("mainModelCodeGen" + n, "Main Model Code Generation", top, 2);
      grouping("subModelCodeGen" + n, "Sub-Model Code Generation", top, 1);
      return;
    }
    grouping("mainModelCompilation" + n, "Main Model Compilation", top, 2);
    grouping("subModelCompilation" + n, "Sub-Model Compilation", top, 1);
    grouping("simulation" + n, "Simulation", top, 2)->identifiers[kModel] = model;
    grouping("termination" + n, "Termination", top, 2)->identifiers[kModel] = model;
  }

  void makeTopModel(std::int32_t model, int depth) {
    if (hasTopModel_ && topModel_ == model) return;
    hasTopModel_ = true;
    topModel_ = model;
    topModelDepth_ = depth;
    // Until a section phase of the model is met, its top-level points count
    // as compilation.
    section_ = kCompilation;
    sectionDepth_ = depth;
    if (seen_.insert(modelName(model)).second) createNodesForTopModel(model);
  }

  void chooseTopModel(const PTTracerProcessedDataPoint& point, std::int32_t model, PTReportType) {
    if (!hasTopModel_) {
      makeTopModel(model, point.stackDepth);
      return;
    }
    if (const auto target = identifierOf(point.identifiers, kTarget)) {
      // A model-reference target is built for the current top model.
      if (tracer_.getStringForNumber("targetStr", *target).find("mdlref") != std::string::npos) return;
    }
    makeTopModel(model, point.stackDepth);
  }

  void chooseSection(const PTTracerProcessedDataPoint& point, std::int32_t model) {
    if (model != topModel_) return;
    const std::int32_t phase = point.phase;
    if (phase == autosave_ || phase == preCompile_) {
      section_ = kCompilation;
    } else if (phase == simulation_) {
      section_ = kSimulation;
    } else if (phase == termination_) {
      section_ = kTermination;
    } else {
      return;
    }
    sectionDepth_ = point.stackDepth;
  }

  std::string sectionKey() const {
    const std::string n = std::to_string(topModel_);
    switch (section_) {
      case kSimulation: return "simulation" + n;
      case kTermination: return "termination" + n;
      default: return (kind_ == Kind::CodeGen ? "mainModelCodeGen" : "mainModelCompilation") + n;
    }
  }

  /// The grouping node of the point's model and target under the current top
  /// model, made the first time.
  PTprocessedDataNode::Ptr referencedModelNode(const PTTracerProcessedDataPoint& point, PTReportType) {
    const std::int32_t model = identifierOf(point.identifiers, kModel).value_or(-1);
    const std::string key = std::to_string(model) + "#" +
                            std::to_string(identifierOf(point.identifiers, kTarget).value_or(-1)) + "#" +
                            std::to_string(topModel_);
    if (!seen_.insert(key).second) return findNode(nodeMap_, key);
    const std::string n = std::to_string(topModel_);
    const auto& section = findNode(nodeMap_, (kind_ == Kind::CodeGen ? "subModelCodeGen" : "subModelCompilation") + n);
    auto node = createAndSetupNode(key, point, section);
    node->timeValue = -1.0;
    node->phaseID = phaseNumber(modelName(model));
    node->identifiers[kLeftTree] = 2;
    enter(node);
    return node;
  }

  /// The point under `parent`, then its nested phases breadth first.
  void placeWithNested(std::size_t index, const PTTracerProcessedDataPoint& point,
                       const PTprocessedDataNode::Ptr& parent) {
    placed_[index] = true;
    nodeOf_[index] = pointNode(index, point, parent);
    PTPlacementQueue queue;
    findDirectChildren(infos_, index, queue);
    while (!queue.empty()) {
      const auto [child, parentIndex] = queue.front();
      queue.pop_front();
      placeNested(child, nodeOf_[parentIndex]);
      findDirectChildren(infos_, child, queue);
    }
  }

  /// Whether a direct child of row `index` belongs to a model.
  bool wrapsModelWork(std::size_t index) const {
    PTPlacementQueue children;
    findDirectChildren(infos_, index, children);
    for (const auto& [child, parent] : children) {
      const PTTracerProcessedDataPoint* point = tracerPoint(infos_, child);
      if (point != nullptr && identifierOf(point->identifiers, kModel)) return true;
    }
    return false;
  }

  void placeNested(std::size_t index, const PTprocessedDataNode::Ptr& parentNode) {
    placed_[index] = true;
    const PTTracerProcessedDataPoint* point = tracerPoint(infos_, index);
    if (point == nullptr || !parentNode) {
      nodeOf_[index] = parentNode;  // its own children go to the nearest placed ancestor
      return;
    }
    PTprocessedDataNode::Ptr under = parentNode;
    if (kind_ != Kind::Test) {
      const auto model = identifierOf(point->identifiers, kModel);
      if (model && hasTopModel_ && model != identifierOf(parentNode->identifiers, kModel) && *model != topModel_) {
        // A referenced model's phase is shown under its model's grouping,
        // so its time leaves the phase that ran it.
        subtractParent(parentNode.get(), point);
        under = referencedModelNode(*point, PT_REPORT_MODEL);
      }
    }
    nodeOf_[index] = pointNode(index, *point, under);
  }

  PTprocessedDataNode::Ptr pointNode(std::size_t index, const PTTracerProcessedDataPoint& point,
                                     const PTprocessedDataNode::Ptr& parent) {
    auto node = createAndSetupNode(std::to_string(index), point, parent);
    if (kind_ == Kind::Test) {
      // Test rows show the model they ran.
      if (const auto model = testText(point, "modelToRun")) {
        node->identifiers[kModel] = tracer_.getNumberForString("modelStr", *model, true);
      }
    }
    nodeMap_.emplace(node->nodeName, node);
    return node;
  }

  PTprocessedDataNode::Ptr testGrouping(const std::string& key, const std::string& display,
                                        const PTprocessedDataNode::Ptr& parent, std::int32_t leftTree) {
    if (!seen_.insert(key).second) return findNode(nodeMap_, key);
    return grouping(key, display, parent, leftTree);
  }

  std::optional<std::string> testText(const PTTracerProcessedDataPoint& point, const char* name) const {
    const auto number = identifierOf(point.identifiers, IdentifierName(name));
    if (!number) return std::nullopt;
    return tracer_.getStringForNumber(name, *number);
  }

  /// The node a test-manager point goes under: the manager for points that
  /// name no test, else the deepest level of file, suite, case and iteration
  /// the point names, each level made once per distinct path.
  PTprocessedDataNode::Ptr testParent(const PTTracerProcessedDataPoint& point,
                                      const PTprocessedDataNode::Ptr& manager) {
    const auto& ids = point.identifiers;
    if (ids.count("UserString") == 0 && ids.count("TestPath") == 0 && ids.count("TestResult") == 0) return manager;
    const auto file = testText(point, "TestFile");
    if (!file) return manager;
    PTprocessedDataNode::Ptr parent = testGrouping(*file, *file, root_, 1);
    std::string path = *file;
    if (const auto suite = testText(point, "TestSuite")) {
      for (const std::string& level : splitString(*suite, " > ")) {
        path += "::" + level;
        parent = testGrouping(path, level, parent, 1);
      }
    }
    if (const auto testCase = testText(point, "TestCase")) {
      path += "::case::" + *testCase;
      parent = testGrouping(path, *testCase, parent, 2);
      const auto iteration = testText(point, "IterationName");
      // " " (or no text at all) is a case run without iterations.
      if (iteration && iteration->find_first_not_of(' ') != std::string::npos) {
        path += "::iteration::" + *iteration;
        parent = testGrouping(path, *iteration, parent, 2);
      }
    }
    return parent;
  }

  PerformanceTracer& tracer_;
  const PTDiagnosticInfoVector& infos_;
  PTNodeMap& nodeMap_;
  Kind kind_;
  std::vector<bool> placed_;
  PTNodeVector result_;
  PTprocessedDataNode::Ptr root_;
  std::unordered_set<std::string> seen_;
  /// The node of every placed row, by row index.
  std::vector<PTprocessedDataNode::Ptr> nodeOf_;
  std::int32_t autosave_ = -1, preCompile_ = -1, simulation_ = -1, termination_ = -1;
  bool hasTopModel_ = false;
  std::int32_t topModel_ = -1;
  int topModelDepth_ = 0;
  Section section_ = kCompilation;
  int sectionDepth_ = 0;
};

}  // namespace

std::size_t PTNodeKeyHash::operator()(const std::string& key) const noexcept {
  if (!key.empty() && key.size() <= 18) {
    std::size_t number = 0;
    for (const char c : key) {
      if (c < '0' || c > '9') return std::hash<std::string>()(key);
      number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return number;
  }
  return std::hash<std::string>()(key);
}

const PTprocessedDataNode::Ptr& findNode(const PTNodeMap& nodeMap, const std::string& key) {
  const auto found = nodeMap.find(key);
  if (found == nodeMap.end()) throw std::out_of_range("Unable to find key in unordered_map.");
  return found->second;
}

PTprocessedDataNode::Ptr createAndSetupNode(PerformanceTracer& tracer, const std::string& identifier,
                                            const std::string& displayText, const PTprocessedDataNode::Ptr& parent) {
  auto node = std::make_shared<PTprocessedDataNode>(identifier, displayText, tracer);
  if (parent) {
    node->parent = parent;
    parent->addChild(node);
  }
  return node;
}

PTprocessedDataNode::Ptr createAndSetupNode(const std::string& identifier, const PTTracerProcessedDataPoint& point,
                                            const PTprocessedDataNode::Ptr& parent) {
  auto node = std::make_shared<PTprocessedDataNode>(identifier, point);
  if (parent) {
    node->parent = parent;
    parent->addChild(node);
  }
  return node;
}

void findDirectChildren(const PTDiagnosticInfoVector& infos, std::size_t index, PTPlacementQueue& queue) {
  if (index >= infos.size() || !infos[index] || !infos[index]->processedPoint) return;
  const PTKAVLORProcessedDataPoint& point = *infos[index]->processedPoint;
  if (point.numDescendants <= 0 || point.HTMLRowNumber < 0) return;
  // Descendants are the rows numbered right after the point (row numbers
  // count from 1, so row n is element n - 1). Jumping over each child's own
  // descendants finds the direct children without visiting the rest: a deep
  // chain costs one step per level, not one per descendant.
  const std::size_t first = static_cast<std::size_t>(point.HTMLRowNumber);
  const std::size_t end = std::min(infos.size(), first + static_cast<std::size_t>(point.numDescendants));
  for (std::size_t child = first; child < end;) {
    const auto& info = infos[child];
    if (!info || !info->processedPoint) {
      ++child;
      continue;
    }
    const PTKAVLORProcessedDataPoint& row = *info->processedPoint;
    if (row.stackDepth == point.stackDepth + 1) queue.emplace_back(child, index);
    child += 1 + static_cast<std::size_t>(row.numDescendants > 0 ? row.numDescendants : 0);
  }
}

void subtractParent(PTprocessedDataNode* node, const PTKAVLORProcessedDataPoint* point) {
  if (point == nullptr) return;
  std::shared_ptr<PTprocessedDataNode> keep;
  while (node != nullptr) {
    node->timeValue -= point->wcElapsedTime;
    if (point->basicProcessedMemStats) node->memoryValue -= point->basicProcessedMemStats->procMemUsageDelta;
    keep = node->parent.lock();
    node = keep.get();
  }
}

PTNodeVector constructNodes(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos, PTReportType type,
                            PTNodeMap& nodeMap) {
  return TreeBuilder(tracer, infos, nodeMap, Kind::Model).buildModelTree(type);
}

PTNodeVector constructNodes_TGX(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos, PTReportType type,
                                PTNodeMap& nodeMap) {
  return TreeBuilder(tracer, infos, nodeMap, Kind::CodeGen).buildModelTree(type);
}

PTNodeVector constructNodes_CLTestReport(PerformanceTracer& tracer, const PTDiagnosticInfoVector& infos,
                                         PTNodeMap& nodeMap) {
  return TreeBuilder(tracer, infos, nodeMap, Kind::Test).buildTestTree();
}
