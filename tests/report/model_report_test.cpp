#include "report/model/model_report.h"

#include "report/model/model_diff_report.h"

#include "platform/host_messages.h"
#include "report/phase/html_escape.h"
#include "support/raised.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }

const std::string kHostileModel = "</script><img src=x onerror=alert(1)>\"'\\";
const std::string kHostilePhase = "Load \"quoted\" </SCRIPT> & <b>";

/// The page of the builder's points.
std::string page(pt_test::TraceBuilder& trace, PTReportType type, std::vector<std::string> arguments = {},
                 bool flameGraph = false) {
  pt_test::ScratchFolder folder;
  const std::string file = folder.file("model.html");
  EXPECT_TRUE(
      generateReport_modelBased(tracer(), file, "GLOBAL", "time", arguments, &trace.points(), type, flameGraph));
  return pt_test::fileBytes(file);
}

/// The lines of the script array `name`, between its head and "]"; for the
/// tree records, parsed from their script string, one record a line.
std::vector<std::string> arrayLines(const std::string& text, const std::string& head) {
  std::size_t at = text.find(head);
  if (at == std::string::npos) return {};
  std::string body;
  if (text.compare(at + head.size(), 15, " = JSON.parse('") == 0) {
    for (at += head.size() + 15; at < text.size() && text[at] != '\''; ++at) {
      if (text[at] == '\\')
        body += text[++at] == 'n' ? '\n' : text[at];
      else
        body += text[at];
    }
    body = body.substr(1, body.size() - 2);  // records are one to a line between the array's brackets
  } else {
    body = text.substr(text.find('\n', at) + 1);
  }
  std::vector<std::string> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line) && !line.starts_with("]");) lines.push_back(line);
  return lines;
}

TEST(ModelReport, PageCarriesEscapedRecordsAndTablesWithEveryMarkerFilled) {
  tracer().initialize();
  pt_test::TraceBuilder trace(tracer());
  trace.identifiers({{"modelStr", kHostileModel}, {"targetStr", "grt"}}).start("Pre_Compile", 0.0);
  trace.start(kHostilePhase, 0.1).end(kHostilePhase, 0.6).end("Pre_Compile", 1.0);
  trace.start("Simulation", 1.0).end("Simulation", 3.0);
  const std::string text = page(trace, PT_REPORT_MODEL);

  EXPECT_FALSE(std::regex_search(text, std::regex("%[A-Z0-9_]+%"))) << "a marker was left in the page";
  // Only the page's own blocks end a script; no trace text opens markup.
  const std::regex closing("</script>");
  EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), closing), std::sregex_iterator()), 2);
  EXPECT_EQ(text.find("<img"), std::string::npos);
  EXPECT_EQ(text.find("<b>"), std::string::npos);

  const std::string model = std::to_string(tracer().getNumberForString("modelStr", kHostileModel));
  const std::string main = "mainModelCompilation" + model;
  const std::vector<std::string> left = arrayLines(text, "var leftTreeData");
  ASSERT_EQ(left.size(), 6u);
  EXPECT_EQ(left[0].substr(0, 8), "[\"root\",");
  EXPECT_NE(left[2].find("[\"" + main + "\","), std::string::npos);
  EXPECT_NE(left[2].find(",1.00,0.00,\"topModelNode" + model + "\",null,null,2],"), std::string::npos) << left[2];

  // The selectable items' phases, depth first, with their parents.
  const std::vector<std::string> right = arrayLines(text, "var rightTreeData");
  // The gap after the nested phase is a row of its own.
  ASSERT_EQ(right.size(), 4u);
  EXPECT_NE(right[0].find(",1.00,0.00,\"" + main + "\","), std::string::npos) << right[0];
  EXPECT_NE(right[1].find(",0.50,0.00,\"0\","), std::string::npos) << right[1];
  EXPECT_NE(right[2].find(",0.40,0.00,\"0\","), std::string::npos) << right[2];
  EXPECT_NE(right[3].find(",2.00,0.00,\"simulation" + model + "\","), std::string::npos) << right[3];

  const std::vector<std::string> phases = arrayLines(text, " phase = [");
  EXPECT_EQ(phases.size(), tracer().getMappingByType(EPT_PHASE)->size() + 1);  // and a blank line
  // A name table's line: the escaped name between quotes, then a separator.
  EXPECT_THAT(phases, testing::Contains('"' + ptEscapeForScriptString(kHostilePhase) + "\","));
  EXPECT_THAT(arrayLines(text, "modelStr = ["),
              testing::Contains('"' + ptEscapeForScriptString(kHostileModel) + "\", "));
  EXPECT_EQ(text.find("harnessModel="), std::string::npos);
  EXPECT_EQ(text.find("harnessModel = ["), std::string::npos);
  EXPECT_NE(text.find("Click on the table on the left to view detailed data."), std::string::npos);
  EXPECT_EQ(text.find("id=\"svg-content\""), std::string::npos);
}

