#include <gtest/gtest.h>

#include <string>

#include "host/trace_data_file.h"
#include "support/scratch_files.h"
#include "support/trace_builder.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_clearing.h"

namespace {

// More records than one progress update covers, so that the last partial
// stretch must be counted too.
TEST(TraceDataFileProgress, EndsWithEveryRecordOfTheFileRead) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  ptClearRawData();
  pt_test::TraceBuilder trace(tracer);
  constexpr int kPhases = 5001;
  for (int i = 0; i < kPhases; ++i) trace.start("P", i * 1e-3).end("P", i * 1e-3 + 5e-4);
  tracer.setRawDataVector(trace.points());
  const pt_test::ScratchFolder folder;
  const std::string path = folder.file("progress.kvd");
  pt::host::saveTraceDataFile(path);

  pt::host::ReadProgress progress;
  pt::host::loadTraceDataFile(path, &progress);
  EXPECT_EQ(progress.records.load(), 2u * kPhases);
  EXPECT_EQ(progress.recordsRead.load(), 2u * kPhases);
  EXPECT_EQ(tracer.rawDataVector()->size(), 2u * kPhases);
}

}  // namespace
