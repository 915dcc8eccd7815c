// The ptrace tool run as a user runs it: the demo into a temporary folder,
// then the commands that read its trace, and the bad inputs.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include "analysis/processed_data.h"
#include "host/trace_data_file.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

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
  for (const std::string& argument : arguments) {
    command += ' ';
    command += quoted(argument);
  }
  const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
  command += " >" + quoted(out.string()) + " 2>" + quoted(err.string());
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
}

class Ptrace : public testing::Test {
 protected:
  // One demo run serves every test: it is the slow part.
  static void SetUpTestSuite() {
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

  static fs::path* folder_;
  static ToolRun* demo_;
};
fs::path* Ptrace::folder_ = nullptr;
ToolRun* Ptrace::demo_ = nullptr;

TEST_F(Ptrace, DemoWritesATraceThatLoadsAndItsReports) {
  ASSERT_EQ(demo_->exitCode, 0) << demo_->err;
  EXPECT_NE(demo_->out.find("Top phases by self time"), std::string::npos) << demo_->out;
  EXPECT_NE(demo_->out.find("Tests: all passed"), std::string::npos) << demo_->out;
  for (const char* name : {"demo-time.html", "demo-aggregate.html", "demo-detailedmemory.html", "demo-model.html",
                           "demo-model-diff.html"}) {
    const std::string page = readFile(*folder_ / "demo" / name);
    EXPECT_NE(page.find("</html>"), std::string::npos) << name;
  }
  pt::host::loadTraceDataFile(trace().string());
  const PTRawDataVector* points = PerformanceTracer::getInstance()->rawDataVector();
  ASSERT_NE(points, nullptr);
  // Four models, each with nine phases and two tests, in one session.
  EXPECT_EQ(points->size(), 2u + 4u * 2u * (8u + 2u));
}

TEST_F(Ptrace, ModelReportsOfOneTraceAndOfTwo) {
  const fs::path single = *folder_ / "model.html";
  const ToolRun run = runPtrace(*folder_, {"model", trace().string(), "--flamegraph", "--out", single.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, single.string() + "\n");
  const std::string page = readFile(single);
  // A flame graph only when some phase took a hundredth of a second: not
  // asked of a demo run here.
  EXPECT_NE(page.find("[\"topModelNode"), std::string::npos);

  const fs::path diff = *folder_ / "model-diff.html";
  const fs::path slower = *folder_ / "demo" / "demo-slower.kvd";
  const ToolRun compared =
      runPtrace(*folder_, {"model", "--diff", trace().string(), slower.string(), "--out", diff.string()});
  ASSERT_EQ(compared.exitCode, 0) << compared.err;
  EXPECT_NE(readFile(diff).find("var reportType = 5;"), std::string::npos);

  struct Misuse {
    std::vector<std::string> arguments;
    const char* message;
  };
  const Misuse misuses[] = {
      {{"model", "--diff", trace().string()}, "--diff needs two trace files"},
      {{"model", trace().string(), slower.string()}, "one trace file, or --diff with two"},
      {{"model", "--diff", trace().string(), (*folder_ / "none.kvd").string()}, "no such file"},
      {{"model", "--diff", trace().string(), slower.string(), "--metric", "detailedmemory"}, "compares"},
  };
  for (const Misuse& misuse : misuses) {
    const ToolRun failed = runPtrace(*folder_, misuse.arguments);
    EXPECT_EQ(failed.exitCode, 1) << misuse.message;
    EXPECT_NE(failed.err.find(misuse.message), std::string::npos) << failed.err;
  }
}

TEST_F(Ptrace, InfoNamesGroupingsModelsAndMachine) {
  const ToolRun info = runPtrace(*folder_, {"info", trace().string()});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  for (const char* text : {"Points: 82", "Calvoran Load (24 points)", "CLTestManager", "TGXCG", "CLbuild",
                           "cruise_control", "Targets: TGX", "Processor:"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
}

TEST_F(Ptrace, ChromeExportHasOneCompleteEventPerPairedPhase) {
  const fs::path json = *folder_ / "trace.json";
  const ToolRun run = runPtrace(*folder_, {"export", trace().string(), "--chrome", "-o", json.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json document = nlohmann::json::parse(readFile(json));

  pt::host::loadTraceDataFile(trace().string());
  const PTProcessedDataStruct summary = PerformanceTracer::getInstance()->getProcessedData(nullptr, {"GLOBAL"}, false);
  ASSERT_FALSE(summary.hasErrors);
  const auto paired = std::count_if(summary.diagnosticInfos.begin(), summary.diagnosticInfos.end(), [](const auto& row) {
    return !row->processedPoint->gapRow && !row->processedPoint->errorRow;
  });
  const auto& events = document.at("traceEvents");
  ASSERT_EQ(static_cast<long>(events.size()), paired);
  int tests = 0;
  for (const auto& event : events) {
    EXPECT_EQ(event.at("ph"), "X");
    EXPECT_GE(event.at("ts").get<long>(), 0);
    EXPECT_GE(event.at("dur").get<long>(), 0);
    if (event.at("name") == "Run Test") {
      ++tests;
      EXPECT_EQ(event.at("cat"), "CLTestManager");
      // The test path registered for the run's user text, split into its parts.
      const auto& args = event.at("args");
      EXPECT_EQ(args.value("TestFile", ""), args.value("model", "?") + "_tests.m") << event.dump();
      EXPECT_NE(args.value("TestCase", ""), "") << event.dump();
    }
  }
  EXPECT_EQ(tests, 8);
  // The session holds everything: its event spans every other one.
  EXPECT_EQ(events.front().at("name"), "Demo Session");
}

TEST_F(Ptrace, FoldedStacksSumToTheSessionTime) {
  const ToolRun run = runPtrace(*folder_, {"export", trace().string(), "--folded"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::regex line("(Demo Session(;[^; ][^;]*)*) ([0-9]+)");
  std::istringstream lines(run.out);
  std::string text;
  long total = 0;
  int count = 0;
  while (std::getline(lines, text)) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    total += std::stol(match[3]);
    ++count;
  }
  EXPECT_GE(count, 9);
  pt::host::loadTraceDataFile(trace().string());
  const PTProcessedDataStruct summary = PerformanceTracer::getInstance()->getProcessedData(nullptr, {"GLOBAL"}, false);
  // Self times partition the session; each stack rounds to a microsecond.
  EXPECT_NEAR(static_cast<double>(total), summary.totalWallClockTime * 1e6, count);
}

// Progress lines go to standard error only when it is a terminal or they are
// asked for; here it is a file, so it holds nothing but errors.
TEST_F(Ptrace, StandardErrorHoldsNoProgressWhenNotATerminal) {
  ::unsetenv("PTRACE_PROGRESS");
  const std::vector<std::vector<std::string>> cases = {
      {"info", trace().string()},
      {"report", trace().string(), "-o", (*folder_ / "tests.html").string(), "--grouping", "CLTestManager",
       "--metric", "basicmemory"},
      {"export", trace().string(), "--folded"},
  };
  for (const auto& arguments : cases) {
    const ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments[0];
    EXPECT_EQ(run.err, "") << arguments[0];
    EXPECT_NE(run.out, "") << arguments[0];
  }
  EXPECT_NE(readFile(*folder_ / "tests.html").find("Run Test"), std::string::npos);
}

TEST_F(Ptrace, BadInputGivesOneLineOnStandardErrorAndFailure) {
  const fs::path notTrace = *folder_ / "notes.kvd";
  std::ofstream(notTrace) << "just some notes\n";
  const fs::path truncated = *folder_ / "truncated.kvd";
  const std::string whole = readFile(trace());
  std::ofstream(truncated, std::ios::binary) << whole.substr(0, whole.size() / 2);
  const fs::path link = *folder_ / "link.kvd", loop = *folder_ / "loop.kvd";
  fs::create_symlink(trace(), link);
  fs::create_symlink(loop.filename(), loop);
  const fs::path folderLike = *folder_ / "proj.kvd.d";
  fs::create_directories(folderLike);
  fs::copy_file(trace(), folderLike / "trace.bin");

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", (*folder_ / "missing.kvd").string()}, "no such file"},
      {{"info", (*folder_ / "missing\x1b]0;owned\x07.kvd").string()}, "missing\\x1b]0;owned\\x07.kvd"},
      {{"info", notTrace.string()}, "damaged or is not a trace data file"},
      {{"info", loop.string()}, "Too many levels of symbolic links"},
      {{"report", truncated.string()}, "damaged"},
      {{"export", truncated.string(), "--chrome"}, "damaged"},
      {{"report", trace().string(), "--grouping", "No Such Grouping"}, "unknown grouping"},
      {{"report", trace().string(), "-o", trace().string()}, "is the trace"},
      {{"report", link.string(), "-o", trace().string()}, "is the trace"},
      {{"export", trace().string(), "--chrome", "-o", link.string()}, "is the trace"},
      {{"report", (folderLike / "trace.bin").string()}, "extension '.kvd'"},
  };
  for (const auto& [arguments, expected] : cases) {
    const ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_NE(run.exitCode, 0) << arguments[1];
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
  const ToolRun run = runPtrace(*folder_, {"report", (folderLike / "run.kvd").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, (folderLike / "run-time.html").string() + "\n");
  EXPECT_TRUE(fs::exists(folderLike / "run-time.html"));
}

// Names are the recording's: a terminal escape in one is shown, not obeyed.
TEST_F(Ptrace, InfoShowsControlCharactersInNamesAsText) {
  ptClearRawData();
  for (const bool isStart : {true, false}) {
    auto point = boost::make_shared<PTKAVLORDataPoint>();
    point->phase = ptGetNumberForString(EPT_PHASE, "Load\x1b]0;owned\x07");
    point->grouping = ptGetNumberForString(EPT_GROUPING, "G\x9b" "2J");
    point->isStart = isStart;
    PerformanceTracer::getInstance()->appendRawDataPoint(point);
  }
  const fs::path path = *folder_ / "escapes.kvd";
  pt::host::saveTraceDataFile(path.string());
  const ToolRun run = runPtrace(*folder_, {"info", path.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Load\\x1b]0;owned\\x07"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("G\\x9b2J"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find_first_of("\x1b\x07\x9b"), std::string::npos) << run.out;
}

// Session { Load, Solve <end of Step inside Solve>, Save <never closed> <end of Session while Save is open> }
fs::path unbalancedTrace(const fs::path& folder) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  tracer.clearRawDataVector();
  pt_test::TraceBuilder trace(tracer);
  trace.start("Session", 0.0).start("Load", 0.0).end("Load", 0.05).start("Solve", 0.05).end("Step", 0.06);
  trace.end("Solve", 0.08).start("Save", 0.08).end("Session", 0.1);
  tracer.setRawDataVector(trace.points());
  const fs::path file = folder / "unbalanced.kvd";
  pt::host::saveTraceDataFile(file.string());
  return file;
}

TEST_F(Ptrace, UnbalancedTraceStillShowsWhatItHolds) {
  const fs::path trace = unbalancedTrace(*folder_);
  const ToolRun info = runPtrace(*folder_, {"info", trace.string()});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  for (const char* text : {"Paired phases: 2\n", "Error rows: 3 ", "start of 'Session' is never closed",
                           "end of 'Step' while 'Solve' is open", "end of 'Session' while 'Save' is open"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }

  const ToolRun exported = runPtrace(*folder_, {"export", trace.string(), "--chrome"});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  const nlohmann::json document = nlohmann::json::parse(exported.out);
  std::vector<std::string> events;
  for (const auto& event : document.at("traceEvents")) {
    std::string line = event.at("ph").get<std::string>() + " " + event.at("name").get<std::string>();
    if (event.at("ph") == "i") line.append(" ").append(event.at("args").at("reason").get<std::string>());
    events.push_back(line);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"X Load", "X Solve", "i Session start of 'Session' is never closed",
                                              "i Step end of 'Step' while 'Solve' is open",
                                              "i Save start of 'Save' is never closed",
                                              "i Session end of 'Session' while 'Save' is open"}));

  const fs::path page = *folder_ / "unbalanced-time.html";
  const ToolRun report = runPtrace(*folder_, {"report", trace.string(), "-o", page.string()});
  ASSERT_EQ(report.exitCode, 0) << report.err;
  const fs::path diagnostic = *folder_ / "unbalanced-time-diagnostic.html";
  EXPECT_NE(report.out.find(diagnostic.string() + ": diagnostic report"), std::string::npos) << report.out;
  EXPECT_NE(readFile(page).find("href=\"unbalanced-time-diagnostic.html\""), std::string::npos);
  const std::string rows = readFile(diagnostic);
  std::size_t red = 0;
  for (std::size_t at = rows.find("#FF1A00"); at != std::string::npos; at = rows.find("#FF1A00", at + 1)) ++red;
  // Session's start and (mapped to Save) end, Solve's start and end with Step's end, Save's start.
  EXPECT_EQ(red, 6u);

  const ToolRun diag = runPtrace(*folder_, {"diag", trace.string()});
  ASSERT_EQ(diag.exitCode, 0) << diag.err;
  EXPECT_EQ(diag.out, (*folder_ / "unbalanced-diagnostic.html").string() + "\n");
  EXPECT_EQ(readFile(*folder_ / "unbalanced-diagnostic.html"), rows);
}

}  // namespace
