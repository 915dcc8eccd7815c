#include "platform/host_calls.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <boost/version.hpp>
#include <stdexcept>
#include <string>

#include "platform/system_probe.h"
#include "support/scratch_files.h"

namespace {

using platform::HostArrayPtr;

// Calls `function` with text inputs for one output; false when the call fails.
bool callForOne(const char* function, std::initializer_list<const char*> texts, HostArrayPtr& out) {
  std::vector<HostArrayPtr> owned;
  std::vector<haArray*> inputs;
  for (const char* t : texts) {
    owned.emplace_back(haCreateString(t));
    inputs.push_back(owned.back().get());
  }
  haArray* outputs[1] = {reinterpret_cast<haArray*>(0x1)};  // must be cleared either way
  const int result = hxCallKAVLOR(1, outputs, static_cast<int>(inputs.size()), inputs.data(), function);
  out.reset(outputs[0]);
  EXPECT_TRUE(result == 0 || outputs[0] == nullptr) << function << " failed but left an output";
  return result == 0;
}

std::string callForText(const char* function, std::initializer_list<const char*> texts) {
  HostArrayPtr out;
  if (!callForOne(function, texts, out)) {
    ADD_FAILURE() << function << " failed";
    return {};
  }
  EXPECT_TRUE(haIsCharVector(out.get())) << function;
  return haArrayToStdString(out.get());
}

TEST(HostCalls, BuiltinsAnswerForThisMachineAndListTheInstalledComponents) {
  EXPECT_EQ(callForText("kavlorroot", {}), platform::installationRoot());

  const std::string cpu = callForText("system_dependent", {"getcpu"});
  EXPECT_FALSE(cpu.empty());
  EXPECT_NE(pt_test::fileBytes("/proc/cpuinfo").find(cpu), std::string::npos) << cpu;
  EXPECT_EQ(callForText("system_dependent", {"GetCPU"}), cpu);

  const std::string os = callForText("system_dependent", {"getos"});
  EXPECT_NE(pt_test::fileBytes("/etc/os-release").find("PRETTY_NAME=\"" + os + "\""), std::string::npos) << os;
  struct utsname machine {};
  ASSERT_EQ(uname(&machine), 0);
  EXPECT_EQ(callForText("system_dependent", {"getwinsys"}), std::string(machine.sysname) + " " + machine.release);

  HostArrayPtr cores;
  ASSERT_TRUE(callForOne("feature", {"numCores"}, cores));
  ASSERT_TRUE(haIsDouble(cores.get()) && haIsScalar(cores.get()));
  EXPECT_EQ(haGetScalar(cores.get()), static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN)));

  const std::string version = callForText("version", {});
  EXPECT_NE(version.find('.'), std::string::npos) << version;
  HostArrayPtr java;
  EXPECT_FALSE(callForOne("version", {"-java"}, java));  // no Java VM in this host

  const std::string listing = callForText("evalc", {"ver"});
  const std::string boost = std::to_string(BOOST_VERSION / 100000) + "." + std::to_string(BOOST_VERSION / 100 % 1000) +
                            "." + std::to_string(BOOST_VERSION % 100);
  for (const std::string& part : {"performance_tracer Version " + version, std::string("Boost"), boost,
                                  std::string("libcbor"), std::string("OpenSSL"), os})
    EXPECT_NE(listing.find(part), std::string::npos) << part << " missing from\n" << listing;
}

TEST(HostCalls, BadCallsFailWithoutOutputs) {
  HostArrayPtr out;
  EXPECT_FALSE(callForOne("no_such_function", {}, out));
  EXPECT_FALSE(callForOne("system_dependent", {"getnothing"}, out));
  EXPECT_FALSE(callForOne("system_dependent", {}, out));
  EXPECT_FALSE(callForOne("feature", {"numCores", "extra"}, out));
  EXPECT_FALSE(callForOne("evalc", {"system('rm -rf /')"}, out));
  EXPECT_FALSE(callForOne("kavlorroot", {"unexpected"}, out));

  HostArrayPtr number(haCreateDoubleScalar(3));
  haArray* inputs[1] = {number.get()};
  haArray* outputs[2] = {nullptr, nullptr};
  EXPECT_NE(hxCallKAVLOR(1, outputs, 1, inputs, "feature"), 0);   // not a text
  EXPECT_NE(hxCallKAVLOR(2, outputs, 0, nullptr, "version"), 0);  // one output only
  EXPECT_NE(hxCallKAVLOR(-1, outputs, 0, nullptr, "version"), 0);
  EXPECT_NE(hxCallKAVLOR(1, outputs, 0, nullptr, nullptr), 0);
  EXPECT_EQ(outputs[0], nullptr);
  EXPECT_EQ(outputs[1], nullptr);
}

TEST(HostCalls, FakesReplaceAndRestoreFunctions) {
  const std::string realRoot = platform::installationRoot();
  {
    platform::ScopedHostFunction fake("kavlorroot", [](int, haArray* out[], int, const haArray* const[]) {
      out[0] = haCreateString("C:\\fake\\root");
      return 0;
    });
    EXPECT_EQ(callForText("kavlorroot", {}), "C:\\fake\\root");
  }
  EXPECT_EQ(callForText("kavlorroot", {}), realRoot);

  HostArrayPtr out;
  {
    // A failing function's partial outputs are released (AddressSanitizer would see a leak).
    platform::ScopedHostFunction failing("version", [](int, haArray* out[], int, const haArray* const[]) {
      out[0] = haCreateString("half done");
      return 3;
    });
    EXPECT_FALSE(callForOne("version", {}, out));
    platform::ScopedHostFunction throwing(
        "evalc", [](int, haArray*[], int, const haArray* const[]) -> int { throw std::runtime_error("boom"); });
    EXPECT_FALSE(callForOne("evalc", {"ver"}, out));
    platform::ScopedHostFunction silent("feature", [](int, haArray*[], int, const haArray* const[]) { return 0; });
    EXPECT_FALSE(callForOne("feature", {"numCores"}, out));  // succeeded without the output asked for
  }
  platform::unregisterHostFunction("version");
  EXPECT_FALSE(callForOne("version", {}, out));
  platform::restoreBuiltinHostFunctions();
  EXPECT_TRUE(callForOne("version", {}, out));
}

}  // namespace
