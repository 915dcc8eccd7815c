#include "host/trace_data_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/make_shared.hpp>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/cell_records.h"
#include "platform/host_calls.h"
#include "platform/host_data_file.h"
#include "platform/host_messages.h"
#include "support/host_records.h"
#include "support/point_text.h"
#include "support/raised.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/fake_platform.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_api.h"
#include "tracer/pt_clearing.h"

namespace {

namespace fs = std::filesystem;
using platform::HostArrayPtr;
using platform::HostError;

PerformanceTracer& tracer() { return *PerformanceTracer::getInstance(); }

class TraceDataFile : public ::testing::Test {
 protected:
  void SetUp() override { ptClearRawData(); }
  std::string file(const std::string& name) const { return folder_.file(name); }
  // A file another writer made, holding just the given variables.
  std::string writeFile(const std::string& name, std::initializer_list<std::pair<const char*, const haArray*>> vars) {
    const std::string path = file(name);
    kvdFile* out = kvdOpen(path.c_str(), "w");
    for (const auto& [variable, value] : vars) EXPECT_EQ(kvdPutVariable(out, variable, value), 0) << variable;
    EXPECT_EQ(kvdClose(out), 0);
    return path;
  }

  pt_test::ScratchFolder folder_;
};

template <class Point>
boost::shared_ptr<Point> point(const std::string& phase, bool isStart, double wall) {
  auto p = boost::make_shared<Point>();
  p->phase = ptGetNumberForString(EPT_PHASE, phase);
  p->grouping = ptGetNumberForString(EPT_GROUPING, "Calvoran Startup");
  p->statisticsType = ptGetNumberForString(EPT_STATISTICS_TYPE, "Update");
  p->isStart = isStart;
  p->wallClockTime = wall;
  p->cpuTime = wall / 4;
  p->basicMemStats = boost::make_shared<pt::BasicMemStats>(4096 * 3, 4096 * 5, 1e9 + 1);
  p->detailedMemStats.reset();
  return p;
}

// One point of every kind; the tracer point carries three identifiers.
PTRawDataVector recordOneOfEachKind() {
  PTRawDataVector points;
  points.push_back(point<PTKAVLORDataPoint>("Load", true, 1.25));
  auto model = point<PTCLTGXDataPoint>("Compile", true, 2.5);
  model->model = ptGetNumberForString(EPT_MODEL, "vdp");
  model->target = ptGetNumberForString(EPT_TARGET, "grt");
  model->detailedMemStats = boost::make_shared<pt::DetailedMemStats>(1, 2, 3, 4, 5);
  points.push_back(model);
  auto chart = point<PTQuorindelDataPoint>("Parse", false, 3.75);
  chart->grouping = ptGetNumberForString(EPT_GROUPING, "Quorindel");
  chart->model = model->model;
  chart->target = ptGetNumberForString(EPT_TARGET, "ert");
  chart->machine = ptGetNumberForString(EPT_MACHINE, "m");
  chart->chart = ptGetNumberForString(EPT_CHART, "c");
  points.push_back(chart);
  auto generic = point<PTTracerDataPoint>(std::string("Build\0step", 10), false, 1700000000.123456);  // kept whole
  generic->statisticsType = -1;  // tracer records carry none
  for (const char* name : {"modelStr", "targetStr", "TestFile"}) {
    ptInsertIdentifierToMapCollections(name);
    generic->identifiers[name] = ptGetNumberForString(name, std::string(name) + " value");
  }
  points.push_back(generic);
  for (const auto& p : points) tracer().appendRawDataPoint(p);
  return points;
}

std::vector<std::string> variablesOf(const std::string& path) {
  kvdFile* file = kvdOpen(path.c_str(), "r");
  std::vector<std::string> names = kvdGetVariableNames(file);
  kvdClose(file);
  return names;
}

using pt_test::fileBytes;
using pt_test::raised;
using pt_test::writeFileBytes;

TEST_F(TraceDataFile, FullSaveAndLoadRoundTrip) {
  const PTRawDataVector points = recordOneOfEachKind();
  for (int row = 0; row < 3; ++row) ptAddTestPathToMap("user" + std::to_string(row), "f > s > c" + std::to_string(row));
  const std::string path = file("run.kvd");
  pt::host::saveTraceDataFile(path);
  EXPECT_EQ(variablesOf(path), (std::vector<std::string>{"PerformanceTracingRawDataVector", "IdentifierEnumeratorInfo",
                                                         "MapTestPath", "PerformanceTracingSystemInfo", "KAVLORRoot"}));
  const DynamicEnum savedEnum = tracer().identifierRawEnum();
  const PerformanceTracer::TestPathMap savedPaths = tracer().getMapTestPath();

  tracer().setRawDataVector({});
  tracer().clearIdentifierRawEnum();
  tracer().addToIdentifierRawEnum("someone else");  // numbers of the running tracer are replaced
  tracer().clearMapTestPath();
  const PTSystemInfoStruct nothing;
  tracer().setSystemInfo(&nothing);
  pt::host::loadTraceDataFile(path);

  EXPECT_EQ(pt_test::describe(tracer(), *tracer().rawDataVector()), pt_test::describe(tracer(), points));
  EXPECT_EQ(tracer().identifierRawEnum().entries(), savedEnum.entries());
  EXPECT_EQ(tracer().getMapTestPath(), savedPaths);
  const auto fields = [](const PTSystemInfoStruct& i, const std::string& memory) {
    return std::vector<std::string>{
        i.processorStr,       i.cpuSpeedStr,      i.numCoresStr,      memory,
        i.operatingSystemStr, i.KAVLORVersionStr, i.javaVMVersionStr, i.installedProductsStr};
  };
  const PTSystemInfoStruct& loaded = *tracer().getStoredSystemInfo();
  EXPECT_EQ(fields(loaded, loaded.totalPhysMemStr), fields(*tracer().getSystemInfo(), "N/A"));
  EXPECT_FALSE(loaded.processorStr.empty());
  EXPECT_FALSE(tracer().isUsePerformanceTracerRecorder());
}

// Traces saved from and read into tracers of their own (a test's, a loaded
// trace beside the live one) are named through those tracers' tables, whose
// numbers differ from the process-wide tracer's; test paths and identifier
// names land in the reading tracer.
TEST_F(TraceDataFile, SaveAndReadThroughTracersOfTheirOwn) {
  const PTRawDataVector live = recordOneOfEachKind();
  PerformanceTracer first, second;
  first.initialize();
  second.initialize();
  // Each tracer numbers the trace's names after names of its own.
  for (int i = 0; i < 40; ++i) first.getNumberForString(EPT_PHASE, "first " + std::to_string(i), true);
  for (int i = 0; i < 80; ++i) second.getNumberForString(EPT_PHASE, "second " + std::to_string(i), true);
  PTRawDataVector mine, read;  // numbered by the first tracer, then by the second
  PTSystemInfoStruct info;
  const std::string path = file("second.kvd");
  pt::host::saveTraceDataFile(path);
  pt::host::readTraceDataFile(first, path, mine, info);
  first.setRawDataVector(mine);
  first.addTestPathToMap("second-tracer user", "g > s > c");
  pt::host::saveTraceDataFile(first, path);
  pt::host::readTraceDataFile(second, path, read, info);
  EXPECT_EQ(pt_test::describe(second, read), pt_test::describe(tracer(), live));
  EXPECT_EQ(second.getMapTestPath().count("second-tracer user"), 1u);
  EXPECT_EQ(tracer().getMapTestPath().count("second-tracer user"), 0u);
}

// Files as earlier writers made them (tests/data/make_format_fixtures.py):
// every later reader loads them to exactly these points and tables.
TEST(TraceFormatFixtures, LoadToTheirExactPoints) {
  const std::vector<std::string> expected = {
      "0|Load|Calvoran Startup|Update|start|1.25|0.3125|detailed none|basic 12288 20480 1000000001",
      "1|Compile|Calvoran Startup|Update|vdp|grt|start|2.5|0.625|detailed 1048576 2097152 3145728 4194304 "
      "5242880|basic 4096 8192 65536",
      "2|Parse|Quorindel|Update|vdp|ert|m|c|end|3.75|0.9375|detailed none|basic 0 0 0",
      "3|Build|Calvoran Startup|TestFile=a.m modelStr=vdp end|1700000000.5|4|detailed none|basic 1 2 3"};
  for (const char* fixture : {"format_v2.kvd", "format_v1.kvd", "format_v2_older_records.kvd"}) {
    SCOPED_TRACE(fixture);
    PerformanceTracer tables;
    tables.initialize();
    PTRawDataVector points;
    PTSystemInfoStruct info;
    const DynamicEnum identifiers =
        pt::host::readTraceDataFile(tables, std::string(PT_TEST_DATA_DIR) + "/" + fixture, points, info);
    EXPECT_EQ(pt_test::describe(tables, points), expected);
    EXPECT_EQ(std::make_tuple(identifiers.getString(0), identifiers.getString(1), identifiers.size()),
              std::make_tuple(std::string("modelStr"), std::string("TestFile"), std::size_t{2}));
    EXPECT_EQ(tables.getMapTestPath(),
              (PerformanceTracer::TestPathMap{{"run 7", "a.m > Suite > Case # it1"}, {"run 8", "b.m > Other > Case"}}));
    EXPECT_EQ(std::make_tuple(info.processorStr, info.numCoresStr, info.installedProductsStr),
              std::make_tuple(std::string("Fixture CPU"), std::string("8"), std::string("KAVLOR 9.14")));
  }
}

// The complete small file of docs/trace-data-file-format.md, byte for byte.
TEST_F(TraceDataFile, DocumentedExampleIsWhatTheWriterWrites) {
  const std::string text = fileBytes(std::string(PT_TEST_DATA_DIR) + "/../../docs/trace-data-file-format.md");
  const std::size_t start = text.find("```hex\n");
  ASSERT_NE(start, std::string::npos) << "the page shows no hex dump";
  std::istringstream dump(text.substr(start + 7, text.find("```", start + 7) - start - 7));
  std::string documented;
  for (std::string byte; dump >> byte;) documented += static_cast<char>(std::stoi(byte, nullptr, 16));

  const HostArrayPtr records =
      pt_test::cellRecord({pt_test::cellRecord({haCreateString("1"), pt_test::scalar<std::int32_t>(3),
                                                haCreateLogicalScalar(true), haCreateDoubleScalar(2.5)})
                               .release()});
  const HostArrayPtr root(haCreateString("/opt/kavlor"));
  const std::string path =
      writeFile("example.kvd", {{"PerformanceTracingRawDataVector", records.get()}, {"KAVLORRoot", root.get()}});
  EXPECT_EQ(pt_test::fileBytes(path), documented);
}

TEST_F(TraceDataFile, StartupSaveAndEmptyTraces) {
  recordOneOfEachKind();  // all but the state-chart point are startup points
  const std::string startup = file("startup.kvd"), empty = file("empty.kvd");
  const HostArrayPtr name(haCreateString(startup.c_str()));
  const haArray* inputs[] = {name.get()};
  pt::host::saveCLStartupData(1, inputs);
  EXPECT_EQ(variablesOf(startup), (std::vector<std::string>{"PerformanceTracingRawDataVector",
                                                            "PerformanceTracingSystemInfo", "KAVLORRoot"}));
  PTRawDataVector points;
  PTSystemInfoStruct info;
  const DynamicEnum identifiers = pt::host::readTraceDataFile(startup, points, info);
  EXPECT_EQ(points.size(), 3u);
  EXPECT_EQ(identifiers.size(), 0u);

  ptClearRawData();
  pt::host::saveTraceDataFile(empty);
  kvdFile* saved = kvdOpen(empty.c_str(), "r");
  const HostArrayPtr records(kvdGetVariable(saved, "PerformanceTracingRawDataVector"));
  kvdClose(saved);
  EXPECT_TRUE(haIsCell(records.get()));
  EXPECT_EQ(haGetN(records.get()), 0u);
  recordOneOfEachKind();
  pt::host::loadTraceDataFile(empty);
  EXPECT_TRUE(tracer().rawDataVector()->empty());
}

// A file another writer made: only records (some odd) and a test path.
TEST_F(TraceDataFile, PartialFilesAndOddRecords) {
  const std::int32_t modelNumber = ptInsertIdentifierToMapCollections("modelStr");
  const auto recordOf = [](std::vector<haArray*> elements) {  // with empty elements after
    elements.resize(elements.size() + 8, nullptr);
    return pt_test::cellRecord(elements).release();
  };
  const auto int32 = pt_test::scalar<std::int32_t>;
  const HostArrayPtr records = pt_test::cellRecord(
      {recordOf({haCreateString("2"), haCreateString("future")}),
       recordOf({haCreateString("1"), haCreateString(""), haCreateString("P"), haCreateString("G")}), nullptr,
       haCreateDoubleScalar(7),
       recordOf({haCreateString("1"), int32(7), haCreateString("P"), haCreateString("G"), int32(1),
                 haCreateString((std::to_string(modelNumber) + ":vdp").c_str())})});
  const HostArrayPtr testPaths = pt_test::cellRecord({haCreateString("key"), haCreateString("path")});
  const std::string path =
      writeFile("partial.kvd", {{"PerformanceTracingRawDataVector", records.get()}, {"MapTestPath", testPaths.get()}});

  tracer().setSystemInfo(tracer().getSystemInfo());
  std::vector<std::string> warnings;
  const platform::WarningSink previous =
      platform::setWarningSink([&](const platform::HostWarning& w) { warnings.push_back(w.message); });
  pt::host::loadTraceDataFile(path);
  platform::setWarningSink(previous);
  EXPECT_EQ(warnings, std::vector<std::string>{"Skipped 3 of the records in '" + path +
                                               "': 1 has the record version '2', which this version does not read; "
                                               "1 is not a cell array; 1 is empty."});
  // An empty kind reads as 0; identifiers are named through the tracer's
  // enumeration, the file having none.
  EXPECT_EQ(pt_test::describe(tracer(), *tracer().rawDataVector()),
            (std::vector<std::string>{"0|P|G||end|0|0|detailed none|basic 0 0 0",
                                      "7|P|G|modelStr=vdp end|0|0|detailed none|basic 0 0 0"}));
  EXPECT_EQ(tracer().getStoredSystemInfo()->processorStr, "");
  EXPECT_EQ(tracer().identifierRawEnum().size(), 0u);
  EXPECT_EQ(tracer().getMapTestPath(), (PerformanceTracer::TestPathMap{{"key", "path"}}));
}

TEST_F(TraceDataFile, VariablesOfTheWrongClassReadAsEmpty) {
  const HostArrayPtr number(haCreateDoubleScalar(4)), text(haCreateString("no struct"));
  const std::string path = writeFile("odd.kvd", {{"PerformanceTracingRawDataVector", number.get()},
                                                 {"PerformanceTracingSystemInfo", text.get()},
                                                 {"IdentifierEnumeratorInfo", text.get()},
                                                 {"KAVLORRoot", number.get()}});
  recordOneOfEachKind();
  tracer().setSystemInfo(tracer().getSystemInfo());
  pt::host::loadTraceDataFile(path);
  EXPECT_TRUE(tracer().rawDataVector()->empty());
  EXPECT_EQ(tracer().getStoredSystemInfo()->totalPhysMemStr, "");
  EXPECT_EQ(tracer().identifierRawEnum().size(), 0u);
}

// Identifier texts whose number is not one cannot be told from damage.
TEST_F(TraceDataFile, MalformedIdentifierNumbersAreReported) {
  const HostArrayPtr enumeration =
      pt_test::cellRecord({haCreateString("no colon, passed over"), haCreateString("x:modelStr")});
  const auto int32 = pt_test::scalar<std::int32_t>;
  const HostArrayPtr records =
      pt_test::cellRecord({pt_test::cellRecord({haCreateString("1"), int32(3), haCreateString("P"), haCreateString("G"),
                                                int32(1), haCreateString("99999999999:vdp")})
                               .release()});
  for (const auto& [path, problem] :
       {std::pair{writeFile("enum.kvd", {{"IdentifierEnumeratorInfo", enumeration.get()}}),
                  "identifier entry 2 ('x:modelStr') does not begin with a number"},
        std::pair{writeFile("records.kvd", {{"PerformanceTracingRawDataVector", records.get()}}),
                  "record 1 has an identifier element that does not begin with a number"}}) {
    const HostError e = raised([&] { pt::host::loadTraceDataFile(path); });
    EXPECT_EQ(e.key(), "CorruptKvdFile");
    EXPECT_EQ(e.arguments(), (std::vector<std::string>{path, problem}));
  }
}

TEST_F(TraceDataFile, ArgumentAndFileNameChecks) {
  const std::string missing = file("trace.kvd.bak");                // passes the extension test
  const std::string hidden = file("x") + std::string("\0.kvd", 5);  // would open "x"
  const std::string loop = file("loop-a.kvd"), noFolder = file("no/such/folder.kvd");
  fs::create_symlink("loop-b.kvd", loop);
  fs::create_symlink("loop-a.kvd", file("loop-b.kvd"));
  fs::create_directories(file("proj.kvd.d"));
  const char* const noSuchFile = "No such file or directory";
  const std::vector<std::string> looping = {loop, "Too many levels of symbolic links"};
  struct Case {
    std::function<void()> call;
    const char* key;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {[&] { pt::host::loadTraceDataFile(missing); }, "OpenFileFailed", {missing, noSuchFile}},
      {[&] { pt::host::saveTraceDataFile(noFolder); }, "OpenFileFailed", {noFolder, noSuchFile}},
      {[&] { pt::host::saveTraceDataFile(""); }, "OpenFileFailed", {"", "the file name is empty"}},
      {[&] { pt::host::loadTraceDataFile(loop); }, "OpenFileFailed", looping},
      {[&] { pt::host::saveTraceDataFile(loop); }, "OpenFileFailed", looping},
      {[&] { pt::host::loadTraceDataFile(file("proj.kvd.d/trace.bin")); }, "MissingKvdExt", {}},
  };
  for (const Case& c : cases) {
    const HostError e = raised(c.call);
    EXPECT_EQ(e.key(), c.key);
    EXPECT_EQ(e.arguments(), c.arguments) << c.key;
  }
  EXPECT_EQ(raised([&] { pt::host::saveTraceDataFile(hidden); }).key(), "OpenFileFailed");
  EXPECT_EQ(raised([&] { pt::host::loadTraceDataFile(hidden); }).key(), "OpenFileFailed");
  EXPECT_FALSE(fs::exists(file("x")));
}

// Every way a file can be bad gives a host error naming the file; the
// tracer's data stay as they were.
TEST_F(TraceDataFile, DamagedFilesAreReportedAndLeaveTheTracerAlone) {
  recordOneOfEachKind();
  const std::string good = file("good.kvd"), bad = file("bad.kvd");
  pt::host::saveTraceDataFile(good);
  const std::string bytes = fileBytes(good);
  std::string flipped = bytes;
  flipped.back() = static_cast<char>(flipped.back() ^ 0x01);
  const HostArrayPtr number(haCreateDoubleScalar(1));
  const std::string foreign = fileBytes(writeFile("foreign.kvd", {{"Something else", number.get()}}));
  // Every cut and flipped byte is refused by the file layer's own test; one
  // of each here shows the tracer untouched.
  for (const auto& [damaged, what] : {std::pair{foreign, "none of a trace's variables"},
                                      {bytes.substr(0, bytes.size() / 2), "cut in half"},
                                      {flipped, "its last byte flipped"}}) {
    writeFileBytes(bad, damaged);
    const HostError e = raised([&] { pt::host::loadTraceDataFile(bad); });
    EXPECT_EQ(e.key(), "CorruptKvdFile") << what;
    EXPECT_TRUE(!e.arguments().empty() && e.arguments()[0] == bad) << what;
    EXPECT_EQ(tracer().rawDataVector()->size(), 4u) << what;
  }
}

TEST_F(TraceDataFile, FailedSaveKeepsTheExistingFile) {
  recordOneOfEachKind();
  const std::string path = file("keep.kvd");
  pt::host::saveTraceDataFile(path);
  const std::string good = fileBytes(path);
  tracer().appendRawDataPoint(boost::make_shared<PTKAVLORDataPoint>());
  {
    // The root is asked for after the file was opened.
    platform::ScopedHostFunction root("kavlorroot", [](int, haArray* outputs[], int, const haArray* const[]) {
      outputs[0] = haCreateDoubleScalar(1);
      return 0;
    });
    EXPECT_EQ(raised([&] { pt::host::saveTraceDataFile(path); }).key(), "UnexpectedValue");
  }
  EXPECT_EQ(fileBytes(path), good);
  EXPECT_EQ(folder_.entries(), 1u);
}

// A save through a symbolic link replaces the file it leads to, and clears
// what a killed save of this user left there; other files stay.
TEST_F(TraceDataFile, SavesFollowLinksAndClearKilledSaves) {
  recordOneOfEachKind();
  fs::create_directories(file("store"));
  fs::create_symlink("store/run.kvd", file("link.kvd"));
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);  // its number now names no process
  const std::string killed = file("store/.kvdtmp-" + std::to_string(child) + "-0-1");
  const std::string running = file("store/.kvdtmp-" + std::to_string(::getppid()) + "-0-1");
  const std::string other = file("store/.kvdtmp-notes");
  for (const std::string& leftover : {killed, running, other}) writeFileBytes(leftover, "partial");

