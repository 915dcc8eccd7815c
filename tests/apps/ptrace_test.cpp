// The ptrace tool run as a user runs it: the demo into a temporary folder,
// then the commands that read its trace, and the bad inputs.
#include <gtest/gtest.h>

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
#include "tracer/performance_tracer.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exitCode;
  std::string out, err;
};

std::string readFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

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
  for (const char* name : {"demo-time.html", "demo-aggregate.html", "demo-detailedmemory.html"}) {
    const std::string page = readFile(*folder_ / "demo" / name);
    EXPECT_NE(page.find("</html>"), std::string::npos) << name;
  }
  pt::host::loadTraceDataFile(trace().string());
  const PTRawDataVector* points = PerformanceTracer::getInstance()->rawDataVector();
  ASSERT_NE(points, nullptr);
  // Four models, each with nine phases and two tests, in one session.
  EXPECT_EQ(points->size(), 2u + 4u * 2u * (8u + 2u));
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

TEST_F(Ptrace, ReportWritesTheChosenKind) {
  const fs::path page = *folder_ / "tests.html";
  const ToolRun run = runPtrace(*folder_, {"report", trace().string(), "-o", page.string(), "--grouping", "CLTestManager",
                                       "--metric", "basicmemory"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string html = readFile(page);
  EXPECT_NE(html.find("Run Test"), std::string::npos);
  EXPECT_NE(html.find("</html>"), std::string::npos);
}

// Progress lines go to standard error only when it is a terminal or they are
// asked for; here it is a file, so it holds nothing but errors.
TEST_F(Ptrace, StandardErrorHoldsNoProgressWhenNotATerminal) {
  ::unsetenv("PTRACE_PROGRESS");
  const std::vector<std::vector<std::string>> cases = {
      {"info", trace().string()},
      {"report", trace().string(), "-o", (*folder_ / "quiet.html").string()},
      {"export", trace().string(), "--folded"},
  };
  for (const auto& arguments : cases) {
    const ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_EQ(run.exitCode, 0) << arguments[0];
    EXPECT_EQ(run.err, "") << arguments[0];
    EXPECT_NE(run.out, "") << arguments[0];
  }
}

TEST_F(Ptrace, BadInputGivesOneLineOnStandardErrorAndFailure) {
  const fs::path notTrace = *folder_ / "notes.kvd";
  std::ofstream(notTrace) << "just some notes\n";
  const fs::path truncated = *folder_ / "truncated.kvd";
  const std::string whole = readFile(trace());
  std::ofstream(truncated, std::ios::binary) << whole.substr(0, whole.size() / 2);

  const std::vector<std::vector<std::string>> cases = {
      {"info", (*folder_ / "missing.kvd").string()},
      {"info", notTrace.string()},
      {"report", truncated.string()},
      {"export", truncated.string(), "--chrome"},
      {"report", trace().string(), "--grouping", "No Such Grouping"},
  };
  for (const auto& arguments : cases) {
    const ToolRun run = runPtrace(*folder_, arguments);
    EXPECT_NE(run.exitCode, 0) << arguments[1];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("ptrace: ", 0), 0u) << run.err;
  }
}

}  // namespace
