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

#include "analysis/processed_data.h"
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

std::string readFile(const fs::path& path) { return pt_test::fileBytes(path.string()); }

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

ToolRun runPtrace(const fs::path& folder, const std::vector<std::string>& arguments) {
  std::string command = quoted(PTRACE_EXE);
  for (const std::string& argument : arguments) command.append(" ").append(quoted(argument));
  const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
  command += " >" + quoted(out.string()) + " 2>" + quoted(err.string());
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

class Ptrace : public testing::Test {
 protected:
  // One demo run serves every test: it is the slow part.
  // Progress lines go to standard error only when it is a terminal or they
  // are asked for; here it is a file, so it holds nothing but errors.
  static void SetUpTestSuite() {
    ::unsetenv("PTRACE_PROGRESS");
    folder_ = new fs::path(fs::temp_directory_path() / ("ptrace-test-" + std::to_string(::getpid())));
    fs::remove_all(*folder_);
    fs::create_directories(*folder_);
    demo_ = new ToolRun(runPtrace(*folder_, {"demo", "--out", (*folder_ / "demo").string()}));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete demo_;
    delete folder_;
  }
  static fs::path trace() { return *folder_ / "demo" / "demo.kvd"; }
  // A run that must succeed.
  static ToolRun succeeded(const std::vector<std::string>& arguments) {
    ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run;
  }

  static fs::path* folder_;
  static ToolRun* demo_;
};
fs::path* Ptrace::folder_ = nullptr;
ToolRun* Ptrace::demo_ = nullptr;

// The points `record` made, saved as the trace file `name`.
fs::path savedTrace(const fs::path& folder, const std::string& name,
                    const std::function<void(pt_test::TraceBuilder&)>& record) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.clearRawDataVector();
  pt_test::TraceBuilder trace(tracer);
  record(trace);
  tracer.setRawDataVector(trace.points());
  const fs::path file = folder / name;
  pt::host::saveTraceDataFile(file.string());
  return file;
}

// Session { Load, Solve <end of Step inside Solve>, Save <never closed> <end of Session while Save is open> }
fs::path unbalancedTrace(const fs::path& folder) {
  return savedTrace(folder, "unbalanced.kvd", [](pt_test::TraceBuilder& trace) {
    trace.start("Session", 0.0).start("Load", 0.0).end("Load", 0.05).start("Solve", 0.05).end("Step", 0.06);
    trace.end("Solve", 0.08).start("Save", 0.08).end("Session", 0.1);
  });
}

// A trace of Session { Load, <Check,> Solve } saved to `name`; an empty one without phases.
fs::path sessionTrace(const fs::path& folder, const std::string& name, const std::vector<std::string>& phases) {
  return savedTrace(folder, name, [&](pt_test::TraceBuilder& trace) {
    if (phases.empty()) return;
    trace.start("Session", 0.0);
    double at = 0.0;
    for (const std::string& phase : phases) {
      trace.start(phase, at).end(phase, at + 0.5);
      at += 0.5;
    }
    trace.end("Session", at);
  });
}

TEST_F(Ptrace, DemoWritesATraceThatLoadsAndItsReports) {
  ASSERT_EQ(demo_->exitCode, 0) << demo_->err;
  EXPECT_NE(demo_->out.find("Top phases by self time"), std::string::npos) << demo_->out;
  EXPECT_NE(demo_->out.find("Tests: all passed"), std::string::npos) << demo_->out;
  for (const char* name : {"demo-time.html", "demo-aggregate.html", "demo-detailedmemory.html", "demo-model.html",
                           "demo-tests.html", "demo-model-diff.html"}) {
    const std::string page = readFile(*folder_ / "demo" / name);
    EXPECT_NE(page.find("</html>"), std::string::npos) << name;
  }
}

TEST_F(Ptrace, ModelReportsOfOneTraceAndOfTwo) {
  const fs::path single = *folder_ / "model.html";
  const ToolRun run = succeeded({"model", trace().string(), "--flamegraph", "--out", single.string()});
  EXPECT_EQ(run.out, single.string() + "\n");
  const std::string page = readFile(single);
  // A flame graph only when some phase took a hundredth of a second: not
  // asked of a demo run here.
  EXPECT_NE(page.find("[\"topModelNode"), std::string::npos);

  const fs::path diff = *folder_ / "model-diff.html";
  const fs::path slower = *folder_ / "demo" / "demo-slower.kvd";
  succeeded({"model", "--diff", trace().string(), slower.string(), "--out", diff.string()});
  EXPECT_NE(readFile(diff).find("var reportType = 5;"), std::string::npos);
}