// Test runs are offered by their test case, and a test file's name, which
// reaches the records as a node name, comes back whole from the page's JSON.
TEST(ModelReport, TestRunsAreOfferedByTestCaseWithTheirNamesIntact) {
  tracer().initialize();
  // No ">": that would end the file's part of the path.
  const std::string file = "<!--</script '\"\\x7\xE2\x80\xA8.m";
  tracer().addTestPathToMap("run", file + " > Suite > testCase");
  pt_test::TraceBuilder trace(tracer());
  trace.grouping("CLTestManager").identifiers({{"modelStr", "m"}, {"UserString", "run"}});
  trace.start("Run Test", 0.0).end("Run Test", 1.0);
  const std::string text = page(trace, PT_REPORT_TEST);
  EXPECT_EQ(text.find("<!--"), std::string::npos);
  EXPECT_EQ(text.find("</script '"), std::string::npos);
  const auto parsed = [&](const char* head) {
    std::string records;  // all but the last line end in a comma
    for (const std::string& line : arrayLines(text, head)) records += line;
    return nlohmann::json::parse("[" + records + "]");
  };
  // id, phase, time, memory, parent, model, harness, leftTree
  const nlohmann::json left = parsed("var leftTreeData");
  const auto fileNode = std::find_if(left.begin(), left.end(), [&](const auto& r) { return r[0] == file; });
  ASSERT_NE(fileNode, left.end()) << text;
  EXPECT_EQ((*fileNode)[7], 1);
  std::vector<nlohmann::json> items;
  std::copy_if(left.begin(), left.end(), std::back_inserter(items), [](const auto& r) { return r[7] == 2; });
  ASSERT_EQ(items.size(), 1u);
  const nlohmann::json right = parsed("var rightTreeData");
  ASSERT_EQ(right.size(), 1u);
  EXPECT_EQ(right[0][4], items[0][0]);
  EXPECT_EQ(right[0][2], 1.0);
}

TEST(ModelReport, TestReportOfOtherDataWarnsAndShowsModels) {
  tracer().initialize();
  pt_test::TraceBuilder trace(tracer());
  trace.identifiers({{"modelStr", "m"}}).start("Compile", 0.0).end("Compile", 1.0);
  std::vector<platform::HostWarning> warnings;
  const auto previous = platform::setWarningSink([&](const platform::HostWarning& w) { warnings.push_back(w); });
  const std::string text = page(trace, PT_REPORT_TEST, {"htmlfile", "r.html"});
  platform::setWarningSink(previous);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].identifier, "performance_tracer:PerformanceTracer:NoCLTestInfo");
  EXPECT_EQ(warnings[0].arguments, std::vector<std::string>{"'htmlfile', 'r.html', 'format', 'modelBased'"});
  EXPECT_NE(text.find("var reportType = 0;"), std::string::npos);
  // The suggested arguments follow the report type.
  const std::vector<std::string> withFormat{"htmlfile", "r.html", "format", "test", "x"};
  EXPECT_EQ(transformInput(withFormat, PT_REPORT_MODEL), "'htmlfile', 'r.html', 'format', 'test', 'x'");
  EXPECT_EQ(transformInput(withFormat, PT_REPORT_TEST), "'htmlfile', 'r.html', 'x'");
  EXPECT_EQ(transformInput({"htmlfile", "r.html"}, PT_REPORT_CODEGEN), "'htmlfile', 'r.html'");
  EXPECT_EQ(generateMapStr(tracer(), std::string("noSuchIdentifier")), "noSuchIdentifier= []\n");

  pt_test::TraceBuilder unpaired(tracer());
  unpaired.start("Open", 0.0);
  EXPECT_NE(page(unpaired, PT_REPORT_MODEL).find("An error has been detected"), std::string::npos);
  EXPECT_FALSE(generateReport_modelBased(tracer(), "/nonexistent-folder/m.html", "GLOBAL", "time", {}, &trace.points(),
                                         PT_REPORT_MODEL, false));
}

