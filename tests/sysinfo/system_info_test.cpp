#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_calls.h"
#include "platform/host_messages.h"
#include "support/raised.h"
#include "sysinfo/system_info_gathering.h"
#include "tracer/performance_tracer.h"

namespace {

using platform::ScopedHostFunction;

// Fake answers of the four host functions the gathering asks, keyed by
// "function query" ("version" alone without an input); every call is logged.
// A missing key makes the call fail; a number answers with a double.
class FakeHost {
 public:
  std::map<std::string, std::string> texts = {
      {"system_dependent getcpu", "Fake CPU @ 3.2GHz"}, {"system_dependent getos", "Debian 12"},
      {"system_dependent getwinsys", "Linux 6.1"},      {"version", "9.1.0"},
      {"evalc ver", "Product A  Version 1\n"},
  };
  std::map<std::string, double> numbers = {{"feature numCores", 12}};
  std::vector<std::string> calls;

  FakeHost() {
    for (const std::string function : {"system_dependent", "feature", "version", "evalc"}) {
      scoped_.push_back(std::make_unique<ScopedHostFunction>(
          function, [this, function](int, haArray* outputs[], int nIn, const haArray* const inputs[]) {
            const std::string key = nIn > 0 ? function + " " + haArrayToStdString(inputs[0]) : function;
            calls.push_back(key);
            if (texts.count(key) == 1) {
              outputs[0] = haCreateString(texts.at(key).c_str());
            } else if (numbers.count(key) == 1) {
              outputs[0] = haCreateDoubleScalar(numbers.at(key));
            } else {
              return 1;
            }
            return 0;
          }));
    }
  }

 private:
  std::vector<std::unique_ptr<ScopedHostFunction>> scoped_;
};

TEST(SystemInfo, FieldsComeFromTheHostInOrder) {
  FakeHost host;  // the Java query fails: there is no answer for it
  const PTSystemInfoStruct info = pt::sysinfo::gatherSystemInfo();
  EXPECT_EQ(
      (std::vector<std::string>{info.processorStr, info.numCoresStr, info.totalPhysMemStr, info.operatingSystemStr,
                                info.KAVLORVersionStr, info.javaVMVersionStr, info.installedProductsStr}),
      (std::vector<std::string>{"Fake CPU @ 3.2GHz", "12", "N/A", "Debian 12 Linux 6.1", "9.1.0", "",
                                "Product A  Version 1\n"}));
  EXPECT_NE(info.cpuSpeedStr.find("Hz"), std::string::npos);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"system_dependent getcpu", "feature numCores", "version", "version -java",
                                      "system_dependent getos", "system_dependent getwinsys", "evalc ver"}));
}

TEST(SystemInfo, AnswersOfTheWrongKindRaiseUnexpectedValue) {
  // Each query in turn answered with a number where text is due, or the reverse.
  for (const auto& [query, shown] : {std::pair{"system_dependent getcpu", "CPU information"},
                                     {"feature numCores", "Number of Cores"},
                                     {"evalc ver", "installed products: [evalc('ver')]"}}) {
    FakeHost host;
    if (host.texts.erase(query) == 1) {
      host.numbers[query] = 1;
    } else {
      host.numbers.erase(query);
      host.texts[query] = "twelve";
    }
    const platform::HostError e = pt_test::raised([] { pt::sysinfo::gatherSystemInfo(); });
    EXPECT_EQ(e.key(), "UnexpectedValue");
    EXPECT_EQ(e.arguments(), std::vector<std::string>{shown}) << query;
  }
}

TEST(SystemInfo, CpuSpeedText) {
  EXPECT_EQ(pt::sysinfo::formatCpuSpeed(3200000), "3.2 GHz");
  EXPECT_EQ(pt::sysinfo::formatCpuSpeed(3456789), "3.4568 GHz");
  EXPECT_EQ(pt::sysinfo::formatCpuSpeed(1000000), "1000 MHz");  // not more than 1 GHz
  EXPECT_EQ(pt::sysinfo::formatCpuSpeed(800000), "800 MHz");
  EXPECT_EQ(pt::sysinfo::formatCpuSpeed(std::nullopt), "0 MHz");
}

TEST(SystemInfo, TracerGathersOncePerProcess) {
  PerformanceTracer& tracer = *PerformanceTracer::getInstance();
  FakeHost host;
  const PTSystemInfoStruct first = tracer.gatherSystemInfoFromKAVLOR();
  const std::size_t callsAfterFirst = host.calls.size();
  EXPECT_EQ(tracer.gatherSystemInfoFromKAVLOR().processorStr, first.processorStr);
  EXPECT_EQ(tracer.getSystemInfo()->installedProductsStr, first.installedProductsStr);
  EXPECT_EQ(host.calls.size(), callsAfterFirst);  // neither asks anything
}

}  // namespace
