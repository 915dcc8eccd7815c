#include "report/model/tree_construction.h"

#include "analysis/processed_data.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"
#include "tracer/pt_logging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }

/// A recording numbered in the process-wide tracer's tables, which the nodes
/// and builders read.
struct Recording {
  Recording() { tracer().initialize(); }
  pt_test::TraceBuilder trace{tracer()};
  PTProcessedDataStruct summary;
  PTNodeMap nodes;

  /// From the builder's points, or with `live` from the tracer's own recording.
  PTNodeVector build(PTReportType type, bool live = false) {
    summary = live ? tracer().getProcessedData(nullptr, std::vector<std::string>{"GLOBAL"}, false)
                   : tracer().generateProcessedData(&trace.points(), std::string("GLOBAL"), false);
    EXPECT_FALSE(summary.hasErrors);
    if (type == PT_REPORT_TEST) return constructNodes_CLTestReport(tracer(), summary.diagnosticInfos, nodes);
    if (type == PT_REPORT_CODEGEN) return constructNodes_TGX(tracer(), summary.diagnosticInfos, type, nodes);
    return constructNodes(tracer(), summary.diagnosticInfos, type, nodes);
  }
};

/// "phase=time{children}" of a subtree, phases by name in `tables`.
std::string outline(const PTprocessedDataNode& node, const PerformanceTracer& tables = tracer()) {
  char time[32];
  std::snprintf(time, sizeof time, "%.2f", node.timeValue);
  std::string text = tables.getStringForNumber(EPT_PHASE, node.phaseID) + "=" + time;
  for (const auto& child : node.children)
    text.append(child == node.children.front() ? "{" : ",").append(outline(*child, tables));
  return node.children.empty() ? text : text + "}";
}

std::vector<std::string> names(const PTNodeVector& nodes) {
  std::vector<std::string> out;
  for (const auto& node : nodes) out.push_back(node->nodeName);
  return out;
}

std::string identifier(const PTprocessedDataNode& node, const char* name) {
  const auto value = findNodeIdentifier(node, name);
  return value ? std::to_string(*value) : "none";
}

PTprocessedDataNode::Ptr child(const PTprocessedDataNode::Ptr& parent, double time) {
  auto node = std::make_shared<PTprocessedDataNode>("c", 0);
  node->timeValue = time;
  node->parent = parent;
  parent->addChild(node);
  return node;
}

TEST(ProcessedDataNode, RecordsFollowTheReportType) {
  tracer().initialize();
  auto parent = std::make_shared<PTprocessedDataNode>("p", 1);
  auto node = std::make_shared<PTprocessedDataNode>("n", 4);
  node->parent = parent;
  node->timeValue = 0.125;
  node->memoryValue = 2.0;
  node->identifiers["modelStr"] = 2;
  node->identifiers["targetStr"] = 5;
  node->identifiers["harnessModel"] = 6;
  auto other = std::make_shared<PTprocessedDataNode>("m", 4);
  other->timeValue = 0.5;
  other->identifiers["targetStr"] = 9;
  other->identifiers["modelStr"] = 8;

  EXPECT_EQ(PTprocessedDataNode().generateJSONStrSummary(PT_REPORT_MODEL, "time"),
            "[\"\",0,-1.00,0.00,null,null,null,null,],\n");
  EXPECT_EQ(node->generateJSONStrSummary(PT_REPORT_MODEL, "time"), "[\"n\",4,0.12,2.00,\"p\",2,5,null,],\n");
  EXPECT_EQ(node->generateJSONStrDetailed_node(PT_REPORT_TEST, "time"), "[\"n\",4,0.12,2.00,\"p\",2,6,],\n");
  // Difference kinds: rounded to hundredths, 0.00 without a counterpart.
  EXPECT_EQ(node->generateJSONStrSummary(PT_REPORT_MODEL_DIFF, "time"), "[\"n\",4,0.13,0.00,\"p\",2,5,null,],\n");
  EXPECT_EQ(node->generateJSONStrDetailed_node(PT_REPORT_MODEL_DIFF, "detailedmemory"), "[\"n\",4,\"p\",null,],\n");
  node->counterpart = other;
  node->diffStatus = 2;  // RHS only: the subject comes from the RHS node
  EXPECT_EQ(node->generateJSONStrSummary(PT_REPORT_TEST_DIFF, "basicmemory"),
            "[\"n\",4,2.00,0.00,\"p\",2,5,null,2,],\n");
  EXPECT_EQ(node->generateJSONStrDetailed_node(PT_REPORT_MODEL_DIFF, "time"),
            "[\"n\",4,0.13,0.50,\"p\",9,2,\"m\",],\n");
  EXPECT_EQ(node->generateJSONStrDetailed_node(PT_REPORT_TEST_DIFF, "time"),
            "[\"n\",4,0.13,0.50,\"p\",8,6,2,\"m\",],\n");
  node->diffStatus = 0;
  EXPECT_EQ(node->generateJSONStrDetailed_node(PT_REPORT_CODEGEN_DIFF, "x"), "[\"n\",4,\"p\",0,\"m\",],\n");

  EXPECT_EQ(PTprocessedDataNode().getIDStr(), "0#-1#-1");
  EXPECT_EQ(node->getIDStr(), "4#2#5");
  // A test file's name is trace text: it cannot end the literal or the script.
  PTprocessedDataNode hostile("a\"b</script>\\", 0);
  EXPECT_EQ(hostile.generateJSONStrSummary(PT_REPORT_MODEL, "time"),
            "[\"a\\\"b\\x3C/script\\x3E\\\\\",0,-1.00,0.00,null,null,null,null,],\n");
}

