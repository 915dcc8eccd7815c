// A small tool instrumented with performance_tracer: it logs the nested phases
// of its work (per model, for one target), saves the trace to a trace data
// file and writes the HTML report of it.
//
//   instrument_a_tool [OUTPUT_FOLDER]     (default: instrument-a-tool-output)
//   ptrace info OUTPUT_FOLDER/example.kvd
#include <cmath>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/trace_data_file.h"
#include "tracer/performance_tracer.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

namespace {

// Points are recorded only for enabled groupings; a tool names its own.
constexpr const char* kGrouping = "Example Tool";
constexpr const char* kTarget = "TGX";

// Logs the start of a phase now and its end when the scope is left, however it is left.
class Phase {
 public:
  Phase(std::string model, std::string name) : model_(std::move(model)), name_(std::move(name)) {
    ptLogCalvoranData(kGrouping, model_, kTarget, name_, true);
  }
  ~Phase() { ptLogCalvoranData(kGrouping, model_, kTarget, name_, false); }
  Phase(const Phase&) = delete;
  Phase& operator=(const Phase&) = delete;

 private:
  std::string model_, name_;
};

// Stands in for real work.
double work(int steps) {
  double sum = 0;
  for (int i = 1; i <= steps; ++i) sum += std::sin(i) / i;
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::filesystem::path out = argc > 1 ? argv[1] : "instrument-a-tool-output";
    std::filesystem::create_directories(out);

    ptAddGrouping(kGrouping);
    ptEnableTracer(kGrouping, true);

    double result = 0;
    for (const char* model : {"pendulum", "thermostat"}) {
      const Phase build(model, "Build");
      {
        const Phase parse(model, "Parse");
        result += work(200000);
      }
      {
        const Phase generate(model, "Generate code");
        result += work(500000);
      }
    }

    const std::string trace = (out / "example.kvd").string();
    pt::host::saveTraceDataFile(trace);

    PerformanceTracer& tracer = *PerformanceTracer::getInstance();
    const std::string report = (out / "example-time.html").string();
    if (!tracer.generateHTMLReport(report, kGrouping, "instrument_a_tool", "time", false, nullptr,
                                   tracer.getSystemInfo())) {
      std::cerr << "instrument_a_tool: cannot write " << report << "\n";
      return 1;
    }
    std::cout << "result " << result << "\n"
              << "trace:  " << trace << "\n"
              << "report: " << report << "\n";
  } catch (const std::exception& error) {
    std::cerr << "instrument_a_tool: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