TEST(ModelReport, FlameGraphOnlyWhenAFrameHasACount) {
  tracer().initialize();
  for (const double seconds : {0.004, 0.5}) {
    pt_test::TraceBuilder trace(tracer());
    trace.identifiers({{"modelStr", "m"}}).start("Compile", 0.0).end("Compile", seconds);
    testing::internal::CaptureStderr();
    const std::string text = page(trace, PT_REPORT_MODEL, {}, true);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << seconds;
    EXPECT_EQ(text.find("id=\"svg-content\"") != std::string::npos, seconds > 0.01) << seconds;
    EXPECT_EQ(text.find("Click on the flame graph or") != std::string::npos, seconds > 0.01) << seconds;
  }
}

/// The node at `at` of "name:phase(children)", phases as numbers, e.g. "r:0(a:1,b:2(c:3))".
PTprocessedDataNode::Ptr parse(const std::string& text, std::size_t& at, const PTprocessedDataNode::Ptr& parent) {
  const std::size_t colon = text.find(':', at);
  std::size_t digits = 0;
  const std::int32_t phase = std::stoi(text.substr(colon + 1), &digits);
  auto node = std::make_shared<PTprocessedDataNode>(text.substr(at, colon - at), phase);
  at = colon + 1 + digits;
  node->parent = parent;
  if (parent) parent->addChild(node);
  if (at < text.size() && text[at] == '(') {
    while (text[at++] != ')') parse(text, at, node);
  }
  return node;
}

PTprocessedDataNode::Ptr tree(const std::string& text) {
  std::size_t at = 0;
  return parse(text, at, nullptr);
}

/// "name/status<counterpart" of the merged subtree, pre-order.
std::string marks(const PTprocessedDataNode& node) {
  std::string out = node.nodeName + "/" + (node.diffStatus ? std::to_string(*node.diffStatus) : "-");
  if (node.counterpart) out.append("<").append(node.counterpart->nodeName);
  for (const auto& child : node.children) out.append(" ").append(marks(*child));
  return out;
}

TEST(ModelDiffReport, MergePairsChildrenByIdentityInRightOrder) {
  struct Case {
    const char* lhs;
    const char* rhs;
    const char* merged;
  };
  const Case cases[] = {
      {"r:0(a:1(b:2),c:3)", "R:0(A:1(B:2),C:3)", "r/0<R a/0<A b/0<B c/0<C"},
      // The first of two LHS runs of a phase is paired, the second is LHS only.
      {"r:0(a:1,x:1)", "R:0(A:1)", "r/0<R a/0<A x/1"},
      // Order follows the RHS, not positions; an RHS-only subtree is copied whole.
      {"r:0(a:1,c:3)", "R:0(C:3,A:1(P:5(Q:6),S:7))", "r/0<R a/0<A P(RHS)/2<P Q(RHS)/2<Q S(RHS)/2<S c/0<C"},
      // Runs of RHS-only children keep their order, after the entry before them.
      {"r:0(a:1,b:2)", "R:0(A:1,X:8,Y:9,B:2,Z:7)", "r/0<R a/0<A X(RHS)/2<X Y(RHS)/2<Y b/0<B Z(RHS)/2<Z"},
      {"r:0(a:1)", "R:0(X:8,A:1)", "r/0<R a/0<A X(RHS)/2<X"},
  };
  for (const Case& c : cases) {
    const auto left = tree(c.lhs);
    EXPECT_EQ(marks(*mergeTrees(left, tree(c.rhs))), c.merged) << c.lhs << " vs " << c.rhs;
  }
  const auto alone = tree("r:0");
  EXPECT_EQ(mergeTrees(alone, nullptr), alone);
  EXPECT_EQ(mergeTrees(nullptr, alone), alone);
}

