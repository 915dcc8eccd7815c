#include "report/phase/call_tree.h"

#include "analysis/diagnostic_info.h"
#include "analysis/processed_data.h"
#include "analysis/processed_points.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cctype>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Records phases written as "A{B,C} A{B}": braces hold the children; "~"
// pauses long enough for the pairing to insert a gap row.
void record(pt_test::TraceBuilder& trace, const std::string& shape) {
  double now = 0.0;
  std::vector<std::string> open;
  std::string name;
  for (const char c : shape + ' ') {
    if (c == '~') {
      now += 0.5;
    } else if (std::isalpha(static_cast<unsigned char>(c)) != 0) {
      name += c;
    } else {
      // A name before "{" opens a phase; before anything else it is a leaf.
      const int closing = (c != '{' && !name.empty()) + (c == '}');
      if (!name.empty()) {
        trace.start(name, now);
        open.push_back(std::exchange(name, ""));
        now += 0.01;
      }
      for (int i = 0; i < closing; ++i, now += 0.01) {
        trace.end(open.back(), now);
        open.pop_back();
      }
    }
  }
}

struct FoldedTree {
  explicit FoldedTree(const std::string& shape) {
    tracer.initialize();
    record(trace, shape);
    summary = tracer.getProcessedData(&trace.points(), {"GLOBAL"}, false);
    createCallTreeNodes(summary.diagnosticInfos, roots);
    updateChecksums(roots);
    combineCallTrees(roots);
  }

  // "A[0,2]{B[1,3]}": phase of the node's first row, its rows, its children.
  std::string text(const std::vector<CallTreeNodePtr>& nodes) const {
    std::string out;
    for (const CallTreeNodePtr& node : nodes) {
      const auto& row = *summary.diagnosticInfos.at(static_cast<std::size_t>(node->IDs.front()))->processedPoint;
      out.append(out.empty() ? "" : " ").append(tracer.getStringForNumber(EPT_PHASE, row.phase)).append("[");
      for (std::size_t i = 0; i < node->IDs.size(); ++i)
        out.append(i > 0 ? "," : "").append(std::to_string(node->IDs[i]));
      out.append("]");
      if (!node->children.empty()) out.append("{").append(text(node->children)).append("}");
    }
    return out;
  }
  std::string text() const { return text(roots); }

  PerformanceTracer tracer;
  pt_test::TraceBuilder trace{tracer};
  PTProcessedDataStruct summary;
  std::vector<CallTreeNodePtr> roots;
};

TEST(CallTree, ChecksumIsTheWordSumOfTheMd5Digest) {
  // Reference digests from the command line, e.g.
  //   printf '\x01\x00\x00\x00' | openssl dgst -md5  →  4352d88a78aa39750bf70cd6f27bcaa5
  // read as four little-endian words and added modulo 2^32:
  //   0x8ad85243 + 0x7539aa78 + 0xd60cf70b + 0xa5ca7bf2 = 2078896056
  EXPECT_EQ(computeChecksum(0), 937169022);  // f1d3ff8443297732862df21dc4e57262
  EXPECT_EQ(computeChecksum(1), 2078896056);
  EXPECT_EQ(computeChecksum(-1), -208326066);  // a54f0041a9e15b050f25c463f1db7449, sum 4086641230
}

TEST(CallTree, ChildNumbersAreOneLevelBelow) {
  for (const auto& [parent, child, expected] : {std::tuple{"1", "1.2", true},
                                                {"3.10", "3.10.1", true},
                                                {"1", "1.2.1", false},
                                                {"1", "11.2", false},
                                                {"1", "12", false},
                                                {"1.2", "1.2", false},
                                                {"1.1", "1.10", false}}) {
    EXPECT_EQ(isChild(parent, child), expected) << parent << " / " << child;
  }
}

