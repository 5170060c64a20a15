// Decoding and marking one large procedure: 50,000 instructions with 5,000
// jumps, and twice that; the time should grow about linearly.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "lsobject/code_tables_decode.h"
#include "util/bytes.h"

namespace {

// `blocks` blocks of 10 instructions with one jump each, alternating an If
// whose test jumps past its statement and a loop closed by a jump back to its
// head separator; a last line and the end follow.
std::vector<uint8_t> LargeProcedure(int blocks) {
  std::vector<uint8_t> code;
  quillet::ByteWriter w(code);
  uint16_t line = 1;
  for (int b = 0; b < blocks; ++b) {
    const size_t start = w.size();
    if (b % 2 == 0) {
      w.PutU8(0x1A); w.PutU16(line++);               // line
      w.PutU8(0x58); w.PutU8(2); w.PutU16(0x60);     // local load
      w.PutU8(0x38); const size_t rel = w.ReserveU16();  // OpJZ past the block
      const size_t jumpEnd = w.size();
      w.PutU8(0x1A); w.PutU16(line++);               // line
      w.PutU8(0x29); w.PutU16(0x40);                 // load procedure
      w.PutU8(0x23);                                 // call
      w.PutU8(0x8E); w.PutU8(5);                     // small constant
      w.PutU8(0xA7); w.PutU8(1);                     // assign local
      w.PutU8(0x1B);                                 // separator
      w.PutU8(0x86);                                 // Integer 1
      w.PatchU16(rel, static_cast<uint16_t>(w.size() - jumpEnd));
    } else {
      w.PutU8(0x1B);                                 // loop head
      w.PutU8(0x1A); w.PutU16(line++);
      w.PutU8(0x58); w.PutU8(2); w.PutU16(0x60);
      w.PutU8(0x29); w.PutU16(0x40);
      w.PutU8(0x23);
      w.PutU8(0x8E); w.PutU8(5);
      w.PutU8(0xA7); w.PutU8(1);
      w.PutU8(0x86);
      w.PutU8(0x1A); w.PutU16(line++);
      w.PutU8(0x3A);                                 // OpJmp back to the head
      w.PutU16(static_cast<uint16_t>(static_cast<int32_t>(start) - static_cast<int32_t>(w.size() + 2)));
    }
  }
  w.PutU8(0x1A); w.PutU16(line);
  w.PutU8(0x1D);
  return code;
}

void BM_DecodeAndMarkProcedure(benchmark::State& state) {
  const std::vector<uint8_t> code = LargeProcedure(static_cast<int>(state.range(0)));
  quillet::InstructionList list;
  for (auto _ : state) {
    if (!quillet::DecodeProcedureCode(code, 0, [](int32_t) { return false; }, 1, list)) {
      state.SkipWithError("procedure refused");
      break;
    }
    benchmark::DoNotOptimize(list.data());
  }
  state.counters["instructions"] = static_cast<double>(list.size());
  state.SetComplexityN(static_cast<int64_t>(list.size()));
}
// 5,000 and 10,000 blocks: 50,001 and 100,001 instructions.
BENCHMARK(BM_DecodeAndMarkProcedure)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
