#include "tracer/text_utils.h"

#include "platform/host_array.h"
#include "platform/host_calls.h"
#include "platform/host_messages.h"
#include "support/failing_file_calls.h"
#include "support/raised.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_logging.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Pieces = std::vector<std::string>;

TEST(RootTest, PhaseNamesBecomeRelativeToTheRootWithoutCustomizationFolders) {
  ptSetCurrentKAVLORRoot("C:\\kv\\R2024");
  EXPECT_EQ(ptCleanupPhaseName("C:\\kv\\R2024\\toolbox\\sim\\load.m", false), "toolbox/sim/load.m");
  EXPECT_EQ(ptRemoveKAVLORRoot("D:/work/C:/kv/R2024/x.m"), "D:/work/C:/kv/R2024/x.m");
  EXPECT_EQ(ptRemoveKAVLORRoot("C:/kv/R2024b/x.m"), "C:/kv/R2024b/x.m");  // a sibling folder, not the root
  EXPECT_EQ(ptRemoveKAVLORRoot("C:/kv/R2024"), "");
  EXPECT_EQ(ptCleanupPhaseName("//x", false), "x");
  EXPECT_EQ(ptCleanupPhaseName("a/b", false), "a/b");
  // Customization folders are stripped, the internal one first.
  EXPECT_EQ(ptCleanupPhaseName("C:\\kv\\R2024\\tb\\cl_internal_customization\\cl_customization\\f.m", true), "tb/f.m");
  EXPECT_EQ(ptCleanupPhaseName("tb/cl_customization/f.m", false), "tb/cl_customization/f.m");
  EXPECT_EQ(ptCleanupPhaseName("x/cl_customization", true), "x");
  EXPECT_EQ(ptCleanupPhaseName("//cl_customization", true), "/cl_customization");  // not longer than the folder
  ptSetCurrentKAVLORRoot("");
}

TEST(DoubleToUString, PrintsSeventeenDigitsAndCutsWithoutRounding) {
  const std::tuple<double, int, const char*> cases[] = {{2.5, 2, "2.5"},
                                                        {3, 2, "3.00"},
                                                        {12.5, 0, "12"},
                                                        {0.1, 3, "0.100"},
                                                        {0.129, 2, "0.12"},
                                                        {-7, 0, "-7"},
                                                        {-1.0 / 0.0, 1, "-inf.0"},
                                                        // Exponent forms are written out, not cut to their mantissa.
                                                        {1e-5, 2, "0.00"},
                                                        {-std::ldexp(1.0, -20), 10, "-0.0000009536"},
                                                        {1e20, 1, "100000000000000000000.0"}};
  for (const auto& [value, precision, text] : cases)
    EXPECT_EQ(ptDoubleToUString(value, precision), text) << value << " to " << precision;

  testing::internal::CaptureStdout();
  EXPECT_EQ((Pieces{ptDoubleToUString(1.5, -1), ptDoubleToUString(1.5, 2000000000)}), Pieces(2, ""));
  const std::string console = testing::internal::GetCapturedStdout();
  EXPECT_NE(console.find("Exception in ptDoubleToUString\n precision outside 0..1000\nParams: val=1.500000\t"
                         "precision=-1\n"),
            std::string::npos);
}

TEST(StringHelpers, SplitFindCapitalizeAndSuffix) {
  EXPECT_EQ((std::vector<Pieces>{splitString("a > b > ", " > "), splitString("plain", " > "), splitString("ab", "")}),
            (std::vector<Pieces>{{"a", "b", ""}, {"plain"}, {"ab"}}));
  EXPECT_EQ((Pieces{findIdentifierValue("b", {"a", "b", "b"}, {"1", "2", "3"}), findIdentifierValue("a", {}, {}),
                    findIdentifierValue("b", {"a", "b"}, {"1"}), capitalizeFirstLetter("model"),
                    capitalizeFirstLetter(""), PerformanceTracer::removeStrSuffix("modelStr"),
                    PerformanceTracer::removeStrSuffix("Str"), PerformanceTracer::removeStrSuffix("St")}),
            (Pieces{"2", "", "", "Model", "", "model", "", "St"}));
}

TEST(WriteUStringToFile, WritesEveryByteAndReportsAFullDiskOrAFileThatCannotBeMade) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(ptWriteUStringToFile(full, "a report"));
  std::fclose(full);
  EXPECT_FALSE(ptWriteUStringToFile(nullptr, "a report"));

  // Every byte, a NUL too; a disk taking a few bytes at a time gets them all;
  // one refusing them is a failure, as is a file that cannot open.
  const std::string text("before\0after", 12);
  for (const auto& [fail, written] : {std::pair{pt_test::FailingCalls::Fail::kNothing, true},
                                      {pt_test::FailingCalls::Fail::kShortWrites, true},
                                      {pt_test::FailingCalls::Fail::kWrite, false}}) {
    pt_test::FailingCalls calls(fail);
    PerformanceTracer::getInstance()->setFileCalls(&calls);
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ptWriteUStringToFile(file, text), written);
    std::rewind(file);
    std::string back(32, ' ');
    back.resize(std::fread(back.data(), 1, back.size(), file));
    EXPECT_EQ(back, written ? text : "");
    std::fclose(file);
    PerformanceTracer::getInstance()->setFileCalls(nullptr);
  }
  pt_test::FailingCalls refusing(pt_test::FailingCalls::Fail::kOpen);
  PerformanceTracer::getInstance()->setFileCalls(&refusing);
  EXPECT_EQ(ptCreateReportFile(::testing::TempDir() + "refused.html"), nullptr);
  PerformanceTracer::getInstance()->setFileCalls(nullptr);
  EXPECT_EQ(ptCreateReportFile(""), nullptr);
  EXPECT_EQ(ptCreateReportFile(std::string("a\0b", 3)), nullptr);  // would create "a"
}

TEST(KAVLORRoot, ComesFromTheHostAndIsKeptWhenTheHostFails) {
  std::string answer = "/opt/kavlor";
  bool fails = false;
  platform::ScopedHostFunction root("kavlorroot", [&](int, haArray* outputs[], int, const haArray* const*) {
    if (fails) return 1;
    outputs[0] = answer.empty() ? haCreateDoubleScalar(1) : haCreateString(answer.c_str());
    return 0;
  });
  EXPECT_EQ(ptGetKAVLORRoot(), "/opt/kavlor");
  fails = true;
  EXPECT_EQ(ptGetKAVLORRoot(), "/opt/kavlor");
  fails = false;
  answer.clear();
  const platform::HostError error = pt_test::raised([] { ptGetKAVLORRoot(); });  // a number is no root
  EXPECT_EQ(error.key(), "UnexpectedValue");
  EXPECT_EQ(error.arguments(), Pieces{"KAVLOR Root"});
}

}  // namespace
