// Adding 2,000 Subs to a module and serialising it, next to a parse and
// serialise of the grown module.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "sim/module_builder.h"
#include "sim/string_table_builder.h"

namespace {

constexpr int kSubs = 2000;

// A module with a header, some strings and an empty symbol table.
const std::vector<uint8_t>& StartModule() {
  static const std::vector<uint8_t> image = [] {
    quillet::sim::ModuleDescription d;
    d.header = std::vector<uint8_t>(512, 0);
    quillet::sim::NumberedStrings(4000).Into(d);
    d.symbols = {std::vector<uint8_t>(4, 0)};
    d.byteCode = {0x1A, 0xFF, 0xFF, 0x1D};
    return quillet::sim::BuildModuleImage(d);
  }();
  return image;
}

std::vector<uint8_t> AddSubs(quillet::CLSScriptModule& module) {
  if (!module.Parse(StartModule())) return {};
  for (int i = 0; i < kSubs; ++i) module.FindOrAddSub("PROFILED" + std::to_string(i));
  return module.Serialize();
}

void BM_AddSubsAndSerialize(benchmark::State& state) {
  quillet::CLSScriptModule module;
  for (auto _ : state) {
    std::vector<uint8_t> out = AddSubs(module);
    if (out.empty()) state.SkipWithError("module refused");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSubs);
}
BENCHMARK(BM_AddSubsAndSerialize)->Unit(benchmark::kMillisecond);

void BM_ParseSerializeWithSubs(benchmark::State& state) {
  quillet::CLSScriptModule builder;
  const std::vector<uint8_t> image = AddSubs(builder);
  quillet::CLSScriptModule module;
  for (auto _ : state) {
    if (!module.Parse(image)) state.SkipWithError("module refused");
    std::vector<uint8_t> out = module.Serialize();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_ParseSerializeWithSubs)->Unit(benchmark::kMillisecond);

}  // namespace
