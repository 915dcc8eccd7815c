#include "report/model/flame_graph.h"

#include "analysis/processed_data.h"
#include "platform/child_process.h"
#include "platform/environment.h"
#include "support/failing_file_calls.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Ptr = PTprocessedDataNode::Ptr;

struct Tree {
  PTNodeMap nodes;
  Ptr root = add("root", nullptr, 0, -1.0);

  Ptr add(const std::string& name, const Ptr& parent, std::int32_t phase, double time, double memory = 0.0) {
    auto node = std::make_shared<PTprocessedDataNode>(name, phase);
    node->timeValue = time;
    node->memoryValue = memory;
    if (parent) {
      node->parent = parent;
      parent->addChild(node);
    }
    nodes[name] = node;
    return node;
  }
  Ptr top(const std::string& name, double time, std::int32_t mark = 1) {
    auto node = add(name, root, 100 + static_cast<std::int32_t>(nodes.size()), time);
    node->identifiers["leftTree"] = mark;
    return node;
  }
  /// The stack lines; written straight to a file, they must come out the same.
  std::vector<std::string> lines(PTReportType type = PT_REPORT_MODEL, bool isTime = true) {
    const Ptr aggregate = buildAggregateTree(nodes);
    updateAggregateTree(aggregate);
    std::vector<std::string> lines = generateStackTraces(aggregate, type, isTime);
    pt_test::ScratchFolder folder;
    const PTStackFile file = writeStackTracesToFile(folder.file("stacks.txt"), aggregate, type, isTime);
    std::string text;
    bool anyCount = false;
    for (const std::string& line : lines) {
      text += line + "\n";
      anyCount |= !line.ends_with(isDiffReportType(type) ? " 0 0" : " 0");
    }
    EXPECT_TRUE(file.written);
    EXPECT_EQ(file.lines, lines.size());
    EXPECT_EQ(file.anyCount, anyCount);
    EXPECT_EQ(pt_test::fileBytes(folder.file("stacks.txt")), text);
    return lines;
  }
};

using Lines = std::vector<std::string>;

