#include "apps/ptrace/demo_workload.h"
#include "tracer/fixed_texts.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "tracer/pt_api.h"
#include "tracer/pt_groupings.h"
#include "tracer/pt_logging.h"

namespace ptrace_tool {
namespace {

const char* const kTarget = pt::kCodeGenerationTarget;
const char kLoadGrouping[] = "Calvoran Load";
const char kSessionGrouping[] = "Demo Session";

// A block computes out = gain * in[0] (+ in[1]) or integrates its input.
struct Block {
  enum Kind { kSource, kGain, kSum, kIntegrator } kind;
  double parameter;
  std::vector<int> inputs;
};

struct Model {
  std::string name;
  std::vector<Block> blocks;
  std::vector<int> order;  // execution order, filled by compiling
};

// One instruction per block of the generated program, in execution order.
struct Instruction {
  Block::Kind kind;
  double parameter;
  int output, first, second;
};

/// Opens a phase on construction and closes it on destruction, so that an
/// exception in the workload still leaves a paired trace.
class Phase {
 public:
  Phase(std::string grouping, std::string model, std::string phase)
      : grouping_(std::move(grouping)), model_(std::move(model)), phase_(std::move(phase)) {
    ptLogCalvoranData(grouping_, model_, kTarget, phase_, true);
  }
  ~Phase() { ptLogCalvoranData(grouping_, model_, kTarget, phase_, false); }
  Phase(const Phase&) = delete;
  Phase& operator=(const Phase&) = delete;

 private:
  std::string grouping_, model_, phase_;
};

std::string generateModelText(const std::string& name, int blocks, std::uint32_t seed) {
  std::ostringstream text;
  text << "model " << name << "\n";
  for (int i = 0; i < blocks; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const int kind = i == 0 ? 0 : 1 + static_cast<int>(seed % 3);
    text << "block " << i << " " << kind << " " << 0.5 + (seed >> 16) % 100 / 200.0;
    // Inputs always come from earlier blocks; compiling has to find that order again.
    if (kind != 0) text << " " << (seed >> 8) % i;
    if (kind == 2) text << " " << (seed >> 4) % i;
    text << "\n";
  }
  return text.str();
}

Model parseModel(const std::string& text) {
  std::istringstream lines(text);
  Model model;
  std::string word;
  lines >> word >> model.name;
  while (lines >> word) {
    if (word != "block") throw std::runtime_error("model " + model.name + ": unexpected '" + word + "'");
    int id = 0, kind = 0;
    Block block{};
    lines >> id >> kind >> block.parameter;
    block.kind = static_cast<Block::Kind>(kind);
    const int inputCount = kind == Block::kSource ? 0 : kind == Block::kSum ? 2 : 1;
    block.inputs.resize(inputCount);
    for (int& input : block.inputs) lines >> input;
    model.blocks.push_back(std::move(block));
  }
  return model;
}

// Kahn's algorithm over the block graph, visiting the model back to front so
// that the order really has to be computed.
void sortBlocks(Model& model) {
  const int count = static_cast<int>(model.blocks.size());
  std::vector<int> pending(count, 0);
  std::vector<std::vector<int>> readers(count);
  for (int i = 0; i < count; ++i) {
    for (int input : model.blocks[i].inputs) {
      ++pending[i];
      readers[input].push_back(i);
    }
  }
  std::vector<int> ready;
  for (int i = count - 1; i >= 0; --i) {
    if (pending[i] == 0) ready.push_back(i);
  }
  model.order.clear();
  while (!ready.empty()) {
    const int block = ready.back();
    ready.pop_back();
    model.order.push_back(block);
    for (int reader : readers[block]) {
      if (--pending[reader] == 0) ready.push_back(reader);
    }
  }
  if (static_cast<int>(model.order.size()) != count) throw std::runtime_error(model.name + ": algebraic loop");
}

std::string generateCode(const Model& model) {
  std::ostringstream code;
  code << "/* " << model.name << " for " << kTarget << " */\nvoid " << model.name << "_step(double* y) {\n";
  for (int id : model.order) {
    const Block& block = model.blocks[id];
    code << "  y[" << id << "] = ";
    switch (block.kind) {
      case Block::kSource: code << block.parameter; break;
      case Block::kGain: code << block.parameter << " * y[" << block.inputs[0] << "]"; break;
      case Block::kSum: code << "y[" << block.inputs[0] << "] + y[" << block.inputs[1] << "]"; break;
      case Block::kIntegrator: code << "y[" << id << "] + 0.001 * y[" << block.inputs[0] << "]"; break;
    }
    code << ";\n";
  }
  code << "}\n";
  return code.str();
}

// "Building" reads the generated code back into instructions, so a fault in
// code generation shows up as a failing test.
std::vector<Instruction> buildProgram(const std::string& code) {
  std::vector<Instruction> program;
  std::istringstream lines(code);
  std::string line;
  while (std::getline(lines, line)) {
    int output = 0, first = 0, second = 0;
    double value = 0.0;
    if (std::sscanf(line.c_str(), "  y[%d] = y[%d] + 0.001 * y[%d];", &output, &first, &second) == 3) {
      program.push_back({Block::kIntegrator, 0.0, output, second, -1});
    } else if (std::sscanf(line.c_str(), "  y[%d] = y[%d] + y[%d];", &output, &first, &second) == 3) {
      program.push_back({Block::kSum, 0.0, output, first, second});
    } else if (std::sscanf(line.c_str(), "  y[%d] = %lf * y[%d];", &output, &value, &first) == 3) {
      program.push_back({Block::kGain, value, output, first, -1});
    } else if (std::sscanf(line.c_str(), "  y[%d] = %lf;", &output, &value) == 2) {
      program.push_back({Block::kSource, value, output, -1, -1});
    }
  }
  return program;
}

std::vector<double> runProgram(const std::vector<Instruction>& program, std::size_t size, int steps) {
  std::vector<double> y(size, 0.0);
  for (int step = 0; step < steps; ++step) {
    for (const Instruction& op : program) {
      switch (op.kind) {
        case Block::kSource: y[op.output] = op.parameter; break;
        case Block::kGain: y[op.output] = op.parameter * y[op.first]; break;
        case Block::kSum: y[op.output] = y[op.first] + y[op.second]; break;
        case Block::kIntegrator: y[op.output] += 0.001 * y[op.first]; break;
      }
    }
  }
  return y;
}

std::vector<double> simulateReference(const Model& model, int steps) {
  std::vector<double> y(model.blocks.size(), 0.0);
  for (int step = 0; step < steps; ++step) {
    for (int id : model.order) {
      const Block& block = model.blocks[id];
      switch (block.kind) {
        case Block::kSource: y[id] = block.parameter; break;
        case Block::kGain: y[id] = block.parameter * y[block.inputs[0]]; break;
        case Block::kSum: y[id] = y[block.inputs[0]] + y[block.inputs[1]]; break;
        case Block::kIntegrator: y[id] += 0.001 * y[block.inputs[0]]; break;
      }
    }
  }
  return y;
}

bool sameResults(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    // The generated code prints parameters with six significant digits.
    if (std::abs(a[i] - b[i]) > 1e-4 * (1.0 + std::abs(b[i]))) return false;
  }
  return true;
}

}  // namespace