TEST(CallTree, RowsNestAsDeepAsTheTrace) {
  // 100 levels: deeper than the outline labels are written in full.
  std::string shape;
  for (int level = 0; level < 100; ++level) shape += "P{";
  shape += 'Q';
  shape.append(100, '}');
  FoldedTree tree(shape);
  int levels = 0;  // each level one node of its own row
  for (const std::vector<CallTreeNodePtr>* nodes = &tree.roots; !nodes->empty(); nodes = &nodes->front()->children) {
    ASSERT_EQ(nodes->size(), 1u) << "level " << levels;
    EXPECT_EQ(nodes->front()->IDs, std::vector<int>{levels++});
  }
  EXPECT_EQ(levels, 101);
  EXPECT_EQ(tree.summary.diagnosticInfos.size(), 101u);
}

TEST(CallTree, RepeatedSubtreesFoldKeepingEveryRow) {
  struct Case {
    const char* shape;
    const char* folded;
  };
  for (const Case& c : {
           Case{"A{B} A{B} A{B}", "A[0,2,4]{B[1,3,5]}"},
           {"A{B} A{D}", "A[0]{B[1]} A[2]{D[3]}"},
           // Nested repeats fold at every level, and siblings among themselves;
           // only a run of equal siblings counts once in the parent's identity.
           {"R{A{B},A{B},C} R{A{B},C}", "R[0,6]{A[1,3,7]{B[2,4,8]} C[5,9]}"},
           {"R{A{B},C,A{B}} R{A{B},C}", "R[0]{A[1,4]{B[2,5]} C[3]} R[6]{A[7]{B[8]} C[9]}"},
           // So A{B,B} and A{B} fold together in either order, losing no B row.
           {"A{B,B} A{B}", "A[0,3]{B[1,2,4]}"},
           {"A{B} A{B,B}", "A[0,2]{B[1,3,4]}"},
           // The identity sees the order and the nesting of the children.
           {"A{B,C} A{C,B}", "A[0]{B[1] C[2]} A[3]{C[4] B[5]}"},
           {"A{B{C}} A{B,C}", "A[0]{B[1]{C[2]}} A[3]{B[4] C[5]}"},
           {"A{B,C} A{B{C}}", "A[0]{B[1] C[2]} A[3]{B[4]{C[5]}}"},
           // Gap rows add nothing to the identity and are carried over into
           // the node they fold into, wherever they are.
           {"A{~B} A{~B}", "A[0,3]{A_self[1,4] B[2,5]}"},
           {"A{B} A{~B}", "A[0,2]{A_self[3] B[1,4]}"},
           {"A{~B} A{B}", "A[0,3]{A_self[1] B[2,4]}"},
       }) {
    // Each folded text shows every row of its shape exactly once.
    EXPECT_EQ(FoldedTree(c.shape).text(), c.folded) << c.shape;
  }
  EXPECT_TRUE(FoldedTree("A{~B}").roots.at(0)->children.at(0)->isGap);
}

TEST(CallTree, ChildrenUnderAnEqualLeafAreCarriedOver) {
  // B{gap} sums to B's own checksum, so it folds into a childless B.
  auto node = [](int id, std::int32_t checksum, bool isGap, std::vector<CallTreeNodePtr> children) {
    auto made = boost::make_shared<callTreeNode>();
    made->IDs = {id};
    made->checksum = checksum;
    made->isGap = isGap;
    made->children = std::move(children);
    return made;
  };
  const CallTreeNodePtr target = node(0, 10, false, {node(1, 20, false, {})});
  const CallTreeNodePtr source = node(2, 10, false, {node(3, 20, false, {node(4, 30, true, {})})});
  combineChildrenNodes(target, source);
  ASSERT_EQ(target->children.size(), 1u);
  EXPECT_EQ(target->children[0]->IDs, (std::vector<int>{1, 3}));
  ASSERT_EQ(target->children[0]->children.size(), 1u);
  EXPECT_EQ(target->children[0]->children[0]->IDs, std::vector<int>{4});
}