// The demo's session holds four models, each with eight phases and two
// tests: 2 + 4 * 2 * (8 + 2) points.
TEST_F(Ptrace, InfoNamesGroupingsModelsAndMachine) {
  const ToolRun info = succeeded({"info", trace().string()});
  EXPECT_EQ(info.err, "");
  for (const char* text : {"Points: 82", "Calvoran Load (24 points)", "CLTestManager", "TGXCG", "CLbuild",
                           "cruise_control", "Targets: TGX", "Processor:"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
}

TEST_F(Ptrace, ChromeExportHasOnePhaseEventPerPairedPhase) {
  const fs::path json = *folder_ / "trace.json";
  const ToolRun run = succeeded({"export", trace().string(), "--chrome", "-o", json.string()});
  EXPECT_EQ(run.err, "");  // progress goes to a terminal only
  const nlohmann::json document = nlohmann::json::parse(readFile(json));

  pt::host::loadTraceDataFile(trace().string());
  const PTProcessedDataStruct summary = PerformanceTracer::getInstance()->getProcessedData(nullptr, {"GLOBAL"}, false);
  ASSERT_FALSE(summary.hasErrors);
  const auto paired =
      std::count_if(summary.diagnosticInfos.begin(), summary.diagnosticInfos.end(),
                    [](const auto& row) { return !row->processedPoint->gapRow && !row->processedPoint->errorRow; });
  long phases = 0;
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
  EXPECT_EQ(phases, paired);
  EXPECT_EQ(tests, 8);
}

TEST_F(Ptrace, BadInputGivesOneLineOnStandardErrorAndFailure) {
  const fs::path notTrace = *folder_ / "notes.kvd";
  std::ofstream(notTrace) << "just some notes\n";
  const std::string whole = readFile(trace());
  const fs::path link = *folder_ / "link.kvd", loop = *folder_ / "loop.kvd";
  fs::create_symlink(trace(), link);
  fs::create_symlink(loop.filename(), loop);
  const fs::path folderLike = *folder_ / "proj.kvd.d";
  fs::create_directories(folderLike);
  fs::copy_file(trace(), folderLike / "trace.bin");
  const fs::path slower = *folder_ / "demo" / "demo-slower.kvd";
  const fs::path before = sessionTrace(*folder_, "before.kvd", {"Load", "Solve"});
  const fs::path empty = sessionTrace(*folder_, "empty.kvd", {});
  const fs::path unbalanced = unbalancedTrace(*folder_);

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", (*folder_ / "missing.kvd").string()}, "no such file"},
      {{"info", (*folder_ / "missing\x1b]0;owned\x07.kvd").string()}, "missing\\x1b]0;owned\\x07.kvd"},
      {{"info", notTrace.string()}, "damaged or is not a trace data file"},
      {{"info", loop.string()}, "Too many levels of symbolic links"},
      {{"report", trace().string(), "--grouping", "No Such Grouping"}, "unknown grouping"},
      {{"report", trace().string(), "-o", trace().string()}, "is the trace"},
      {{"report", link.string(), "-o", trace().string()}, "is the trace"},
      {{"export", trace().string(), "--chrome", "-o", link.string()}, "is the trace"},
      {{"export", trace().string(), "--chrome", "-o", (*folder_ / "no" / "such.json").string()},
       "cannot write '" + (*folder_ / "no" / "such.json").string() + "': "},
      {{"report", (folderLike / "trace.bin").string()}, "extension '.kvd'"},
      {{"model", "--diff", trace().string()}, "--diff needs two trace files"},
      {{"model", trace().string(), slower.string()}, "one trace file, or --diff with two"},
      {{"model", "--diff", trace().string(), (*folder_ / "none.kvd").string()}, "no such file"},
      {{"model", "--diff", trace().string(), slower.string(), "--metric", "detailedmemory"}, "compares"},
      {{"diff", empty.string(), before.string()},
       "the LHS trace: There is no raw tracer data to compare from '" + empty.string() + "'"},
      {{"diff", before.string(), empty.string()},
       "the RHS trace: There is no raw tracer data to compare from '" + empty.string() + "'"},
      {{"diff", before.string(), unbalanced.string()}, "the phases of the RHS trace '" + unbalanced.string()},
      {{"diff", before.string(), trace().string(), "--grouping", "G"},
       "the RHS trace '" + trace().string() + "': unknown grouping 'G'"},
      {{"diff", before.string(), before.string(), "-o", before.string()}, "is the trace"},
      {{"diff", before.string(), (*folder_ / "missing.kvd").string()}, "no such file"},
  };
  for (const auto& [arguments, expected] : cases) {
    const ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_EQ(run.exitCode, 1) << arguments[1];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("ptrace: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(expected), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << arguments[1];
  }
  EXPECT_EQ(readFile(trace()), whole);  // neither overwritten nor replaced
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(*folder_ / "proj-time.html"));

  // Output that cannot be written is a failure too.
  const std::string command = quoted(PTRACE_EXE) + " export " + quoted(trace().string()) + " --folded >/dev/full 2>" +
                              quoted((*folder_ / "full.txt").string());
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(readFile(*folder_ / "full.txt").find("No space left on device"), std::string::npos);
}

// The default report name drops the trace's own ".kvd" extension, and the
// report lands beside the trace.
TEST_F(Ptrace, DefaultReportNameIsBesideTheTrace) {
  const fs::path folderLike = *folder_ / "runs.kvd.d";
  fs::create_directories(folderLike);
  fs::copy_file(trace(), folderLike / "run.kvd");
  const ToolRun run = succeeded({"report", (folderLike / "run.kvd").string()});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, (folderLike / "run-time.html").string() + "\n");
  EXPECT_TRUE(fs::exists(folderLike / "run-time.html"));

  const fs::path tests = *folder_ / "tests.html";
  succeeded(
      {"report", trace().string(), "-o", tests.string(), "--grouping", "CLTestManager", "--metric", "basicmemory"});
  EXPECT_NE(readFile(tests).find("Run Test"), std::string::npos);
}

