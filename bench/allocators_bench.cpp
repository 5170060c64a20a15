// The two custom allocators against the standard pool resources doing the
// same work: the instruction pool (objects of a decoded procedure, freed
// procedure by procedure) and the record pool (call records carved one by
// one and released all at once).
#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <memory_resource>
#include <vector>

#include "bytecode/instruction_pool.h"
#include "timing/call_record.h"
#include "timing/record_pool.h"

namespace {

// Instruction objects are 24 to 64 bytes; a procedure decodes to a few
// thousand of them, freed together when the next procedure is decoded.
constexpr std::array<std::size_t, 4> kInstructionSizes = {24, 32, 40, 64};
constexpr int kInstructionsPerProcedure = 4000;
constexpr int kRecordsPerTree = 100000;

template <typename Allocate, typename Release>
void DecodeLikeWork(benchmark::State& state, Allocate allocate, Release release) {
  std::vector<std::pair<void*, std::size_t>> live;
  live.reserve(kInstructionsPerProcedure);
  for (auto _ : state) {
    for (int i = 0; i < kInstructionsPerProcedure; ++i) {
      const std::size_t size = kInstructionSizes[static_cast<std::size_t>(i) % kInstructionSizes.size()];
      live.emplace_back(allocate(size), size);
    }
    benchmark::DoNotOptimize(live.data());
    for (auto& [block, size] : live) release(block, size);
    live.clear();
  }
  state.SetItemsProcessed(state.iterations() * kInstructionsPerProcedure);
}

void BM_InstructionPool(benchmark::State& state) {
  DecodeLikeWork(state, [](std::size_t size) { return quillet::instruction_pool::Allocate(size); },
                 [](void* block, std::size_t size) { quillet::instruction_pool::Release(block, size); });
}
BENCHMARK(BM_InstructionPool);

// The pool resource usable from several threads, as instruction objects are.
void BM_InstructionPmrSynchronized(benchmark::State& state) {
  std::pmr::synchronized_pool_resource pool;
  DecodeLikeWork(state, [&](std::size_t size) { return pool.allocate(size); },
                 [&](void* block, std::size_t size) { pool.deallocate(block, size); });
}
BENCHMARK(BM_InstructionPmrSynchronized);

// One pool per thread, the instruction pool's own arrangement.
void BM_InstructionPmrPerThread(benchmark::State& state) {
  thread_local std::pmr::unsynchronized_pool_resource pool;
  DecodeLikeWork(state, [&](std::size_t size) { return pool.allocate(size); },
                 [&](void* block, std::size_t size) { pool.deallocate(block, size); });
}
BENCHMARK(BM_InstructionPmrPerThread);

void BM_InstructionHeap(benchmark::State& state) {
  DecodeLikeWork(state, [](std::size_t size) { return ::operator new(size); },
                 [](void* block, std::size_t size) { ::operator delete(block, size); });
}
BENCHMARK(BM_InstructionHeap);

void BM_RecordPool(benchmark::State& state) {
  quillet::RecordPool pool;
  for (auto _ : state) {
    for (int i = 0; i < kRecordsPerTree; ++i) benchmark::DoNotOptimize(pool.NewRecord());
    pool.Clear();
  }
  state.SetItemsProcessed(state.iterations() * kRecordsPerTree);
}
BENCHMARK(BM_RecordPool);

// A monotonic buffer does what the record pool does for records: carve and
// release everything at once.
void BM_RecordPmrMonotonic(benchmark::State& state) {
  for (auto _ : state) {
    std::pmr::monotonic_buffer_resource arena;
    std::pmr::polymorphic_allocator<quillet::CallRecord> alloc(&arena);
    for (int i = 0; i < kRecordsPerTree; ++i) {
      quillet::CallRecord* record = alloc.allocate(1);
      alloc.construct(record);
      benchmark::DoNotOptimize(record);
    }
  }
  state.SetItemsProcessed(state.iterations() * kRecordsPerTree);
}
BENCHMARK(BM_RecordPmrMonotonic);

}  // namespace