// Rows of `chains` nested chains, each `depth` levels deep; level d is phase
// d % 7 (plus `shift`).
PTDiagnosticInfoVector chainRows(int chains, int depth, int shift = 0) {
  PTDiagnosticInfoVector rows;
  for (int chain = 0; chain < chains; ++chain) {
    for (int level = 0; level < depth; ++level) {
      auto row = std::make_unique<PTKAVLORProcessedDataPoint>();
      row->grouping = 0;
      row->phase = level % 7 + shift;
      row->HTMLRowNumber = static_cast<int>(rows.size()) + 1;
      row->stackDepth = level;
      row->numChildren = level + 1 < depth ? 1 : 0;
      rows.push_back(boost::make_shared<PTDiagnosticInfo>(std::move(row)));
    }
  }
  return rows;
}

TEST(CallTree, DeepTracesFoldAndWriteWithoutRecursion) {
  // Deep enough that one call per level, folding, writing or releasing the
  // tree, would exhaust the stack.
  constexpr int kDepth = 100000;
  PTDiagnosticInfoVector rows = chainRows(2, kDepth);
  std::vector<CallTreeNodePtr> roots;
  createCallTreeNodes(rows, roots);
  updateChecksums(roots);
  combineCallTrees(roots);
  ASSERT_EQ(roots.size(), 1u);
  int levels = 0;
  for (const callTreeNode* node = roots[0].get(); node != nullptr;
       node = node->children.empty() ? nullptr : node->children[0].get()) {
    ASSERT_EQ(node->IDs, (std::vector<int>{levels, kDepth + levels}));
    ASSERT_LE(node->children.size(), 1u);
    ++levels;
  }
  EXPECT_EQ(levels, kDepth);
  roots.clear();

  // A chain that differs only at its deepest level stays apart; the page
  // text grows with the rows, not with their depth.
  PTDiagnosticInfoVector differing = chainRows(1, kDepth);
  differing.back()->processedPoint->phase = 99;
  rows.erase(rows.begin() + kDepth, rows.end());
  for (auto& row : differing) {
    row->processedPoint->HTMLRowNumber += kDepth;
    rows.push_back(row);
  }
  const std::string script = generateCallTreeReportDataJS(rows);
  EXPECT_NE(script.find("linkCallTreeNodes([[0,0],\n[0,1],\n[1,2],"), std::string::npos);
  EXPECT_NE(script.find("\n[100000,100000],\n[100000,100001],"), std::string::npos);
  EXPECT_LT(script.size(), 2u * kDepth * 16 + 2000);
}

TEST(CallTree, NodeTextsAreNumberedDepthFirstUntilAResetAndOnlyTheFullReportCarriesThem) {
  FoldedTree tree("A{B} A{B} C");
  EXPECT_TRUE(tree.roots[0]->getJSArrayStr(true, true).starts_with("createNode(0,0, ["));
  EXPECT_EQ(tree.roots[1]->getJSArrayStr(true, false), "createNode(2,2, [4], \n[])");
  EXPECT_EQ(tree.roots[1]->getJSArrayStr(true, true), "createNode(0,0, [4], \n[])");

  // The browser tests follow the tree of a full page; the aggregate-only page
  // carries neither the tree nor the phase table.
  const pt_test::ScratchFolder folder;
  const std::string path = folder.file("call_tree_report.html");
  auto write = [&](const char* statisticsType, bool aggregateOnly) {
    EXPECT_TRUE(tree.trace.writeReport(path, statisticsType, aggregateOnly));
    return pt_test::fileBytes(path);
  };
  EXPECT_NE(write("time", false).find("linkCallTreeNodes([[0,0,2],"), std::string::npos);
  const std::string aggregateOnly = write("basicmemory", true);
  for (const char* part : {"Call Tree", "<div id=\"callTreeSummaryDiv\"", "var callTreeArray", "linkCallTreeNodes([",
                           "javascript:ShowTable('phaseSummary')", "id=\"phaseSummaryDiv\"", "procData = ["}) {
    EXPECT_EQ(aggregateOnly.find(part), std::string::npos) << part;
  }
  EXPECT_NE(aggregateOnly.find("var aggregateOnly = true;"), std::string::npos);
}

}  // namespace