TEST(ModelDiffReport, PageShowsBothSidesAndRefusesDifferentKindsOfData) {
  tracer().initialize();
  pt_test::TraceBuilder lhs(tracer());
  lhs.identifiers({{"modelStr", "m"}, {"targetStr", "grt"}}).start("Pre_Compile", 0.0).start("Load", 0.0);
  lhs.end("Load", 1.0).end("Pre_Compile", 1.0);
  pt_test::TraceBuilder rhs(tracer());
  rhs.identifiers({{"modelStr", "m"}, {"targetStr", "grt"}}).start("Pre_Compile", 0.0).start("Load", 0.0);
  rhs.end("Load", 1.5).start("Extra", 1.5).end("Extra", 2.0).end("Pre_Compile", 2.0);
  rhs.identifiers({{"modelStr", "new"}}).start("Pre_Compile", 2.0).end("Pre_Compile", 2.5);
  pt_test::ScratchFolder folder;
  const std::string file = folder.file("diff.html");
  ASSERT_TRUE(generateDiffReport_modelBased(tracer(), file, "GLOBAL", "<b>before</b> %COMPARE_UNIT%", "after",
                                            &lhs.points(), &rhs.points(), "time", false));
  const std::string text = pt_test::fileBytes(file);
  // A label is text, markers in it included.
  EXPECT_NE(text.find("var lhsLabel = \"\\x3Cb\\x3Ebefore\\x3C/b\\x3E %COMPARE_UNIT%\";"), std::string::npos);
  // A model only in the RHS is offered on the left, marked.
  const std::string added = std::to_string(tracer().getNumberForString("modelStr", "new"));
  const std::vector<std::string> left = arrayLines(text, "var leftTreeData");
  ASSERT_EQ(left.size(), 11u);
  EXPECT_NE(left[6].find("[\"topModelNode" + added + "(RHS)\","), std::string::npos) << left[6];
  EXPECT_NE(left[6].find(",-1.00,0.50,\"root\",null,null,1,2],"), std::string::npos) << left[6];
  EXPECT_NE(left[7].find("[\"mainModelCompilation" + added + "(RHS)\","), std::string::npos) << left[7];
  const std::vector<std::string> right = arrayLines(text, "var rightTreeData");
  ASSERT_EQ(right.size(), 4u);
  EXPECT_NE(right[3].find(",-1.00,0.50,\"mainModelCompilation" + added + "(RHS)\","), std::string::npos) << right[3];
  EXPECT_NE(right[0].find(",1.00,2.00,\"mainModelCompilation"), std::string::npos) << right[0];
  EXPECT_NE(right[1].find(",1.00,1.50,\"0\","), std::string::npos) << right[1];
  EXPECT_NE(right[1].find(",0,\"1\"],"), std::string::npos) << right[1];
  // Only in the RHS: no LHS time of its own, the RHS node's time beside it.
  EXPECT_NE(right[2].find("[\"2(RHS)\","), std::string::npos) << right[2];
  EXPECT_NE(right[2].find(",-1.00,0.50,\"0\","), std::string::npos) << right[2];
  EXPECT_NE(right[2].find(",2,\"2\"]"), std::string::npos) << right[2];

  pt_test::TraceBuilder tests(tracer());
  tests.grouping("CLTestManager").start("Run", 0.0).end("Run", 1.0);
  const platform::HostError error = pt_test::raised([&] {
    generateDiffReport_modelBased(tracer(), file, "GLOBAL", "a", "b", &tests.points(), &lhs.points(), "time", false);
  });
  EXPECT_EQ(error.key(), "CompareFailed");
  EXPECT_EQ(error.arguments(), (std::vector<std::string>{"Calvoran Test data", "Calvoran data"}));
}

}  // namespace
