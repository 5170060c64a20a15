// Interpreter speed: a compiled loop that executes about ten million simple
// instructions (loads, arithmetic, assignments, line markers, Next).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"

namespace {

std::vector<uint8_t> LoopModule(long iterations) {
  const std::string source =
      "Sub Initialize\n"
      "  Dim i As Long, s As Long\n"
      "  For i = 1 To " + std::to_string(iterations) + "\n"
      "    s = s + i Mod 7\n"
      "  Next\n"
      "  Print s\n"
      "End Sub\n";
  std::vector<uint8_t> image;
  std::vector<quillet::CompileError> errors;
  if (!quillet::CompileLotusScript(source, image, errors)) image.clear();
  return image;
}

void BM_InterpretLoop(benchmark::State& state) {
  const std::vector<uint8_t> image = LoopModule(static_cast<long>(state.range(0)));
  if (image.empty()) {
    state.SkipWithError("the loop module does not compile");
    return;
  }
  quillet::RunOptions options;
  options.maxSteps = 1'000'000'000;
  uint64_t steps = 0;
  for (auto _ : state) {
    const quillet::RunResult r = quillet::RunModule(image, options);
    if (!r.ok) {
      state.SkipWithError(r.error.c_str());
      return;
    }
    steps = r.steps;
    benchmark::DoNotOptimize(r.output.data());
  }
  state.counters["instructions"] = static_cast<double>(steps);
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(steps) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// 1,000,000 iterations of about ten instructions each.
BENCHMARK(BM_InterpretLoop)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
