// Re-encoding compiled formulas of 10, 100 and 1,000 operations with jumps,
// next to a plain copy of the same bytes into the same buffer.
#include <benchmark/benchmark.h>

#include <vector>

#include "design/record_buffer.h"
#include "formula/formula.h"

namespace {

void Put(std::vector<uint8_t>& out, std::initializer_list<uint16_t> words) {
  for (uint16_t word : words) {
    out.push_back(static_cast<uint8_t>(word));
    out.push_back(static_cast<uint8_t>(word >> 8));
  }
}

// A main record: a number, then groups of a jump over a 4-byte string to an
// operator joining two values; every tenth jump is a two-way jump.
std::vector<uint8_t> FormulaOf(int operations) {
  std::vector<uint8_t> stream;
  Put(stream, {0, 0, 0, 0, 0x3FF0});  // the number 1.0
  for (int group = 0; 1 + 3 * (group + 1) <= operations; ++group) {
    if (group % 10 == 9) {
      Put(stream, {175, 6, 10});  // both targets: the string, the operator after it
    } else {
      Put(stream, {174, 12});     // over the string to the operator
    }
    Put(stream, {1, 4, 0x6574, 0x7478, 0x0220});  // "text", then the two-value operator
  }
  std::vector<uint8_t> formula;
  Put(formula, {static_cast<uint16_t>(6 + stream.size()), 0, static_cast<uint16_t>(4 + stream.size())});
  formula.insert(formula.end(), stream.begin(), stream.end());
  return formula;
}

void BM_RewriteFormula(benchmark::State& state) {
  const std::vector<uint8_t> formula = FormulaOf(static_cast<int>(state.range(0)));
  if (quillet::ValidateFormula(formula) != quillet::kNoError) state.SkipWithError("formula refused");
  quillet::RecordBuffer out;
  for (auto _ : state) {
    out.Clear();
    if (quillet::RewriteFormula(formula, {}, out) != quillet::kNoError) state.SkipWithError("rewrite failed");
    benchmark::DoNotOptimize(out.bytes().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(formula.size()));
}
BENCHMARK(BM_RewriteFormula)->Arg(10)->Arg(100)->Arg(1000);

void BM_CopyFormula(benchmark::State& state) {
  const std::vector<uint8_t> formula = FormulaOf(static_cast<int>(state.range(0)));
  quillet::RecordBuffer out;
  for (auto _ : state) {
    out.Clear();
    if (out.Append(formula) != quillet::kNoError) state.SkipWithError("copy failed");
    benchmark::DoNotOptimize(out.bytes().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(formula.size()));
}
BENCHMARK(BM_CopyFormula)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