  pt::host::saveTraceDataFile(file("link.kvd"));
  EXPECT_TRUE(fs::is_symlink(file("link.kvd")));
  EXPECT_FALSE(fs::exists(killed));
  EXPECT_TRUE(fs::exists(running));
  EXPECT_TRUE(fs::exists(other));
  pt::host::loadTraceDataFile(file("store/run.kvd"));
  EXPECT_EQ(tracer().rawDataVector()->size(), 4u);
}

// More records than one progress update covers, so that the last partial
// stretch must be counted too.
TEST_F(TraceDataFile, ProgressEndsWithEveryRecordOfTheFileRead) {
  pt_test::TraceBuilder trace(tracer());
  constexpr int kPhases = 5001;
  for (int i = 0; i < kPhases; ++i) trace.start("P", i * 1e-3).end("P", i * 1e-3 + 5e-4);
  tracer().setRawDataVector(trace.points());
  const std::string path = file("progress.kvd");
  pt::host::saveTraceDataFile(path);

  pt::host::ReadProgress progress;
  pt::host::loadTraceDataFile(path, &progress);
  EXPECT_EQ(progress.records.load(), 2u * kPhases);
  EXPECT_EQ(progress.recordsRead.load(), 2u * kPhases);
  EXPECT_EQ(tracer().rawDataVector()->size(), 2u * kPhases);
}

