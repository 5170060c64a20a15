// Benchmarks of the simulated host's item operations on a design-note sized
// note: the lookups and appends every instrumented note goes through.
#include <benchmark/benchmark.h>

#include <string>

#include "sim/scoped_sim_host.h"

namespace {

using quillet::DbHandle;
using quillet::ItemInfo;
using quillet::NoteHandle;

struct NoteWithItems {
  quillet::sim::ScopedSimHost sim;
  DbHandle db;
  NoteHandle note;

  explicit NoteWithItems(int items) {
    quillet::sim::SimHost& host = sim.host();
    (void)host.CreateDatabase("bench.nsf");
    (void)host.DbOpen("bench.nsf", db);
    (void)host.NoteCreate(db, note);
    const std::vector<uint8_t> value(64, 0x5A);
    for (int i = 0; i < items; ++i) {
      (void)host.ItemAppend(note, 0, "Item" + std::to_string(i), quillet::kTypeText, value);
    }
  }
};

// The last item of a 200-item note, found by a name in other letter case.
void BM_SimItemFindLastOf200(benchmark::State& state) {
  NoteWithItems fixture(200);
  ItemInfo info;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fixture.sim->ItemFind(fixture.note, "ITEM199", info));
  }
}
BENCHMARK(BM_SimItemFindLastOf200);

// Appending one 61310-byte piece, the size the module store splits at.
void BM_SimItemAppendModulePiece(benchmark::State& state) {
  NoteWithItems fixture(200);
  const std::vector<uint8_t> piece(61310, 0xA5);
  for (auto _ : state) {
    (void)fixture.sim->ItemAppend(fixture.note, quillet::kItemSigned, "$ScriptLib_O", quillet::kTypeLsObject, piece);
    state.PauseTiming();
    (void)fixture.sim->ItemDelete(fixture.note, "$ScriptLib_O");
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(piece.size()));
}
BENCHMARK(BM_SimItemAppendModulePiece);

}  // namespace