int runDemoWorkload(const std::string& slowerModel) {
  ptEnableBasicMemStats(true);
  ptEnableDetailedMemStats(true);
  // The built-in test tree holds test management, compiling, code generation
  // and building; loading and the session are groupings of the demo's own.
  ptEnableTracer("Calvoran Test", true);
  ptAddGrouping(kLoadGrouping);
  ptAddGrouping(kSessionGrouping);
  ptEnableTracer(kLoadGrouping, true);
  ptEnableTracer(kSessionGrouping, true);

  struct Subject {
    const char* name;
    int blocks;
  };
  const Subject subjects[] = {
      {"pendulum", 1500}, {"heat_exchanger", 4000}, {"fuel_pump", 2500}, {"cruise_control", 6000}};
  const char* const tests[] = {"Step", "Ramp"};

  int failures = 0;
  std::vector<Model> loaded;  // kept, so the memory columns show the models piling up
  ptLogKAVLORData(kSessionGrouping, "Demo Session", true);
  for (const Subject& subject : subjects) {
    Model model;
    {
      Phase load(kLoadGrouping, subject.name, "Load Model");
      std::string text;
      {
        Phase generate(kLoadGrouping, subject.name, "Read Model File");
        text = generateModelText(subject.name, subject.blocks, static_cast<std::uint32_t>(subject.blocks));
      }
      Phase parse(kLoadGrouping, subject.name, "Parse Model");
      model = parseModel(text);
    }
    {
      Phase compile("Calvoran Compile", subject.name, "Compile");
      Phase sort("Calvoran Compile", subject.name, "Sort Blocks");
      sortBlocks(model);
    }
    std::string code;
    {
      Phase generate("TGXCG", subject.name, "Code Generation");
      const int rounds = subject.name == slowerModel ? 40 : 1;
      for (int round = 0; round < rounds; ++round) code = generateCode(model);
    }
    std::vector<Instruction> program;
    {
      Phase build("CLbuild", subject.name, "Build");
      program = buildProgram(code);
    }
    // The runs alone go into the test manager's grouping, each naming its test
    // through the test-path map: its report arranges them by file, suite and
    // case. Their umbrella is the session's, or every run would be a phase of
    // it rather than a test of its own.
    ptLogCalvoranData(kSessionGrouping, subject.name, kTarget, "Run Tests", true);
    for (const char* test : tests) {
      const std::string key = std::string(subject.name) + "_" + test;
      ptAddTestPathToMap(key, std::string(subject.name) + "_tests.m > " + test + "Response > test" + test);
      const std::vector<std::string> identifiers = {pt::kModelIdentifier, subject.name, pt::kTargetIdentifier, kTarget,
                                                    "UserString",         key};
      ptLogTracerDataVecInput(pt::kTestManagerGrouping, "Run Test", true, identifiers);
      const int steps = test[0] == 'S' ? 60 : 120;
      failures += !sameResults(runProgram(program, model.blocks.size(), steps), simulateReference(model, steps));
      ptLogTracerDataVecInput(pt::kTestManagerGrouping, "Run Test", false, identifiers);
    }
    ptLogCalvoranData(kSessionGrouping, subject.name, kTarget, "Run Tests", false);
    loaded.push_back(std::move(model));
  }
  ptLogKAVLORData(kSessionGrouping, "Demo Session", false);
  return failures;
}

}  // namespace ptrace_tool
