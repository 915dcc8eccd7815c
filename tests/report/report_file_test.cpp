#include "support/failing_file_calls.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Report {
  Report() { tracer.initialize(); }

  std::string write(const std::string& statisticsType, bool aggregateOnly = false, const std::string& title = "GLOBAL",
                    bool givenInfo = true) {
    const std::string path = folder.file("report.html");
    EXPECT_TRUE(trace.writeReport(path, statisticsType, aggregateOnly, givenInfo ? &info : nullptr, title));
    return pt_test::fileBytes(path);
  }

  pt_test::ScratchFolder folder;
  PerformanceTracer tracer;
  pt_test::TraceBuilder trace{tracer};
  PTSystemInfoStruct info;
};

TEST(PhaseReport, PageCarriesTheDataAfterThePage) {
  Report r;
  r.trace.start("Load", 0.0).start("Parse", 0.0).end("Parse", 0.05).end("Load", 0.06);
  const std::string page = r.write("time");
  EXPECT_NE(page.find("        var procData = [new dataStruct(1,\"1\",0,"), std::string::npos);
  EXPECT_NE(page.find("<li><span>Details</span></li>"), std::string::npos);
  EXPECT_LT(page.find("</html>\n"), page.find("var procData"));
}

TEST(PhaseReport, UnpairableTracesGiveTheErrorPageAndMissingStatisticsTheirNotice) {
  Report r;
  EXPECT_NE(r.write("time").find("An error has been detected in the PerformanceTracer instrumentation."),
            std::string::npos);
  r.trace.start("A", 0.0).end("B", 0.1);
  EXPECT_TRUE(r.write("time").starts_with("<html>\n    <body>\nAn error has been detected"));
  EXPECT_TRUE(r.write("time", true).starts_with("<html>\n    <body>\nAn error has been detected"));

  // Detailed memory needs detailed statistics.
  Report noDetails;
  noDetails.trace.withoutMemory().start("A", 0.0).end("A", 0.05);
  EXPECT_TRUE(
      noDetails.write("detailedmemory").starts_with("<html>\n    <body>\nDetailed memstats was not collected.<br>\n"));
}

TEST(PhaseReport, AFailedWriteIsReportedAndKeepsThePreviousReport) {
  Report r;
  r.trace.start("Load", 0.0).end("Load", 0.05);
  const std::string path = r.folder.file("report.html");
  pt_test::writeFileBytes(path, "previous report");
  using Fail = pt_test::FailingCalls::Fail;
  for (const Fail fail : {Fail::kOpen, Fail::kSecondWrite, Fail::kClose}) {
    for (const bool aggregateOnly : {false, true}) {
      pt_test::FailingCalls calls(fail);
      r.tracer.setFileCalls(&calls);
      EXPECT_FALSE(r.trace.writeReport(path, "time", aggregateOnly));
      EXPECT_EQ(pt_test::fileBytes(path), "previous report");
      EXPECT_EQ(r.folder.entries(), 1u);
    }
  }
  r.tracer.setFileCalls(nullptr);
  EXPECT_TRUE(r.trace.writeReport(path, "time"));
  EXPECT_TRUE(pt_test::fileBytes(path).ends_with("    </script>\n"));
}

TEST(PhaseReport, NulBytesInTracedTextsKeepThePageWhole) {
  Report r;
  const std::string nul("\0", 1);
  r.trace.start("Load" + nul + "ed", 0.0).end("Load" + nul + "ed", 0.05);
  r.info.installedProductsStr = "Tool 1.0" + nul + "Tool 2.0";
  const std::string page = r.write("time", false, "Title" + nul + "Rest");
  // The text after each NUL: the rest of the title, of the system
  // information and of the phase name, and the page's end.
  EXPECT_NE(page.find("<title>Title" + nul + "Rest</title>"), std::string::npos);
  EXPECT_NE(page.find("Tool 1.0" + nul + "Tool 2.0</pre>"), std::string::npos);
  EXPECT_NE(page.find("\"Load\\x00ed\""), std::string::npos);
  EXPECT_TRUE(page.ends_with("    </script>\n"));
}

TEST(PhaseReport, WithoutAGivenRecordThePageShowsTheRecordingsOwn) {
  Report r;
  r.trace.start("Load", 0.0).end("Load", 0.05);
  auto shown = [&] {
    const std::string page = r.write("time", false, "", false);
    const std::size_t table = page.find("<div id=\"systemInfoTableDiv\"");
    return page.substr(table, page.find("</div>", table) - table);
  };
  // A trace loaded with the record of the machine that made it.
  PTSystemInfoStruct recorded;
  recorded.processorStr = "Recording CPU";
  recorded.installedProductsStr = "Recording host 2.1";
  r.tracer.setSystemInfo(&recorded);
  const std::string withRecord = shown();
  EXPECT_NE(withRecord.find("<td>Recording CPU</td>"), std::string::npos) << withRecord;
  EXPECT_NE(withRecord.find("Recording host 2.1</pre>"), std::string::npos) << withRecord;
  // A trace loaded without one: nothing is shown, least of all this machine.
  const PTSystemInfoStruct none;
  r.tracer.setSystemInfo(&none);
  const std::string withoutRecord = shown();
  EXPECT_EQ(withoutRecord.find("Processor: "), std::string::npos) << withoutRecord;
  EXPECT_NE(withoutRecord.find("<pre class=\"SystemInfoText\">\n</pre>"), std::string::npos) << withoutRecord;
}

}  // namespace
