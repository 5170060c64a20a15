// Interpreter speed: a compiled numeric loop of about ten million simple
// instructions (loads, arithmetic, assignments, line markers, Next), a
// string-building loop of built-in calls, and the cost of profiling a
// call-heavy program (recursive Fib(22), about 57,000 calls): the profiled
// run through the rewritten module against the plain one, as a ratio that
// should stay at most 2, and beside it the same extra work written by hand
// and run plain, the floor of that ratio for the code the rewriting adds;
// and what each piece of that extra work costs the runner on its own.
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

const char* const kFibSource =
    "Function Fib(ByVal n As Long) As Long\n"
    "  If n < 2 Then\n"
    "    Fib = n\n"
    "  Else\n"
    "    Fib = Fib(n - 1) + Fib(n - 2)\n"
    "  End If\n"
    "End Function\n"
    "Sub Initialize\n"
    "  Print Fib(22)\n"
    "End Sub\n";

// Plain Fib(22) and `other` (printing the same) run in turn each iteration,
// on processor time, not wall time: on a shared machine the wall clock
// mostly measures the other processes. Reports `name`/plain, the time of
// each run and the instructions of both; their ratio is the part of the
// overhead the other code itself adds.
void CompareWithPlain(benchmark::State& state, const std::vector<uint8_t>& other,
                      const quillet::RunOptions& otherOptions, const std::string& name) {
  const std::vector<uint8_t> plain = CompileOrEmpty(kFibSource);
  if (plain.empty() || other.empty()) {
    state.SkipWithError("a Fib module does not compile");
    return;
  }
  const quillet::RunOptions plainOptions;
  double seconds[2] = {0, 0};
  uint64_t steps[2] = {0, 0};
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const std::clock_t t0 = std::clock();
      const quillet::RunResult r = quillet::RunModule(k == 0 ? plain : other, k == 0 ? plainOptions : otherOptions);
      seconds[k] += static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
      steps[k] = r.steps;
      if (!r.ok || r.output != "17711\n") {
        state.SkipWithError("a run fails or prints something else");
        return;
      }
    }
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters[name + "/plain"] = seconds[0] > 0 ? seconds[1] / seconds[0] : 0;
  state.counters["plain ms"] = seconds[0] * 1000 / runs;
  state.counters[name + " ms"] = seconds[1] * 1000 / runs;
  state.counters["plain instructions"] = static_cast<double>(steps[0]);
  state.counters[name + " instructions"] = static_cast<double>(steps[1]);
}

// Timer entries that answer at once.
int Quiet(std::span<const quillet::lsrun::Value>, quillet::lsrun::Value&) { return 0; }

// Fib(22) plain, then rewritten with procedure and line timing and run with
// the timer entries answered at once: the ratio is the runner's own
// profiling overhead.
void BM_ProfiledOverPlainFib(benchmark::State& state) {
  const std::vector<uint8_t> image = CompileOrEmpty(kFibSource);
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
  quillet::RunOptions options;
  options.natives.Register("nquillet", "KVXFunctionTimer", Quiet);
  options.natives.Register("nquillet", "KVXLineTimer", Quiet);
  CompareWithPlain(state, module.Serialize(), options, "profiled");
}
BENCHMARK(BM_ProfiledOverPlainFib)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor of that ratio: Fib(22) written by hand with the same extra work
// the rewritten module does (a timer object made and deleted each call, its
// constructor storing five words and calling a native, its destructor
// calling one, a line call before each line), natives answering at once,
// run as a plain module against plain Fib. What the profiled ratio adds
// above this is the runner's own cost of the rewritten code.
void BM_HandWrittenTimersOverPlainFib(benchmark::State& state) {
  const std::string kWords = "26762, 6778, 4, 0, 0";
  const std::string kParams =
      "ByVal w1 As Integer, ByVal w2 As Integer, ByVal w3 As Integer, ByVal w4 As Integer, ByVal w5 As Integer";
  const std::vector<uint8_t> timed = CompileOrEmpty(
      "Declare Sub FnTimer Lib \"bench\" (" + kParams + ", ByVal kind As Integer)\n"
      "Declare Sub LineTimer Lib \"bench\" (" + kParams + ", ByVal kind As Integer, ByVal l As Integer)\n"
      "Class Timer\n"
      "  m1 As Integer\n  m2 As Integer\n  m3 As Integer\n  m4 As Integer\n  m5 As Integer\n"
      "  Sub New(" + kParams + ")\n"
      "    m1 = w1\n    m2 = w2\n    m3 = w3\n    m4 = w4\n    m5 = w5\n"
      "    FnTimer m1, m2, m3, m4, m5, 1\n"
      "  End Sub\n"
      "  Sub Delete\n"
      "    FnTimer m1, m2, m3, m4, m5, 2\n"
      "  End Sub\n"
      "End Class\n"
      "Function Fib(ByVal n As Long) As Long\n"
      "  Dim t As New Timer(" + kWords + ")\n"
      "  LineTimer " + kWords + ", 3, 1\n"
      "  If n < 2 Then\n"
      "    LineTimer " + kWords + ", 3, 2\n"
      "    Fib = n\n"
      "  Else\n"
      "    LineTimer " + kWords + ", 3, 4\n"
      "    Fib = Fib(n - 1) + Fib(n - 2)\n"
      "  End If\n"
      "End Function\n"
      "Sub Initialize\n"
      "  Print Fib(22)\n"
      "End Sub\n");
  quillet::RunOptions options;
  options.natives.Register("bench", "FnTimer", Quiet);
  options.natives.Register("bench", "LineTimer", Quiet);
  CompareWithPlain(state, timed, options, "hand-written");
}
BENCHMARK(BM_HandWrittenTimersOverPlainFib)->Unit(benchmark::kMillisecond)->Iterations(3);

