// The flame graph's road: folding a large report tree into stack lines, and
// drawing 100,000 stacks with the installed flame-graph script.
#include "platform/child_process.h"
#include "platform/private_folder.h"
#include "report/model/flame_graph.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Ptr = PTprocessedDataNode::Ptr;

/// A report tree of `size` nodes at most `maxDepth` deep below one marked top
/// node. Each level draws its phases from 40 names, so repeated phases under
/// one parent fold; with `counterparts` every node has a RHS twin.
PTNodeMap randomTree(std::size_t size, int maxDepth, bool counterparts) {
  std::mt19937 random(7);
  PTNodeMap nodes;
  const auto make = [&](const std::string& name, std::int32_t phase, const Ptr& parent, double time) {
    auto node = std::make_shared<PTprocessedDataNode>(name, phase);
    node->timeValue = time;
    if (counterparts) {
      node->counterpart = std::make_shared<PTprocessedDataNode>(name, phase);
      node->counterpart->timeValue = time * 1.1;
    }
    if (parent) {
      node->parent = parent;
      parent->addChild(node);
    }
    nodes.emplace(name, node);
    return node;
  };
  const Ptr root = make("root", 0, nullptr, -1);
  const Ptr top = make("top", 1, root, 0);
  top->identifiers["leftTree"] = 1;
  std::vector<std::pair<Ptr, int>> open{{top, 1}};
  for (std::size_t i = 0; nodes.size() < size; ++i) {
    // Mostly go deeper, sometimes climb back: a bushy tree of bounded depth.
    while (open.size() > 1 && (open.back().second >= maxDepth || random() % 4 == 0)) open.pop_back();
    const auto& [parent, depth] = open.back();
    const Ptr node = make(std::to_string(i), static_cast<std::int32_t>(random() % 40) + depth * 40, parent,
                          (random() % 1000) / 100.0);
    open.emplace_back(node, depth + 1);
  }
  root->updateTreeInfo(PT_REPORT_MODEL);
  return nodes;
}

void BM_AggregateTree_AggregateAndWriteStacks(benchmark::State& state) {
  const PTNodeMap nodes = randomTree(1000000, 30, false);
  platform::PrivateFolder folder("pt-bench");
  std::size_t lines = 0;
  for (auto _ : state) {
    const Ptr aggregate = buildAggregateTree(nodes);
    updateAggregateTree(aggregate);
    lines = writeStackTracesToFile(folder.file("stacks.txt"), aggregate, PT_REPORT_MODEL, true).lines;
  }
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_AggregateTree_AggregateAndWriteStacks)->Unit(benchmark::kMillisecond)->Repetitions(5);

/// 100,000 distinct stacks as the library writes them, up to 30 frames.
void drawStacks(benchmark::State& state, bool differential) {
  const PTNodeMap nodes = randomTree(400000, 30, differential);
  const Ptr aggregate = buildAggregateTree(nodes);
  updateAggregateTree(aggregate);
  auto stacks = generateStackTraces(aggregate, differential ? PT_REPORT_MODEL_DIFF : PT_REPORT_MODEL, true);
  stacks.resize(std::min<std::size_t>(stacks.size(), 100000));
  platform::PrivateFolder folder("pt-bench");
  writeStackTracesToFile(folder.file("stacks.txt"), stacks);
  const std::vector<std::string> argv{"perl", flameGraphScriptPath(), folder.file("stacks.txt"), "--width", "1600"};
  // The script's own processor time, apart from waiting on a busy machine.
  const auto childSeconds = [] {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  };
  const double before = childSeconds();
  for (auto _ : state) {
    const platform::ProcessResult run = platform::runProcess(argv, folder.file("flamegraph.svg"), "");
    if (!run.ok()) state.SkipWithError(run.describe().c_str());
  }
  state.counters["script_cpu_s"] =
      benchmark::Counter((childSeconds() - before) / static_cast<double>(state.iterations()));
  state.counters["stacks"] = static_cast<double>(stacks.size());
}

void BM_FlameGraphScript_Draw(benchmark::State& state) { drawStacks(state, false); }
BENCHMARK(BM_FlameGraphScript_Draw)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

void BM_FlameGraphScript_Differential(benchmark::State& state) { drawStacks(state, true); }
BENCHMARK(BM_FlameGraphScript_Differential)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
