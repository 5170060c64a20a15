// Adding 10,000 strings to a module and serialising it, next to a parse and
// serialise of the resulting image.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "sim/module_builder.h"
#include "sim/string_table_builder.h"

namespace {

constexpr int kStrings = 10000;

const std::vector<uint8_t>& BaseModule() {
  static const std::vector<uint8_t> image = [] {
    quillet::sim::ModuleDescription d;
    d.header = std::vector<uint8_t>(512, 0);
    quillet::sim::NumberedStrings(20000, "Existing").Into(d);
    d.symbols = {quillet::sim::Pattern(4000, 5)};
    d.byteCode = quillet::sim::Pattern(20000, 7);
    return quillet::sim::BuildModuleImage(d);
  }();
  return image;
}

std::vector<uint8_t> AddStringsAndSerialize() {
  quillet::CLSScriptModule module;
  if (!module.Parse(BaseModule())) return {};
  for (int i = 0; i < kStrings; ++i) module.StringTable().FindOrAddString("ProfiledName" + std::to_string(i));
  return module.Serialize();
}

void BM_AddStringsAndSerialize(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<uint8_t> out = AddStringsAndSerialize();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kStrings);
}
BENCHMARK(BM_AddStringsAndSerialize)->Unit(benchmark::kMillisecond);

void BM_ParseSerializeWithAddedStrings(benchmark::State& state) {
  static const std::vector<uint8_t> image = AddStringsAndSerialize();
  quillet::CLSScriptModule module;
  for (auto _ : state) {
    if (!module.Parse(image)) state.SkipWithError("module refused");
    std::vector<uint8_t> out = module.Serialize();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_ParseSerializeWithAddedStrings)->Unit(benchmark::kMillisecond);

}  // namespace