// What one piece of the work a profiled call adds costs: a loop of 200,000
// iterations doing only that piece, on processor time. "ns each" less the
// empty loop's is the piece's own cost; "instructions each" counts the
// runner's steps. The pieces: 0 the empty loop, 1 a call of an empty Sub
// with one parameter, 2 the same Sub making and deleting an object whose
// New stores five words and whose Delete is empty, 3 a native Sub of six
// constant arguments, 4 the same of six local variables.
void BM_CostOfPiece(benchmark::State& state) {
  static const char* const kBodies[] = {"", "    P i\n", "    Q i\n", "    N6 1, 2, 3, 4, 5, 6\n",
                                        "    N6 a, b, c, d, e, f\n"};
  const int64_t piece = state.range(0);
  constexpr int kIterations = 200'000;
  const std::vector<uint8_t> image = CompileOrEmpty(
      "Declare Sub N6 Lib \"bench\" (ByVal a As Integer, ByVal b As Integer, ByVal c As Integer, "
      "ByVal d As Integer, ByVal e As Integer, ByVal f As Integer)\n"
      "Class C\n"
      "  m1 As Integer\n  m2 As Integer\n  m3 As Integer\n  m4 As Integer\n  m5 As Integer\n"
      "  Sub New(ByVal w1 As Integer, ByVal w2 As Integer, ByVal w3 As Integer, ByVal w4 As Integer, "
      "ByVal w5 As Integer)\n"
      "    m1 = w1\n    m2 = w2\n    m3 = w3\n    m4 = w4\n    m5 = w5\n"
      "  End Sub\n"
      "  Sub Delete\n"
      "  End Sub\n"
      "End Class\n"
      "Sub P(ByVal n As Long)\n"
      "End Sub\n"
      "Sub Q(ByVal n As Long)\n"
      "  Dim t As New C(1, 2, 3, 4, 5)\n"
      "End Sub\n"
      "Sub Initialize\n"
      "  Dim i As Long, a As Integer, b As Integer, c As Integer, d As Integer, e As Integer, f As Integer\n"
      "  For i = 1 To " + std::to_string(kIterations) + "\n" + kBodies[piece] +
      "  Next\n"
      "End Sub\n");
  if (image.empty()) {
    state.SkipWithError("the piece's module does not compile");
    return;
  }
  quillet::RunOptions options;
  options.natives.Register("bench", "N6", Quiet);
  double seconds = 0;
  uint64_t steps = 0;
  for (auto _ : state) {
    const std::clock_t t0 = std::clock();
    const quillet::RunResult r = quillet::RunModule(image, options);
    seconds += static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
    if (!r.ok) {
      state.SkipWithError(r.error.c_str());
      return;
    }
    steps = r.steps;
  }
  const double each = static_cast<double>(state.iterations()) * kIterations;
  state.counters["ns each"] = seconds * 1e9 / each;
  state.counters["instructions each"] = static_cast<double>(steps) / kIterations;
}
BENCHMARK(BM_CostOfPiece)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