// Names are the recording's: a terminal escape in one is shown, not obeyed.
TEST_F(Ptrace, InfoShowsControlCharactersInNamesAsText) {
  const fs::path path = savedTrace(*folder_, "escapes.kvd", [](pt_test::TraceBuilder& trace) {
    const std::string phase = "Load\x1b]0;owned\x07";
    trace.grouping("G\x9b\x32J").start(phase, 0.0).end(phase, 0.1);  // \x32 is the '2' of "2J"
  });
  const ToolRun run = succeeded({"info", path.string()});
  EXPECT_NE(run.out.find("Load\\x1b]0;owned\\x07"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("G\\x9b2J"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << run.out;
}

TEST_F(Ptrace, UnbalancedTraceStillShowsWhatItHolds) {
  const fs::path trace = unbalancedTrace(*folder_);
  const ToolRun info = succeeded({"info", trace.string()});
  for (const char* text : {"Paired phases: 2\n", "Error rows: 3 ", "start of 'Session' is never closed",
                           "end of 'Step' while 'Solve' is open", "end of 'Session' while 'Save' is open"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }

  const ToolRun exported = succeeded({"export", trace.string(), "--chrome"});
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

  const fs::path page = *folder_ / "unbalanced-time.html";
  const ToolRun report = succeeded({"report", trace.string(), "-o", page.string()});
  const fs::path diagnostic = *folder_ / "unbalanced-time-diagnostic.html";
  EXPECT_NE(report.out.find(diagnostic.string() + ": diagnostic report"), std::string::npos) << report.out;
  EXPECT_NE(readFile(page).find("href=\"unbalanced-time-diagnostic.html\""), std::string::npos);
  const std::string rows = readFile(diagnostic);
  std::size_t red = 0;
  for (std::size_t at = rows.find("#FF1A00"); at != std::string::npos; at = rows.find("#FF1A00", at + 1)) ++red;
  // Session's start and (mapped to Save) end, Solve's start and end with Step's end, Save's start.
  EXPECT_EQ(red, 6u);

  const ToolRun diag = succeeded({"diag", trace.string()});
  EXPECT_EQ(diag.out, (*folder_ / "unbalanced-diagnostic.html").string() + "\n");
  EXPECT_EQ(readFile(*folder_ / "unbalanced-diagnostic.html"), rows);
}

// Self nanoseconds per "tid|stack of names" as a viewer reads begin and end events:
// per thread in time order, ends first at one time, a stack of open phases.
std::map<std::string, long long> selfByStack(const nlohmann::json& events) {
  struct Edge {
    long long at;
    bool isEnd;
    std::size_t order;
    int tid;
    std::string name;
  };
  std::vector<Edge> edges;
  for (const auto& event : events) {
    const std::string ph = event.at("ph");
    if (ph != "B" && ph != "E") continue;
    edges.push_back(
        {std::llround(event.at("ts").get<double>() * 1e3), ph == "E", edges.size(), event.at("tid"), event.at("name")});
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) {
    return std::tie(a.tid, a.at, b.isEnd, a.order) < std::tie(b.tid, b.at, a.isEnd, b.order);
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
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.clearRawDataVector();
  const pt_test::ExportTrace fixture = pt_test::recordExportTrace(tracer);
  tracer.setRawDataVector(fixture.points);
  const fs::path path = *folder_ / "fixed.kvd";
  pt::host::saveTraceDataFile(path.string());
  const ToolRun chrome = runPtrace(*folder_, {"export", path.string(), "--chrome"});
  const ToolRun folded = runPtrace(*folder_, {"export", path.string(), "--folded"});
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
  const ToolRun info = succeeded({"info", path.string()});
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
  const fs::path before = sessionTrace(*folder_, "before.kvd", {"Load", "Solve"});
  const fs::path after = sessionTrace(*folder_, "after.kvd", {"Check", "Load", "Solve"});
  const ToolRun diff = succeeded({"diff", before.string(), after.string()});
  EXPECT_EQ(diff.err, "");
  EXPECT_EQ(diff.out, (*folder_ / "after-diff-time.html").string() + "\n");
  EXPECT_NE(readFile(*folder_ / "after-diff-time.html").find("var procDataMatch = \"0200\";"), std::string::npos);

  const fs::path aggregate = *folder_ / "aggregate.html";
  succeeded(
      {"diff", before.string(), after.string(), "--aggregate", "--metric", "basicmemory", "--out", aggregate.string()});
  const std::string page = readFile(aggregate);
  EXPECT_NE(page.find("makeStruct(\"IsParent Phase LHS_Count RHS_Count CountAbsDev LHS_UsageDelta"), std::string::npos);
  EXPECT_EQ(page.find("var procData"), std::string::npos);
}

}  // namespace