TEST(AggregateTree, StackLinesCountSelfValues) {
  {  // a phase three times under one parent is one frame with the sum
    Tree t;
    const Ptr top = t.top("top", 3.0);
    t.add("a1", top, 7, 1.0);
    t.add("a2", top, 7, 1.0);
    t.add("a3", top, 7, 0.234);
    t.add("b", top, 8, 0.5)->identifiers["targetStr"] = 1;
    t.add("b2", top, 8, 0.25)->identifiers["targetStr"] = 2;  // another target: another frame
    EXPECT_EQ(t.lines(), (Lines{"top 2", "top;a1 223", "top;b 50", "top;b2 25"}));
  }
  {  // clock skew clamps to 0; 1.234 s of self time counts 123
    Tree t;
    const Ptr top = t.top("top", 1.0);
    t.add("x", top, 1, 0.7);
    t.add("y", top, 2, 1.534)->identifiers["harnessModel"] = 1;
    t.add("z", t.nodes["y"], 3, 0.3);
    EXPECT_EQ(t.lines(), (Lines{"top 0", "top;x 70", "top;y 123", "top;y;z 30"}));
  }
  {  // memory counts truncate; unmarked children of the root draw nothing
    Tree t;
    t.top("mem", -1.0)->memoryValue = 12.9;
    t.top("off", 1.0, 0);
    t.add("plain", t.root, 3, 1.0);
    t.add("below", t.nodes["plain"], 4, 1.0);
    EXPECT_EQ(t.lines(PT_REPORT_MODEL, false), (Lines{"mem 12"}));
  }
  {  // a difference line carries the counterpart's count, or 0
    Tree t;
    Tree rhs;
    const Ptr top = t.top("top", 2.0);
    top->counterpart = rhs.add("rhsTop", nullptr, 0, 3.0);
    const Ptr both = t.add("both", top, 5, 1.0);
    both->counterpart = rhs.add("rhsBoth", nullptr, 5, 2.5);
    t.add("lhs;only", top, 6, 0.5);
    EXPECT_EQ(t.lines(PT_REPORT_MODEL_DIFF), (Lines{"top 50 50", "top;both 100 250", "top;lhs:only 50 0"}));
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(buildAggregateTree(PTNodeMap{}), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Root node is not found in the node map.\n");
}

TEST(AggregateTree, DeepRecordingsNeedNoDeepStack) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.initialize();
  pt_test::TraceBuilder trace(tracer);
  constexpr int kDepth = 100000;
  trace.identifiers({{"modelStr", "deep"}});
  for (int i = 0; i < kDepth; ++i) trace.start("P", 0.0);
  for (int i = 0; i < kDepth; ++i) trace.end("P", 1.0);
  const PTProcessedDataStruct summary = tracer.generateProcessedData(&trace.points(), std::string("GLOBAL"), false);
  ASSERT_EQ(summary.diagnosticInfos.size(), static_cast<std::size_t>(kDepth));
  PTNodeMap nodes;
  const PTNodeVector result = constructNodes(tracer, summary.diagnosticInfos, PT_REPORT_MODEL, nodes);
  EXPECT_EQ(result.front()->timeValue, 1.0);
  std::size_t nodeTexts = 0;  // the tree's text is its nodes' texts
  for (const auto& [key, node] : nodes) nodeTexts += node->generateJSONStrDetailed_node(PT_REPORT_MODEL, "time").size();
  EXPECT_EQ(result.front()->generateJSONStrDetailed_tree(PT_REPORT_MODEL, "time").size(), nodeTexts);
  const Ptr aggregate = buildAggregateTree(nodes);
  updateAggregateTree(aggregate);
  const Lines lines = generateStackTraces(aggregate, PT_REPORT_MODEL, true);
  // The model, its four sections, and phases down to the depth limit, whose
  // frame holds everything below it.
  ASSERT_EQ(lines.size(), kMaxFlameGraphDepth + 3);
  const std::string& deepest = lines[kMaxFlameGraphDepth - 1];
  EXPECT_EQ(std::count(deepest.begin(), deepest.end(), ';'), kMaxFlameGraphDepth - 1);
  EXPECT_TRUE(deepest.ends_with(" 100")) << deepest.substr(deepest.size() - 20);
}

namespace pt = boost::property_tree;

struct Frame {
  std::string title;
  double width;
  std::string fill;
};

/// The frames of the script's own output, read as XML, by their names (the
/// titles before their counts).
std::map<std::string, Frame> framesOf(const std::string& svg) {
  std::istringstream in(svg);
  pt::ptree doc;
  pt::read_xml(in, doc);
  std::map<std::string, Frame> frames;
  for (const auto& [tag, g] : doc.get_child("svg")) {
    if (tag != "g") continue;
    EXPECT_EQ(g.get<std::string>("<xmlattr>.class"), "func_g");
    const std::string title = g.get<std::string>("title");
    frames[title.substr(0, title.find(" ("))] = {title, g.get<double>("rect.<xmlattr>.width"),
                                                 g.get<std::string>("rect.<xmlattr>.fill")};
  }
  return frames;
}

std::string draw(const pt_test::ScratchFolder& folder, const Lines& lines,
                 std::vector<std::string> options = {"--width", "1600"}) {
  EXPECT_TRUE(writeStackTracesToFile(folder.file("stacks.txt"), lines));
  std::vector<std::string> argv{"perl", flameGraphScriptPath(), folder.file("stacks.txt")};
  argv.insert(argv.end(), options.begin(), options.end());
  const platform::ProcessResult run = platform::runProcess(argv, folder.file("flamegraph.svg"), "");
  EXPECT_TRUE(run.ok()) << run.describe();
  return pt_test::fileBytes(folder.file("flamegraph.svg"));
}

TEST(FlameGraphScript, FramesAreAsWideAsTheirCounts) {
  ASSERT_TRUE(checkFlameGraphPLExists()) << flameGraphScriptPath();
  pt_test::ScratchFolder folder;
  const std::string hostile = "<a href=\"x\">&amp'\x01\xff";
  const std::string svg = draw(folder,
                               {"main 10", "main;load 30", "main;run 40", "main;run;step 20",
                                "main;" + hostile + " 5\r", "main;load 15", "other 1", "main;half\xed\xa0\x80 1"},
                               {"--width", "1600", "--title", "T<>"});
  std::map<std::string, Frame> frames = framesOf(svg);
  const std::map<std::string, double> counts{{"all", 122},
                                             {"main", 121},
                                             {"load", 45},
                                             {"run", 60},
                                             {"step", 20},
                                             {"other", 1},
                                             {"<a href=\"x\">&amp'?\u00ff", 5},
                                             {"half?", 1}};  // a lone surrogate cannot be written as UTF-8
  ASSERT_EQ(frames.size(), counts.size()) << svg;
  for (const auto& [name, count] : counts) EXPECT_NEAR(frames[name].width, count * 1580.0 / 122, 0.01) << name;
  EXPECT_NE(svg.find("<title>all (122 samples, 100.00%)</title>"), std::string::npos);
  EXPECT_NE(svg.find(">T&#60;&#62;</text>"), std::string::npos);

  // Two counts: as wide as the second, red where it grew, blue where it shrank.
  frames = framesOf(draw(folder, {"a 10 30", "a;b 20 10", "c 5 5"}, {}));
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames["a"].fill, "rgb(255,0,0)");  // 30 -> 40 with its child
  EXPECT_EQ(frames["b"].fill, "rgb(0,0,255)");  // 20 -> 10
  EXPECT_EQ(frames["c"].fill, "rgb(250,250,250)");
  EXPECT_NE(frames["a"].title.find("; +10)"), std::string::npos) << frames["a"].title;
  EXPECT_NEAR(frames["a"].width / frames["c"].width, 8.0, 0.01);

  // Not every line has two counts: a number ending a stack is its last
  // frame's, each line keeping its own count.
  frames = framesOf(draw(folder, {"f 1 5", "f 2 7", "g 3"}));
  const std::map<std::string, double> mixed{{"all", 15}, {"f 1", 5}, {"f 2", 7}, {"g", 3}};
  ASSERT_EQ(frames.size(), mixed.size());
  for (const auto& [name, count] : mixed) EXPECT_NEAR(frames[name].width, count * 1580.0 / 15, 0.01) << name;
}

