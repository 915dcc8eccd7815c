#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "host/trace_data_file.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"

namespace {

namespace fs = std::filesystem;

// More records than one progress update covers, so that the last partial
// stretch must be counted too.
TEST(TraceDataFileProgress, EndsWithEveryRecordOfTheFileRead) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  ptClearRawData();
  pt_test::TraceBuilder trace(tracer);
  constexpr int kPhases = 5001;
  for (int i = 0; i < kPhases; ++i) trace.start("P", i * 1e-3).end("P", i * 1e-3 + 5e-4);
  tracer.setRawDataVector(trace.points());
  const std::string path = (fs::path(::testing::TempDir()) / ("progress_" + std::to_string(::getpid()) + ".kvd")).string();
  pt::host::saveTraceDataFile(path);

  pt::host::ReadProgress progress;
  pt::host::loadTraceDataFile(path, &progress);
  fs::remove(path);
  EXPECT_EQ(progress.records.load(), 2u * kPhases);
  EXPECT_EQ(progress.recordsRead.load(), 2u * kPhases);
  EXPECT_EQ(tracer.rawDataVector()->size(), 2u * kPhases);
}

}  // namespace
