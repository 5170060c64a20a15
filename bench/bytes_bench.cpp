// Benchmarks of the byte reader, the innermost loop of every module parse.
#include <benchmark/benchmark.h>

#include <vector>

#include "util/bytes.h"

namespace {

void BM_ByteReaderU32(benchmark::State& state) {
  std::vector<uint8_t> data(64 * 1024, 0x5A);
  for (auto _ : state) {
    quillet::ByteReader r(data);
    uint32_t v = 0, sum = 0;
    while (r.ReadU32(v)) sum += v;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_ByteReaderU32);

}  // namespace