TEST(ProcessedDataNode, CompletionSumsUnmeasuredNodesAndInheritsModels) {
  for (const PTReportType type : {PT_REPORT_MODEL, PT_REPORT_TEST, PT_REPORT_MODEL_DIFF}) {
    auto root = std::make_shared<PTprocessedDataNode>("root", 0);
    root->identifiers["modelStr"] = 7;
    root->identifiers["harnessModel"] = 3;
    child(root, 1.5);
    const auto second = child(root, 2.25);
    const auto measured = child(second, 5.0);
    child(measured, 9.0);
    root->updateTreeInfo(type);
    EXPECT_DOUBLE_EQ(root->timeValue, 3.75);
    EXPECT_DOUBLE_EQ(measured->timeValue, 5.0);
    const bool inherits = type != PT_REPORT_MODEL_DIFF;
    EXPECT_EQ(identifier(*measured->children.front(), "modelStr"), inherits ? "7" : "none");
    EXPECT_EQ(identifier(*measured, "harnessModel"), type == PT_REPORT_TEST ? "3" : "none");
  }
  auto lone = std::make_shared<PTprocessedDataNode>("x", 0);
  lone->updateTreeInfo(PT_REPORT_MODEL);
  EXPECT_EQ(lone->timeValue, 0.0);
}

TEST(ModelTree, ArrangesPhasesByModelSectionAndReferencedModel) {
  Recording r;
  r.trace.identifiers({{"modelStr", "top"}, {"targetStr", "grt"}}).start("Pre_Compile", 0.0).start("Load", 0.1);
  r.trace.start("Parse", 0.1).end("Parse", 0.2).end("Load", 0.3);
  r.trace.identifiers({{"modelStr", "ref"}, {"targetStr", "ref_mdlref"}}).start("Build", 0.3).end("Build", 0.5);
  r.trace.identifiers({{"modelStr", "top"}, {"targetStr", "grt"}}).end("Pre_Compile", 1.0);
  r.trace.start("Simulation", 1.0).start("Step", 1.0).end("Step", 1.5).start("Step", 1.5).end("Step", 2.0);
  r.trace.end("Simulation", 2.5).start("Termination", 3.0).end("Termination", 3.25);
  r.trace.identifiers({}).start("Unowned", 4.0).end("Unowned", 4.5);
  const PTNodeVector result = r.build(PT_REPORT_MODEL);

  const std::string top = std::to_string(tracer().getNumberForString("modelStr", "top"));
  const std::string ref = std::to_string(tracer().getNumberForString("modelStr", "ref")) + "#" +
                          std::to_string(tracer().getNumberForString("targetStr", "ref_mdlref")) + "#" + top;
  EXPECT_EQ(names(result),
            (std::vector<std::string>{"root", "topModelNode" + top, "mainModelCompilation" + top,
                                      "subModelCompilation" + top, "simulation" + top, "termination" + top, ref}));
  // The referenced build leaves Pre_Compile for its own grouping; a phase two
  // levels down stays under its direct parent.
  EXPECT_EQ(outline(*result.front()),
            "root=3.25{top=2.75{Main Model Compilation=0.80{Pre_Compile=0.80{Load=0.20{Parse=0.10},"
            "Build_post=0.50}},Sub-Model Compilation=0.20{ref=0.20{Build=0.20}},"
            "Simulation=1.50{Simulation=1.50{Step=0.50,Step=0.50,Step_post=0.50}},"
            "Termination=0.25{Termination=0.25}},Unowned=0.50}");
  EXPECT_EQ(identifier(*r.nodes.at(ref), "leftTree"), "2");
  EXPECT_EQ(identifier(*result[1], "leftTree"), "1");
  EXPECT_EQ(identifier(*result[4], "modelStr"), top);
  EXPECT_TRUE(std::all_of(r.nodes.begin(), r.nodes.end(), [](const auto& e) { return e.first == e.second->nodeName; }));
  EXPECT_EQ(r.nodes.size(), result.size() + r.summary.diagnosticInfos.size());

  Recording codegen;
  codegen.trace.identifiers({{"modelStr", "cg"}, {"targetStr", "ert"}}).start("Generate", 0).end("Generate", 1);
  EXPECT_EQ(outline(*codegen.build(PT_REPORT_CODEGEN).front()),
            "root=1.00{cg=1.00{Main Model Code Generation=1.00{Generate=1.00},Sub-Model Code Generation=0.00}}");

  // A session phase around two models' work: the work is arranged by model.
  Recording session;
  session.trace.identifiers({}).start("Session", 0);
  session.trace.identifiers({{"modelStr", "a"}, {"targetStr", "ert"}}).start("Generate", 0).end("Generate", 1);
  session.trace.identifiers({{"modelStr", "b"}, {"targetStr", "ert"}}).start("Generate", 1).end("Generate", 3);
  session.trace.identifiers({}).end("Session", 3);
  EXPECT_EQ(outline(*session.build(PT_REPORT_CODEGEN).front()),
            "root=3.00{a=1.00{Main Model Code Generation=1.00{Generate=1.00},Sub-Model Code Generation=0.00},"
            "b=2.00{Main Model Code Generation=2.00{Generate=2.00},Sub-Model Code Generation=0.00}}");

  Recording empty;
  EXPECT_EQ(names(constructNodes(tracer(), {}, PT_REPORT_MODEL, empty.nodes)), std::vector<std::string>{"root"});
  EXPECT_EQ(empty.nodes.size(), 1u);
}