TEST(FlameGraphScript, LinesOfTheLibrarysFormDrawAsAnyOther) {
  // One space before plain counts is the library's form, which the script
  // reads by a shorter road; with two blanks the same stacks take the long
  // one. Both must draw the same, whatever the order of the stacks.
  pt_test::ScratchFolder folder;
  const struct {
    Lines lines;
    std::map<std::string, double> counts;  // none: names repeat
  } cases[] = {
      {{"a 1", "a;b 2", "a;b;c 3", "a;d 4", "e 5"}, {{"all", 15}, {"a", 10}, {"b", 5}, {"c", 3}, {"d", 4}, {"e", 5}}},
      {{"a;b;c 3", "x;y 2", "a;b 1", "a 4", "x;y;z 2", "a;q 1"},
       {{"all", 13}, {"a", 9}, {"b", 4}, {"c", 3}, {"q", 1}, {"x", 4}, {"y", 4}, {"z", 2}}},
      {{"a;b 2", "a;b 3", "c 1", "a;b;d 1", "c 4", "a;b 1"}, {{"all", 12}, {"a", 7}, {"b", 7}, {"d", 1}, {"c", 5}}},
      {{";a 1", "a 2", "; 3", ";;b 4", "a; 5", "a;;b 6", "a;b 1"}, {}},
      {{"a 1 2", "a;b 3 1", "c 0 5", "a;b 2 2", "c;d 4 0"}, {{"all", 10}, {"a", 5}, {"b", 3}, {"c", 5}}},
  };
  for (const auto& c : cases) {
    Lines spaced;
    for (const std::string& line : c.lines)
      spaced.push_back(line.substr(0, line.find(' ')) + " " + line.substr(line.find(' ')));
    const std::string svg = draw(folder, c.lines);
    EXPECT_EQ(svg, draw(folder, spaced)) << c.lines.front();
    if (c.counts.empty()) continue;
    std::map<std::string, Frame> frames = framesOf(svg);
    EXPECT_EQ(frames.size(), c.counts.size()) << c.lines.front();
    for (const auto& [name, count] : c.counts)
      EXPECT_NEAR(frames[name].width, count * 1580.0 / c.counts.at("all"), 0.01) << c.lines.front() << ' ' << name;
  }

  // Long input is read in blocks; one line of another form near the end
  // sends the whole of it the long way, counted once.
  Lines many;
  for (int i = 0; i < 40000; ++i) many.emplace_back(1, 's').append(std::to_string(i)).append(" 1");
  many.push_back("x  5");
  const std::map<std::string, Frame> frames = framesOf(draw(folder, many));
  ASSERT_EQ(frames.size(), 2u);  // the others are too narrow to draw
  EXPECT_EQ(frames.at("all").title, "all (40,005 samples, 100.00%)");
  EXPECT_NEAR(frames.at("x").width, 5 * 1580.0 / 40005, 0.01);
}