// "<prefix><n>", built without a temporary (GCC 12 warns on literal + to_string).
std::string numbered(const char* prefix, int n) {
  std::string text(prefix);
  text += std::to_string(n);
  return text;
}

// A scripted session through every logging member, on a fake clock and probe:
// identifiers of many names (whose order in a record is that of the point's
// map), empty values and an odd list, tool kinds, detailed snapshots on and
// off, a failing probe.
void recordScriptedSession(PerformanceTracer& t, FakeClock& clock, FakeMemoryProbe& probe) {
  using Pairs = std::vector<std::string>;
  t.enableGrouping("Calvoran Compile", true);
  t.enableGrouping("Test Run", true);
  t.setUsePerformanceTracerRecorder(false);
  t.setBasicMemStatsEnabled(true);
  t.setStatisticsTypeForModel("vdp", "Accelerated");
  t.addTestPathToMap("user1", "suite.m > Brakes > step # 2");
  const IdentifierName model("modelStr"), target("targetStr");
  const std::array<std::string, 3> models = {"vdp", "f14", "sldemo_autotrans"};
  for (int i = 0; i < 24; ++i) {
    clock.wall = 1700000000.0 + i * 0.125;
    clock.cpu = 3.0 + i / 64.0;
    probe.basic = {4096.0 * (100 + i), 4096.0 * (200 + 2 * i), 1e9 + 4096.0 * i};
    probe.detailed = {std::uint64_t(10 + i), std::uint64_t(20 + i), std::uint64_t(30 + i), std::uint64_t(40 + i),
                      std::uint64_t(50 + i)};
    probe.basicFails = i % 7 == 6;
    t.setDetailedMemStatsEnabled(i % 3 == 0);
    const std::string& m = models[i % models.size()];
    const std::string phase = numbered("Phase ", i % 5);
    const bool isStart = i % 2 == 0;
    switch (i % 6) {
      case 0:
        t.logEvent("Calvoran Compile", phase, isStart,
                   Pairs{"modelStr", m, "targetStr", "grt", "machineStr", numbered("M", i % 4), "chartStr", "C",
                         "TestFile", "t.m", "TestSuite", "S", "TestCase", numbered("c", i)});
        break;
      case 1: {
        const std::string empty;
        const std::array<PerformanceTracer::LoggedIdentifier, 2> ids{{{model, m}, {target, i % 4 == 1 ? empty : m}}};
        t.logEvent("Test Run", phase, isStart, ids);
        break;
      }
      case 2: t.logEvent("Test Run", phase, isStart, Pairs{"UserString", "user1", "Iteration", "", "dangling"}); break;
      case 3: t.logCalvoranData("Calvoran Compile", m, "ert", phase, isStart); break;
      case 4: t.logQuorindelData("Test Run", m, "grt", "Machine", numbered("Chart ", i), phase, isStart); break;
      default:
        t.logKAVLORData("Calvoran Compile", phase, isStart);
        t.logTracerData("Test Run", phase, !isStart, {"modelStr", "extra"}, {m});
    }
  }
}

