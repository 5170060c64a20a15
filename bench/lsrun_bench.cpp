// Interpreter speed: a compiled numeric loop of about ten million simple
// instructions (loads, arithmetic, assignments, line markers, Next), a
// string-building loop of built-in calls, and the cost of profiling a
// call-heavy program (recursive Fib(22), about 57,000 calls): the profiled
// run through the rewritten module against the plain one, as a ratio that
// should stay at most 2.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <ctime>

#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"
#include "sim/scoped_sim_host.h"
#include "timing/profile_app.h"

namespace {

std::vector<uint8_t> CompileOrEmpty(const std::string& source) {
  std::vector<uint8_t> image;
  std::vector<quillet::CompileError> errors;
  if (!quillet::CompileLotusScript(source, image, errors)) image.clear();
  return image;
}

// Runs `image` once an iteration and reports the instructions it executes
// and how many a second.
void RunInstructions(benchmark::State& state, const std::vector<uint8_t>& image, const char* what) {
  if (image.empty()) {
    state.SkipWithError(what);
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

void BM_InterpretLoop(benchmark::State& state) {
  RunInstructions(state,
                  CompileOrEmpty("Sub Initialize\n"
                                 "  Dim i As Long, s As Long\n"
                                 "  For i = 1 To " + std::to_string(state.range(0)) + "\n"
                                 "    s = s + i Mod 7\n"
                                 "  Next\n"
                                 "  Print s\n"
                                 "End Sub\n"),
                  "the loop module does not compile");
}
// 1,000,000 iterations of about ten instructions each.
BENCHMARK(BM_InterpretLoop)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Strings: built-in calls, concatenation and comparison in a loop.
void BM_InterpretStrings(benchmark::State& state) {
  RunInstructions(state,
                  CompileOrEmpty("Sub Initialize\n"
                                 "  Dim i As Long, n As Long, s As String\n"
                                 "  For i = 1 To " + std::to_string(state.range(0)) + "\n"
                                 "    s = UCase(Left(\"item \" & CStr(i Mod 100), 6))\n"
                                 "    If InStr(s, \"7\") > 0 Then n = n + Len(Trim(s))\n"
                                 "  Next\n"
                                 "  Print n\n"
                                 "End Sub\n"),
                  "the string module does not compile");
}
BENCHMARK(BM_InterpretStrings)->Arg(200'000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Fib(22) plain, then rewritten with procedure and line timing and run with
// the timer entries answered at once: the ratio is the runner's own
// profiling overhead.
void BM_ProfiledOverPlainFib(benchmark::State& state) {
  const std::vector<uint8_t> image = CompileOrEmpty(
      "Function Fib(ByVal n As Long) As Long\n"
      "  If n < 2 Then\n"
      "    Fib = n\n"
      "  Else\n"
      "    Fib = Fib(n - 1) + Fib(n - 2)\n"
      "  End If\n"
      "End Function\n"
      "Sub Initialize\n"
      "  Print Fib(22)\n"
      "End Sub\n");
  quillet::sim::ScopedSimHost host;
  quillet::CLSProfileApp profile{"nquillet", "", 0};
  quillet::CLSScriptModule module;
  if (image.empty() || !module.Parse(image)) {
    state.SkipWithError("the Fib module does not compile");
    return;
  }
  quillet::ItemContext context;
  context.ItemName = "$ScriptLib_O";
  context.Title = "Fib";
  context.NoteId = 0x2A;
  context.Flags = 0x0003;
  if (quillet::InstrumentModule(module, context, profile) != 0) {
    state.SkipWithError("instrumenting failed");
    return;
  }
  const std::vector<uint8_t> rewritten = module.Serialize();
  quillet::RunOptions plainOptions;
  quillet::RunOptions profiledOptions;
  auto quiet = [](std::span<const quillet::lsrun::Value>, quillet::lsrun::Value&) { return 0; };
  profiledOptions.natives.Register("nquillet", "KVXFunctionTimer", quiet);
  profiledOptions.natives.Register("nquillet", "KVXLineTimer", quiet);
  double plainSeconds = 0, profiledSeconds = 0;
  uint64_t plainSteps = 0, profiledSteps = 0;
  for (auto _ : state) {
    // Processor time, not wall time: on a shared machine the wall clock
    // mostly measures the other processes.
    const std::clock_t t0 = std::clock();
    const quillet::RunResult plain = quillet::RunModule(image, plainOptions);
    const std::clock_t t1 = std::clock();
    const quillet::RunResult profiled = quillet::RunModule(rewritten, profiledOptions);
    const std::clock_t t2 = std::clock();
    if (!plain.ok || !profiled.ok || plain.output != profiled.output) {
      state.SkipWithError("the runs differ or fail");
      return;
    }
    plainSteps = plain.steps;
    profiledSteps = profiled.steps;
    plainSeconds += static_cast<double>(t1 - t0) / CLOCKS_PER_SEC;
    profiledSeconds += static_cast<double>(t2 - t1) / CLOCKS_PER_SEC;
  }
  state.counters["profiled/plain"] = plainSeconds > 0 ? profiledSeconds / plainSeconds : 0;
  // The instructions of both runs: their ratio is the part of the overhead
  // that the rewritten code itself adds.
  state.counters["plain instructions"] = static_cast<double>(plainSteps);
  state.counters["profiled instructions"] = static_cast<double>(profiledSteps);
}
BENCHMARK(BM_ProfiledOverPlainFib)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