TEST(FlameGraphScript, PageGetsFramesAndStaticPartsOfTheDrawing) {
  pt_test::ScratchFolder folder;
  draw(folder, {"main;load 30", "main;run 40", "solo 1"});
  const std::string path = folder.file("flamegraph.svg");
  replaceInFile(path);
  const std::string svg = readFileAsString(path);
  EXPECT_TRUE(extractSVGLine(path).starts_with("<svg ")) << svg;
  EXPECT_NE(extractSVGLine(path).find("width=\"1600\""), std::string::npos);
  const std::string fixed = getTextContent(svg);
  EXPECT_NE(fixed.find("id=\"details\""), std::string::npos);
  EXPECT_NE(fixed.find(">Reset Zoom</text>"), std::string::npos);
  EXPECT_EQ(fixed.find("unzoom()"), std::string::npos);
  EXPECT_EQ(fixed.find("search_prompt()"), std::string::npos);
  const std::string frames = getGContent(svg);
  EXPECT_TRUE(frames.starts_with("<g>\n<id>")) << frames.substr(0, 40);
  EXPECT_TRUE(frames.ends_with("</g>"));
  std::size_t groups = 0;
  for (std::size_t at = frames.find("<g>"); at != std::string::npos; at = frames.find("<g>", at + 1)) ++groups;
  EXPECT_EQ(groups, 5u);
  EXPECT_EQ(frames.find("<title>"), std::string::npos);

  testing::internal::CaptureStderr();
  EXPECT_EQ(getTextContent("<svg>"), "");
  EXPECT_EQ(getGContent("<svg><g>"), "");
  EXPECT_EQ(extractSVGLine(folder.file("missing.svg")), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "End script tag not found\nEnd </g> tag not found\nUnable to open file for reading: " +
                folder.file("missing.svg") + "\n");

  // Files that cannot be written are failures, named, and a drawing that
  // cannot be rewritten stays as it was; a disk taking a few bytes at a time
  // is no failure.
  using Fail = pt_test::FailingCalls::Fail;
  const std::string reading = "Unable to open file for reading: " + path + "\n";
  const std::string writing = "Unable to open file for writing: " + path + "\n";
  const struct {
    Fail fail;
    bool stacksWritten;
    std::string message;
  } cases[] = {
      {Fail::kOpen, false, reading},
      {Fail::kWrite, false, writing},
      {Fail::kRename, true, writing},
      {Fail::kShortWrites, true, ""},
  };
  for (const auto& c : cases) {
    pt_test::FailingCalls calls(c.fail);
    std::filesystem::remove(folder.file("stacks.txt"));
    EXPECT_EQ(writeStackTracesToFile(folder.file("stacks.txt"), {"a;b 1", "a;c\r 2"}, calls), c.stacksWritten);
    EXPECT_EQ(pt_test::fileBytes(folder.file("stacks.txt")), c.stacksWritten ? "a;b 1\na;c 2\n" : "");
    testing::internal::CaptureStderr();
    replaceInFile(path, calls);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(readFileAsString(path), svg);  // kept whole, or rewritten to the same
  }
}

/// Points the temporary folder somewhere else for one test.
struct TemporaryFolder {
  explicit TemporaryFolder(const std::string& temp) { ::setenv("TMPDIR", temp.c_str(), 1); }
  ~TemporaryFolder() { ::unsetenv("TMPDIR"); }
};

TEST(FlameGraph, RunsWithoutAShellInAPrivateFolder) {
  const std::string script = pt_test::fileBytes(flameGraphScriptPath());
  pt_test::ScratchFolder folder;
  const std::filesystem::path root = folder.path() / "it's a \"root\" $(touch pwned)";
  const std::filesystem::path temp = folder.path() / "temp";
  std::filesystem::create_directories(temp);
  const platform::EnvironmentOverride installation("PT_INSTALL_ROOT", root.string());
  const TemporaryFolder temporary(temp.string());
  Tree t;
  t.add("s", t.top("top", 2.0), 3, 0.5);

  EXPECT_FALSE(makeFlameGraph(t.nodes, PT_REPORT_MODEL, "time"));  // no script: no graph, silently
  std::filesystem::create_directories(std::filesystem::path(flameGraphScriptPath()).parent_path());
  pt_test::writeFileBytes(flameGraphScriptPath(), script);
  const auto graph = makeFlameGraph(t.nodes, PT_REPORT_MODEL, "time");
  ASSERT_TRUE(graph);
  EXPECT_NE(graph->frames.find("<id>s (50 samples"), std::string::npos) << graph->frames;
  EXPECT_TRUE(graph->svgLine.starts_with("<svg"));

  pt_test::writeFileBytes(flameGraphScriptPath(), "print STDERR \"broken on purpose\\n\"; exit 3;\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(makeFlameGraph(t.nodes, PT_REPORT_MODEL, "time"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Flame graph not drawn: perl " + flameGraphScriptPath() + " exited with status 3: broken on purpose\n");
  EXPECT_TRUE(std::filesystem::is_empty(temp));  // scratch folders go, whatever happened
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists(root / "pwned"));
}

}  // namespace
