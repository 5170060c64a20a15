// Instrumenting generated modules (flags 0x0003) of 1x, 2x, 4x and 8x a base
// of 2,000 procedures and about 128 KiB of byte code, next to a parse and
// serialise of the same modules. The procedures grow with the scale, not
// their number: a few thousand more procedures would need symbol handles
// beyond 16 bits. Instrumenting must grow linearly (8x within
// 10 times 1x) and cost at most five parse+serialise round trips.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_entries.h"
#include "sim/module_builder.h"
#include "sim/scoped_sim_host.h"
#include "timing/profile_app.h"
#include "util/bytes.h"

namespace {

constexpr int kBaseProcedures = 2000;
constexpr int kBaseLines = 7;  // lines per procedure at 1x

// One procedure of 4 + 9 x lines bytes: a line whose test jumps over the
// next line, then lines of `Print i`, the End Sub line and OpEndSub.
void AppendBody(std::vector<uint8_t>& code, int procedure, uint16_t firstLine, int lines) {
  auto line = [&](uint16_t n) { code.insert(code.end(), {0x1A, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8)}); };
  line(firstLine);
  code.insert(code.end(), {0x82, 0x38, 9, 0});  // OpTrue; OpJZ over the next line (9 bytes)
  for (int k = 1; k < lines; ++k) {
    line(static_cast<uint16_t>(firstLine + k));
    code.insert(code.end(), {0x90, static_cast<uint8_t>(procedure), static_cast<uint8_t>(procedure >> 8), 0x3F, 1, 0x1B});
  }
  line(static_cast<uint16_t>(firstLine + lines));
  code.push_back(0x1D);
}

// The image of a module with `count` Subs of `lines` generated lines each.
std::vector<uint8_t> MakeModule(int count, int lines) {
  quillet::sim::ModuleDescription d;
  d.header = std::vector<uint8_t>(512, 0);
  d.symbols = {std::vector<uint8_t>(4, 0)};
  d.byteCode = {0x1A, 0xFF, 0xFF, 0x1D};
  quillet::CLSScriptModule module;
  if (!module.Parse(quillet::sim::BuildModuleImage(d))) return {};
  std::vector<uint32_t> subs;
  for (int i = 0; i < count; ++i) subs.push_back(module.FindOrAddSub("PROC" + std::to_string(i)));
  std::vector<uint8_t> code = {0x1A, 0xFF, 0xFF, 0x1D};
  const quillet::SymbolView symbols = module.Symbols();
  for (int i = 0; i < count; ++i) {
    symbols.SetU32(uint64_t{symbols.Resolve(subs[static_cast<size_t>(i)])} + quillet::symbol::kCodeOffset,
                   static_cast<uint32_t>(code.size()));
    AppendBody(code, i, static_cast<uint16_t>(10 + i % 5000), lines);
  }
  if (!module.ByteCode().SetData(code)) return {};
  return module.Serialize();
}

const std::vector<uint8_t>& Module(int scale) {
  static std::map<int, std::vector<uint8_t>> images;
  auto& image = images[scale];
  if (image.empty()) image = MakeModule(kBaseProcedures, kBaseLines * scale);
  return image;
}

void BM_InstrumentModule(benchmark::State& state) {
  quillet::sim::ScopedSimHost host;
  const auto scale = static_cast<int>(state.range(0));
  const std::vector<uint8_t>& image = Module(scale);
  quillet::ItemContext context;
  context.ItemName = "$ScriptLib_O";
  context.Flags = 0x0003;
  int64_t byteCode = 0;
  // Made and destroyed while the clock is stopped: only the rewrite is timed.
  std::optional<quillet::CLSScriptModule> module;
  std::optional<quillet::CLSProfileApp> profile;
  for (auto _ : state) {
    state.PauseTiming();
    module.emplace();
    profile.emplace("nquillet", "", 0);
    const bool parsed = module->Parse(image);
    byteCode = module->ByteCode().Length();
    state.ResumeTiming();
    const quillet::Status32 r = parsed ? quillet::InstrumentModule(*module, context, *profile) : quillet::Status32(1);
    if (r != 0) state.SkipWithError(("not instrumented: " + std::to_string(r)).c_str());
    benchmark::DoNotOptimize(module->ByteCode().Data().data());
  }
  state.counters["byte_code_KiB"] = static_cast<double>(byteCode) / 1024.0;
}
BENCHMARK(BM_InstrumentModule)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_ParseSerializeModule(benchmark::State& state) {
  const std::vector<uint8_t>& image = Module(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    quillet::CLSScriptModule module;
    if (!module.Parse(image)) state.SkipWithError("module refused");
    std::vector<uint8_t> out = module.Serialize();
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ParseSerializeModule)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);

// Page faults of a second module's rewrite in the same process: the first
// module warms the rewrite buffers, after which a module of the same size
// should take its working memory from them instead of fresh pages. Faults
// are counted around the rewrite alone (parsing is outside the count).
long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

void BM_SecondModuleFaults(benchmark::State& state) {
  quillet::sim::ScopedSimHost host;
  const std::vector<uint8_t>& image = Module(static_cast<int>(state.range(0)));
  quillet::ItemContext context;
  context.ItemName = "$ScriptLib_O";
  context.Flags = 0x0003;
  quillet::CLSProfileApp profile("nquillet", "", 0);
  long faults = 0;
  long fresh = 0;
  int64_t rewrites = 0;
  for (auto _ : state) {
    quillet::CLSScriptModule module;
    if (!module.Parse(image)) state.SkipWithError("module refused");
    const long before = MinorFaults();
    const quillet::Status32 r = quillet::InstrumentModule(module, context, profile);
    const long taken = MinorFaults() - before;
    if (r != 0) state.SkipWithError(("not instrumented: " + std::to_string(r)).c_str());
    if (rewrites == 0) fresh = taken;  // the first module in the process
    else faults += taken;
    ++rewrites;
  }
  state.counters["first_module_faults"] = static_cast<double>(fresh);
  state.counters["later_module_faults"] = rewrites > 1 ? static_cast<double>(faults) / static_cast<double>(rewrites - 1) : 0.0;
}
BENCHMARK(BM_SecondModuleFaults)->Arg(1)->Arg(8)->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace
