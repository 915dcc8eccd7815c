// The ptrace tool run as a user runs it: the demo into a temporary folder,
// then the commands that read its trace, and the bad inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "host/trace_data_file.h"
#include "support/export_trace.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode;
  std::string out, err;
};

// Every test's files, removed after the last test.
const fs::path folder = fs::temp_directory_path() / ("ptrace-test-" + std::to_string(::getpid()));
std::string at(const std::string& name) { return (folder / name).string(); }
using pt_test::fileBytes;

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

// Standard output goes to `out`, read back when it is a file.
ToolRun runPtrace(const std::vector<std::string>& arguments, const std::string& out = at("stdout.txt")) {
  std::string command = quoted(PTRACE_EXE);
  for (const std::string& argument : arguments) command.append(" ").append(quoted(argument));
  command += " >" + quoted(out) + " 2>" + quoted(at("stderr.txt"));
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, fs::is_regular_file(out) ? fileBytes(out) : "",
          fileBytes(at("stderr.txt"))};
}

class Ptrace : public testing::Test {
 protected:
  // One demo run serves every test: it is the slow part.
  // Progress lines go to standard error only when it is a terminal or they
  // are asked for; here it is a file, so it holds nothing but errors.
  static void SetUpTestSuite() {
    ::unsetenv("PTRACE_PROGRESS");
    fs::remove_all(folder);
    fs::create_directories(folder);
    demo_ = runPtrace({"demo", "--out", at("demo")});
  }
  static void TearDownTestSuite() { fs::remove_all(folder); }
  static std::string trace() { return at("demo/demo.kvd"); }
  // A run that must succeed.
  static ToolRun succeeded(const std::vector<std::string>& arguments) {
    ToolRun run = runPtrace(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  }

  static inline ToolRun demo_;
};

// The points `record` made, saved as the trace file `name`.
std::string savedTrace(const std::string& name, const std::function<void(pt_test::TraceBuilder&)>& record) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.clearRawDataVector();
  pt_test::TraceBuilder trace(tracer);
  record(trace);
  tracer.setRawDataVector(trace.points());
  pt::host::saveTraceDataFile(at(name));
  return at(name);
}

// Session { Load, Solve <end of Step inside Solve>, Save <never closed> <end of Session while Save is open> }
std::string unbalancedTrace() {
  return savedTrace("unbalanced.kvd", [](pt_test::TraceBuilder& trace) {
    trace.start("Session", 0.0).start("Load", 0.0).end("Load", 0.05).start("Solve", 0.05).end("Step", 0.06);
    trace.end("Solve", 0.08).start("Save", 0.08).end("Session", 0.1);
  });
}

// A trace of Session { Load, <Check,> Solve } saved to `name`; an empty one without phases.
std::string sessionTrace(const std::string& name, const std::vector<std::string>& phases) {
  return savedTrace(name, [&](pt_test::TraceBuilder& trace) {
    if (phases.empty()) return;
    trace.start("Session", 0.0);
    for (std::size_t i = 0; i < phases.size(); ++i) trace.start(phases[i], i * 0.5).end(phases[i], i * 0.5 + 0.5);
    trace.end("Session", phases.size() * 0.5);
  });
}

TEST_F(Ptrace, DemoWritesATraceThatLoadsAndItsReports) {
  ASSERT_EQ(demo_.exitCode, 0) << demo_.err;
  EXPECT_NE(demo_.out.find("Top phases by self time"), std::string::npos) << demo_.out;
  EXPECT_NE(demo_.out.find("Tests: all passed"), std::string::npos) << demo_.out;
  for (const char* name : {"demo-time.html", "demo-aggregate.html", "demo-detailedmemory.html", "demo-model.html",
                           "demo-tests.html", "demo-model-diff.html"}) {
    EXPECT_NE(fileBytes(at("demo/") + name).find("</html>"), std::string::npos) << name;
  }
}

TEST_F(Ptrace, ModelReportsOfOneTraceAndOfTwo) {
  const ToolRun run = succeeded({"model", trace(), "--flamegraph", "--out", at("model.html")});
  EXPECT_EQ(run.out, at("model.html") + "\n");
  // A flame graph only when some phase took a hundredth of a second: not
  // asked of a demo run here.
  EXPECT_NE(fileBytes(at("model.html")).find("[\"topModelNode"), std::string::npos);

  succeeded({"model", "--diff", trace(), at("demo/demo-slower.kvd"), "--out", at("model-diff.html")});
  EXPECT_NE(fileBytes(at("model-diff.html")).find("var reportType = 5;"), std::string::npos);
}

// The demo's session holds four models, each with eight phases and two
// tests: 2 + 4 * 2 * (8 + 2) points.
TEST_F(Ptrace, InfoNamesGroupingsModelsAndMachine) {
  const ToolRun info = succeeded({"info", trace()});
  EXPECT_EQ(info.err, "");
  for (const char* text : {"Points: 82", "Calvoran Load (24 points)", "CLTestManager", "TGXCG", "CLbuild",
                           "cruise_control", "Targets: TGX", "Processor:"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
}

TEST_F(Ptrace, ChromeExportHasOnePhaseEventPerPairedPhase) {
  const ToolRun run = succeeded({"export", trace(), "--chrome", "-o", at("trace.json")});
  EXPECT_EQ(run.err, "");  // progress goes to a terminal only
  const nlohmann::json document = nlohmann::json::parse(fileBytes(at("trace.json")));
  int phases = 0;
  int tests = 0;
  for (const auto& event : document.at("traceEvents")) {
    if (event.at("ph") == "E" || event.at("ph") == "M") continue;
    ++phases;
    if (event.at("name") == "Run Test") {
      ++tests;
      EXPECT_EQ(event.at("cat"), "CLTestManager");
      // The test path registered for the run's user text, split into its parts.
      const auto& args = event.at("args");
      EXPECT_EQ(args.value("TestFile", ""), args.value("model", "?") + "_tests.m") << event.dump();
      EXPECT_NE(args.value("TestCase", ""), "") << event.dump();
    }
  }
  EXPECT_EQ(phases, 41);  // every one of the demo's 82 points pairs
  EXPECT_EQ(tests, 8);
}

TEST_F(Ptrace, BadInputGivesOneLineOnStandardErrorAndFailure) {
  std::ofstream(at("notes.kvd")) << "just some notes\n";
  const std::string whole = fileBytes(trace()), link = at("link.kvd"), slower = at("demo/demo-slower.kvd");
  fs::create_symlink(trace(), link);
  fs::create_symlink("loop.kvd", at("loop.kvd"));
  fs::create_directories(at("proj.kvd.d"));
  fs::copy_file(trace(), at("proj.kvd.d/trace.bin"));
  const std::string before = sessionTrace("before.kvd", {"Load", "Solve"});
  const std::string empty = sessionTrace("empty.kvd", {});
  const std::string unbalanced = unbalancedTrace();

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", at("missing.kvd")}, "no such file"},
      {{"info", at("missing\x1b]0;owned\x07.kvd")}, "missing\\x1b]0;owned\\x07.kvd"},
      {{"info", at("notes.kvd")}, "damaged or is not a trace data file"},
      {{"info", at("loop.kvd")}, "Too many levels of symbolic links"},
      {{"report", trace(), "--grouping", "No Such Grouping"}, "unknown grouping"},
      {{"report", trace(), "-o", trace()}, "is the trace"},
      {{"report", link, "-o", trace()}, "is the trace"},
      {{"export", trace(), "--chrome", "-o", link}, "is the trace"},
      {{"export", trace(), "--chrome", "-o", at("no/such.json")}, "cannot write '" + at("no/such.json") + "': "},
      {{"report", at("proj.kvd.d/trace.bin")}, "extension '.kvd'"},
      {{"model", "--diff", trace()}, "--diff needs two trace files"},
      {{"model", trace(), slower}, "one trace file, or --diff with two"},
      {{"model", "--diff", trace(), at("none.kvd")}, "no such file"},
      {{"model", "--diff", trace(), slower, "--metric", "detailedmemory"}, "compares"},
      {{"diff", empty, before}, "the LHS trace: There is no raw tracer data to compare from '" + empty + "'"},
      {{"diff", before, empty}, "the RHS trace: There is no raw tracer data to compare from '" + empty + "'"},
      {{"diff", before, unbalanced}, "the phases of the RHS trace '" + unbalanced},
      {{"diff", before, trace(), "--grouping", "G"}, "the RHS trace '" + trace() + "': unknown grouping 'G'"},
      {{"diff", before, before, "-o", before}, "is the trace"},
      {{"diff", before, at("missing.kvd")}, "no such file"},
  };
  for (const auto& [arguments, expected] : cases) {
    const ToolRun run = runPtrace(arguments);
    EXPECT_EQ(run.exitCode, 1) << arguments[1];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("ptrace: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << arguments[1];
  }
  EXPECT_EQ(fileBytes(trace()), whole);  // neither overwritten nor replaced
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(at("proj-time.html")));

  // Output that cannot be written is a failure too.
  const ToolRun full = runPtrace({"export", trace(), "--folded"}, "/dev/full");
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
}

// The default report name drops the trace's own ".kvd" extension, and the
// report lands beside the trace.
TEST_F(Ptrace, DefaultReportNameIsBesideTheTrace) {
  fs::create_directories(at("runs.kvd.d"));
  fs::copy_file(trace(), at("runs.kvd.d/run.kvd"));
  const ToolRun run = succeeded({"report", at("runs.kvd.d/run.kvd")});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, at("runs.kvd.d/run-time.html") + "\n");
  EXPECT_TRUE(fs::exists(at("runs.kvd.d/run-time.html")));

  succeeded({"report", trace(), "-o", at("tests.html"), "--grouping", "CLTestManager", "--metric", "basicmemory"});
  EXPECT_NE(fileBytes(at("tests.html")).find("Run Test"), std::string::npos);
}

// Names are the recording's: a terminal escape in one is shown, not obeyed.
TEST_F(Ptrace, InfoShowsControlCharactersInNamesAsText) {
  const std::string path = savedTrace("escapes.kvd", [](pt_test::TraceBuilder& trace) {
    const std::string phase = "Load\x1b]0;owned\x07";
    trace.grouping("G\x9b\x32J").start(phase, 0.0).end(phase, 0.1);  // \x32 is the '2' of "2J"
  });
  const ToolRun run = succeeded({"info", path});
  EXPECT_NE(run.out.find("Load\\x1b]0;owned\\x07"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("G\\x9b2J"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << run.out;
}

TEST_F(Ptrace, UnbalancedTraceStillShowsWhatItHolds) {
  const std::string trace = unbalancedTrace();
  const ToolRun info = succeeded({"info", trace});
  for (const char* text : {"Paired phases: 2\n", "Error rows: 3 ", "start of 'Session' is never closed",
                           "end of 'Step' while 'Solve' is open", "end of 'Session' while 'Save' is open"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }

  const ToolRun exported = succeeded({"export", trace, "--chrome"});
  const nlohmann::json document = nlohmann::json::parse(exported.out);
  std::vector<std::string> events;
  for (const auto& event : document.at("traceEvents")) {
    if (event.at("ph") == "M" || event.at("ph") == "E") continue;
    std::string line = event.at("ph").get<std::string>() + " " + event.at("name").get<std::string>();
    if (event.at("ph") == "i") line.append(" ").append(event.at("args").at("reason").get<std::string>());
    events.push_back(line);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"B Load", "B Solve", "i Session start of 'Session' is never closed",
                                              "i Step end of 'Step' while 'Solve' is open",
                                              "i Save start of 'Save' is never closed",
                                              "i Session end of 'Session' while 'Save' is open"}));

  const ToolRun report = succeeded({"report", trace, "-o", at("unbalanced-time.html")});
  const std::string diagnostic = at("unbalanced-time-diagnostic.html");
  EXPECT_NE(report.out.find(diagnostic + ": diagnostic report"), std::string::npos) << report.out;
  EXPECT_NE(fileBytes(at("unbalanced-time.html")).find("href=\"unbalanced-time-diagnostic.html\""), std::string::npos);
  const std::string rows = fileBytes(diagnostic);
  const std::regex red("#FF1A00");
  // Session's start and (mapped to Save) end, Solve's start and end with Step's end, Save's start.
  EXPECT_EQ(std::distance(std::sregex_iterator(rows.begin(), rows.end(), red), {}), 6);

  const ToolRun diag = succeeded({"diag", trace});
  EXPECT_EQ(diag.out, at("unbalanced-diagnostic.html") + "\n");
  EXPECT_EQ(fileBytes(at("unbalanced-diagnostic.html")), rows);
}

// Self nanoseconds per "tid|stack of names" as a viewer reads begin and end events:
// per thread in time order, ends first at one time, a stack of open phases.
std::map<std::string, long long> selfByStack(const nlohmann::json& events) {
  struct Edge {
    long long at;
    bool isEnd;
    int tid;
    std::string name;
  };
  std::vector<Edge> edges;
  for (const auto& event : events) {
    const std::string ph = event.at("ph");
    if (ph != "B" && ph != "E") continue;
    edges.push_back({std::llround(event.at("ts").get<double>() * 1e3), ph == "E", event.at("tid"), event.at("name")});
  }
  std::stable_sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) {
    return std::tie(a.tid, a.at, b.isEnd) < std::tie(b.tid, b.at, a.isEnd);
  });
  struct Open {
    std::string stack;
    long long start, children;
  };
  std::vector<Open> open;
  std::map<std::string, long long> self;
  for (const Edge& edge : edges) {
    if (!edge.isEnd) {
      open.push_back({open.empty() ? edge.name : open.back().stack + ";" + edge.name, edge.at, 0});
      continue;
    }
    const Open phase = open.back();
    open.pop_back();
    self[std::to_string(edge.tid) + "|" + phase.stack] += edge.at - phase.start - phase.children;
    if (!open.empty()) open.back().children += edge.at - phase.start;
  }
  return self;
}

