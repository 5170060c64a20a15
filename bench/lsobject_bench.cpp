// Parse and Serialize of a 1 MiB module against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "sim/module_builder.h"

namespace {

// About 1 MiB: three string segments, two symbol segments, 800 KiB of code.
const std::vector<uint8_t>& LargeModule() {
  static const std::vector<uint8_t> image = [] {
    quillet::sim::ModuleDescription d;
    d.header = quillet::sim::Pattern(512, 1);
    d.strings = {quillet::sim::Pattern(65000, 2), quillet::sim::Pattern(65000, 3), quillet::sim::Pattern(20000, 4)};
    d.symbols = {quillet::sim::Pattern(65000, 5), quillet::sim::Pattern(30000, 6)};
    d.byteCode = quillet::sim::Pattern(800 * 1024, 7);
    d.productMacros = {quillet::sim::Pattern(4000, 8)};
    return quillet::sim::BuildModuleImage(d);
  }();
  return image;
}

void BM_ModuleParseSerialize(benchmark::State& state) {
  const std::vector<uint8_t>& image = LargeModule();
  quillet::CLSScriptModule module;
  for (auto _ : state) {
    if (!module.Parse(image)) state.SkipWithError("module refused");
    std::vector<uint8_t> out = module.Serialize();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_ModuleParseSerialize);

void BM_ModuleMemcpy(benchmark::State& state) {
  const std::vector<uint8_t>& image = LargeModule();
  std::vector<uint8_t> copy(image.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), image.data(), image.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(image.size()));
}
BENCHMARK(BM_ModuleMemcpy);

}  // namespace