// The trace a scripted session saves stays the same byte for byte: points,
// their values and identifier order, the enumeration and the test paths.
// The machine's own description is left out. PT_WRITE_FIXTURES=1 rewrites
// the fixture from the running code.
TEST_F(TraceDataFile, AScriptedSessionSavesTheSameTraceAsBefore) {
  FakeClock clock;
  FakeMemoryProbe probe;
  PerformanceTracer t;
  t.initialize();
  t.setClock(&clock);
  t.setMemoryProbe(&probe);
  recordScriptedSession(t, clock, probe);
  ASSERT_EQ(t.rawDataVector()->size(), 28u);
  const std::string saved = file("session.kvd");
  pt::host::saveTraceDataFile(t, saved);

  const std::string trace = file("trace.kvd");
  kvdFile* in = kvdOpen(saved.c_str(), "r");
  kvdFile* out = kvdOpen(trace.c_str(), "w");
  for (const char* variable : {"PerformanceTracingRawDataVector", "IdentifierEnumeratorInfo", "MapTestPath"}) {
    const HostArrayPtr value(kvdGetVariable(in, variable));
    ASSERT_NE(value, nullptr) << variable;
    ASSERT_EQ(kvdPutVariable(out, variable, value.get()), 0) << variable;
  }
  kvdClose(in);
  ASSERT_EQ(kvdClose(out), 0);
  const std::string fixture = std::string(PT_TEST_DATA_DIR) + "/scripted_session.kvd";
  const char* rewrite = std::getenv("PT_WRITE_FIXTURES");
  if (rewrite != nullptr && std::string(rewrite) == "1") writeFileBytes(fixture, fileBytes(trace));
  EXPECT_EQ(fileBytes(trace), fileBytes(fixture));
}

}  // namespace