// The exports of a trace with nested, crossing, hostile and 4 µs phases on two
// threads: the same self time to the nanosecond in both, names repaired and
// escaped, and whatever does not pair said.
TEST_F(Ptrace, ExportsOfAFixedTraceAgreeAndKeepNamesApart) {
  pt_test::ExportTrace fixture;
  const std::string path =
      savedTrace("fixed.kvd", [&](pt_test::TraceBuilder& trace) { fixture = pt_test::recordExportTrace(trace); });
  const ToolRun chrome = runPtrace({"export", path, "--chrome"});
  const ToolRun folded = runPtrace({"export", path, "--folded"});
  for (const ToolRun* run : {&chrome, &folded}) {
    ASSERT_EQ(run->exitCode, 0) << run->err;
    EXPECT_EQ(std::count(run->err.begin(), run->err.end(), '\n'), 2) << run->err;
    EXPECT_NE(run->err.find("warning: 1 name(s) were not valid UTF-8"), std::string::npos) << run->err;
    EXPECT_NE(run->err.find("warning: 2 point(s) do not pair"), std::string::npos) << run->err;
    EXPECT_NE(run->err.find("'Cross A'"), std::string::npos) << run->err;
  }

  // Both exports against the trace's own figures, and against each other.
  std::map<std::string, std::pair<double, int>> expected;  // self ns and ends rounded, per tid and stack
  std::map<std::string, std::set<std::string>> foldedOf;   // "(unnamed)" is two names in folded stacks
  for (std::size_t i = 0; i < fixture.phases.size(); ++i) {
    auto& [nanoseconds, ends] =
        expected[(fixture.phases[i].thread.empty() ? "1|" : "2|") + fixture.stack(i, &pt_test::ExportPhase::text)];
    nanoseconds += fixture.selfSeconds(i) * 1e9;
    ends += fixture.ends(i);
    foldedOf[fixture.stack(i, &pt_test::ExportPhase::text)].insert(fixture.stack(i));
  }
  const nlohmann::json document = nlohmann::json::parse(chrome.out);  // throws on invalid UTF-8
  const nlohmann::json& events = document.at("traceEvents");
  std::map<int, std::string> threads;
  std::map<std::string, std::vector<std::string>> instants;
  std::string processName, groupedCategory;
  for (const auto& event : events) {
    const double ts = event.value("ts", 1.0);
    EXPECT_GT(ts, 0.0) << event.dump();
    EXPECT_NEAR(ts * 1e3, std::round(ts * 1e3), 1e-3) << event.dump();  // whole nanoseconds
    if (event.at("name") == "thread_name") threads[event.at("tid")] = event.at("args").at("name");
    if (event.at("name") == "process_name") processName = event.at("args").at("name");
    if (event.at("name") == "Grouped") groupedCategory = event.at("cat");
    if (event.at("ph") == "i") instants[event.at("name")].push_back(event.at("args").at("reason"));
  }
  EXPECT_EQ(threads, (std::map<int, std::string>{{1, "host thread"}, {2, "thread worker 1"}}));
  EXPECT_EQ(processName.rfind("GLOBAL", 0), 0u) << processName;
  EXPECT_EQ(groupedCategory, "Load%2C Compile");
  EXPECT_EQ(instants,
            (std::map<std::string, std::vector<std::string>>{
                {"Cross A", {"start of 'Cross A' is never closed", "end of 'Cross A' while 'Cross B' is open"}}}));

  std::map<std::string, long long> jsonSelf = selfByStack(events);
  std::map<std::string, long long> foldedSelf;
  std::istringstream lines(folded.out);
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    const std::size_t space = line.rfind(' ');
    foldedSelf[line.substr(0, space)] += std::stoll(line.substr(space + 1));
  }
  for (const auto& [stack, figures] : expected) {
    EXPECT_NEAR(static_cast<double>(jsonSelf[stack]), figures.first, figures.second) << stack;
    long long inFolded = 0;
    for (const std::string& frames : foldedOf[stack.substr(2)]) inFolded += foldedSelf[frames];
    EXPECT_EQ(inFolded, jsonSelf[stack]) << stack;
  }
  EXPECT_EQ(jsonSelf.size(), expected.size());
  EXPECT_EQ(foldedSelf.size(), fixture.phases.size() - 200 + 1);  // the Ticks share one stack

  // The table of info adds up to its total.
  const ToolRun info = succeeded({"info", path});
  std::smatch total;
  ASSERT_TRUE(std::regex_search(info.out, total, std::regex("\\(([0-9.]+) ms in all\\)"))) << info.out;
  const std::regex selfColumn("\n  +(.*?) +(?:[0-9]+ +)?([0-9.-]+)(?: +[0-9.]+)?(?=\n)");
  double sum = 0.0;
  int count = 0;
  const auto tableEnd = info.out.cbegin() + static_cast<long>(info.out.find("\n  Groupings:"));
  for (std::sregex_iterator row(total.suffix().first, tableEnd + 1, selfColumn), end; row != end; ++row) {
    sum += std::stod((*row)[2]);
    ++count;
  }
  EXPECT_NE(info.out.find("(unaccounted)"), std::string::npos) << info.out;
  EXPECT_NEAR(sum, std::stod(total[1]), 0.005 * count) << info.out;
}

TEST_F(Ptrace, DiffComparesTwoTraces) {
  const std::string before = sessionTrace("before.kvd", {"Load", "Solve"});
  const std::string after = sessionTrace("after.kvd", {"Check", "Load", "Solve"});
  const ToolRun diff = succeeded({"diff", before, after});
  EXPECT_EQ(diff.err, "");
  EXPECT_EQ(diff.out, at("after-diff-time.html") + "\n");
  EXPECT_NE(fileBytes(at("after-diff-time.html")).find("var procDataMatch = \"0200\";"), std::string::npos);

  succeeded({"diff", before, after, "--aggregate", "--metric", "basicmemory", "--out", at("aggregate.html")});
  const std::string page = fileBytes(at("aggregate.html"));
  EXPECT_NE(page.find("makeStruct(\"IsParent Phase LHS_Count RHS_Count CountAbsDev LHS_UsageDelta"), std::string::npos);
  EXPECT_EQ(page.find("var procData"), std::string::npos);
}

}  // namespace
