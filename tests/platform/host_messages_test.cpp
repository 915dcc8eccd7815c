#include "platform/host_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/raised.h"

namespace {

using platform::HostError;
using platform::HostWarning;

using pt_test::raised;

TEST(HostMessages, ErrorCarriesIdentifierKeyArgumentsAndText) {
  const HostError e = raised([] { haErrorMsgIdAndTxt("DataWriteFail", "Raw Data", std::string("run.kvd")); });
  EXPECT_EQ(e.identifier(), "performance_tracer:PerformanceTracer:DataWriteFail");
  EXPECT_EQ(e.key(), "DataWriteFail");
  EXPECT_EQ(e.arguments(), (std::vector<std::string>{"Raw Data", "run.kvd"}));
  EXPECT_STREQ(e.what(), "Unable to write the Raw Data to file 'run.kvd'.");

  // The full identifier names the same key.
  const HostError full = raised([] {
    haErrorMsgIdAndTxt("performance_tracer:PerformanceTracer:OpenFileFailed", std::string_view("x.kvd"),
                       "Permission denied");
  });
  EXPECT_EQ(full.key(), "OpenFileFailed");
  EXPECT_STREQ(full.what(), "Unable to open file 'x.kvd': Permission denied.");
  EXPECT_EQ(raised([] { haErrorMsgIdAndTxt("MissingKvdExt"); }).arguments().size(), 0u);
}

TEST(HostMessages, CatalogHasEveryKeyWithItsArguments) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> keys = {
      {"ExpectedEvenNumberOfParameters", {}},
      {"MinParamsNotReached", {"4"}},
      {"MaxParamsExceeded", {"14"}},
      {"ParameterMismatchString", {"Filename"}},
      {"ParameterMismatchBoolean", {"Enable"}},
      {"InvalidNames", {}},
      {"ExpectedNames", {"'htmlfile' to be set."}},
      {"UnexpectedValue", {"KAVLOR Root"}},
      {"InvalidMetric", {"time", "basicmemory", "detailedmemory"}},
      {"InvalidFormat", {"ModelBased", "PhaseBased"}},
      {"NoRawTracerData", {}},
      {"NoRawTracerDataLoaded", {"lhs.kvd"}},
      {"WindowsOnlyFeature", {"Detailed Memory Statistics"}},
      {"AddGroupingExpectedString", {}},
      {"AddGroupingError", {"grouping exists"}},
      {"RemoveGroupingError", {"G1"}},
      {"MissingKvdExt", {}},
      {"OpenFileFailed", {"a.kvd", "No such file or directory"}},
      {"WriteFileFailed", {"r.html"}},
      {"DataWriteFail", {"TestPath Map", "a.kvd"}},
      {"CompareFailed", {"Calvoran Test data", "Calvoran data"}},
      {"CorruptKvdFile", {"a.kvd", "the file is empty"}},
      {"SkippedRecords", {"2", "a.kvd", "2 have the record version '2', which this version does not read"}},
      {"NoCLTestInfo", {"'htmlfile', 'r.html'"}},
      {"NotAvailable", {"ZezaDazod.Tracer.generateHTMLReport"}},
      {"vesk:UndefinedMethod", {"stop", "Pkg.Point"}},
      {"vesk:InputTypeMismatch", {"2", "Pkg.fn", "string"}},
      {"hvm:UndefinedFunction", {"clsvInternal"}},
  };
  for (const auto& [key, arguments] : keys) {
    const std::string text = platform::hostMessageText(key, arguments);
    EXPECT_EQ(text.find(key), std::string::npos) << key << " has no catalog text";
    EXPECT_EQ(text.find("%s"), std::string::npos) << key;
    for (const std::string& argument : arguments)
      EXPECT_NE(text.find(argument), std::string::npos) << key << " drops " << argument;
  }
  EXPECT_EQ(platform::hostMessageText("NoSuchKey", {"a", "b"}), "performance_tracer:PerformanceTracer:NoSuchKey: a, b");
}

TEST(HostMessages, WarningsReachTheInstalledSink) {
  std::vector<HostWarning> seen;
  platform::WarningSink previous = platform::setWarningSink([&](const HostWarning& w) { seen.push_back(w); });
  haWarningMsgId("performance_tracer:PerformanceTracer:NoCLTestInfo", "'format', 'modelBased'");
  platform::setWarningSink(previous);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].identifier, "performance_tracer:PerformanceTracer:NoCLTestInfo");
  EXPECT_EQ(seen[0].arguments, std::vector<std::string>{"'format', 'modelBased'"});
  EXPECT_NE(seen[0].message.find("'format', 'modelBased'"), std::string::npos);

  ::testing::internal::CaptureStderr();
  haWarningMsgId("performance_tracer:PerformanceTracer:NoCLTestInfo", "x");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Warning: ", 0), 0u) << err;
  EXPECT_EQ(seen.size(), 1u);  // the replaced sink no longer hears anything
}

}  // namespace