// A recording of a tracer of its own, whose names have other numbers than the
// process-wide tracer's: the tree is named, and the names it adds numbered, in
// that tracer's tables alone.
TEST(ModelTree, BuildsWithTheTablesOfTheTracerItIsGiven) {
  tracer().initialize();
  const std::size_t processWidePhases = tracer().getMappingByType(EPT_PHASE)->size();
  PerformanceTracer own;
  own.initialize();
  for (const char* name : {"x", "y", "z"}) {
    own.getNumberForString(EPT_PHASE, name, true);
    own.getNumberForString("modelStr", name, true);
  }
  pt_test::TraceBuilder trace(own);
  trace.identifiers({{"modelStr", "plant"}, {"targetStr", "grt"}}).start("Pre_Compile", 0).start("Load", 0);
  trace.end("Load", 1).identifiers({{"modelStr", "ref"}, {"targetStr", "ref_mdlref"}});
  trace.start("Build", 1).end("Build", 2);
  trace.identifiers({{"modelStr", "plant"}, {"targetStr", "grt"}}).end("Pre_Compile", 2);
  trace.start("Simulation", 2).start("Step", 2).end("Step", 3).end("Simulation", 3);
  const PTProcessedDataStruct summary = own.generateProcessedData(&trace.points(), std::string("GLOBAL"), false);
  PTNodeMap nodes;
  const PTNodeVector built = constructNodes(own, summary.diagnosticInfos, PT_REPORT_MODEL, nodes);
  EXPECT_EQ(outline(*built.front(), own),
            "root=3.00{plant=3.00{Main Model Compilation=1.00{Pre_Compile=1.00{Load=1.00}},"
            "Sub-Model Compilation=1.00{ref=1.00{Build=1.00}},Simulation=1.00{Simulation=1.00{Step=1.00}},"
            "Termination=0.00}}");
  EXPECT_EQ(tracer().getMappingByType(EPT_PHASE)->size(), processWidePhases);
}

TEST(ModelTree, TestManagerRunsGroupByFileSuiteCaseAndIteration) {
  Recording r;
  ptClearRawData();
  ptEnableGlobalLogging(true);
  ptAddTestPathToMap("run1", "a.m > Suite1 > Suite2 > Case # it1");
  ptAddTestPathToMap("run2", "a.m > Suite1 > Suite2 > Case #  ");
  ptLogTracerDataVecInput("CLTestManager", "Setup", true, {});
  ptLogTracerDataVecInput("CLTestManager", "Setup", false, {});
  for (const char* run : {"run1", "run2", "run1"}) {
    const std::vector<std::string> ids{"UserString", run, "modelToRun", "plant"};
    ptLogTracerDataVecInput("CLTestManager", "Run", true, ids);
    ptLogTracerDataVecInput("CLTestManager", "Sim", true, ids);
    ptLogTracerDataVecInput("CLTestManager", "Sim", false, ids);
    ptLogTracerDataVecInput("CLTestManager", "Run", false, ids);
  }
  ptEnableGlobalLogging(false);
  const PTNodeVector result = r.build(PT_REPORT_TEST, true);

  EXPECT_EQ(names(result), (std::vector<std::string>{"root", "clt_manager", "a.m", "a.m::Suite1", "a.m::Suite1::Suite2",
                                                     "a.m::Suite1::Suite2::case::Case",
                                                     "a.m::Suite1::Suite2::case::Case::iteration::it1"}));
  // Times of a live recording.
  EXPECT_EQ(std::regex_replace(outline(*result.front()), std::regex("[0-9]"), "#"),
            "root=#.##{Calvoran Test Manager=#.##{Setup=#.##},a.m=#.##{Suite#=#.##{Suite#=#.##{Case=#.##{"
            "it#=#.##{Run=#.##{Sim=#.##},Run=#.##{Sim=#.##}},Run=#.##{Sim=#.##}}}}}}");
  const auto& run = *result.back()->children.front();
  EXPECT_EQ(identifier(run, "modelStr"), std::to_string(tracer().getNumberForString("modelStr", "plant")));
  EXPECT_EQ(identifier(*run.children.front(), "modelStr"), identifier(run, "modelStr"));
  ptClearRawData();
}

}  // namespace
