// The fixed costs of instrumenting a module that grow with its names: the
// string maps built on the first look-up, then one local variable name looked
// up per procedure (about 1,800 and 14,000 names), all through the simulated
// host's text services.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "lsobject/string_table.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_text.h"
#include "sim/string_table_builder.h"

namespace {

void BM_StringMapsAndRepeatedLookUp(benchmark::State& state) {
  quillet::sim::ScopedSimHost host;
  const auto bytes = static_cast<size_t>(state.range(0));
  const quillet::sim::StringTableImage image = quillet::sim::NumberedStrings(bytes, "PROCEDURE_").Build();
  const size_t count = image.offsets.size();
  for (auto _ : state) {
    state.PauseTiming();
    quillet::CStringTable table;
    for (const auto& segment : image.strings) table.AppendData(segment);
    state.ResumeTiming();
    for (size_t i = 0; i < count; ++i) benchmark::DoNotOptimize(table.FindOrAddString("KVXTimerMgr"));
  }
  state.counters["strings"] = static_cast<double>(count);
}
BENCHMARK(BM_StringMapsAndRepeatedLookUp)->Arg(64000)->Arg(512000)->Unit(benchmark::kMillisecond);

void BM_CompareTextIgnoringCase(benchmark::State& state) {
  const std::string a = "Account::Deposit_\xC3\xA9t\xC3\xA9";
  const std::string b = "ACCOUNT::DEPOSIT_\xC3\x89T\xC3\x89";
  for (auto _ : state) benchmark::DoNotOptimize(quillet::sim::CompareText(a, b, 3));
}
BENCHMARK(BM_CompareTextIgnoringCase);

}  // namespace
