// The configuration table's refresh over a configuration database of 10,000
// documents: reading all of them once, and then only the 10 that changed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/quillet_config.h"
#include "sim/scoped_sim_host.h"

namespace {

using quillet::NoteId;
using quillet::sim::SimItemSpec;

constexpr const char* kConfigDb = "Brindlecot/ProfilerConfig.nsf";
constexpr int kDocuments = 10'000;
constexpr int kChanged = 10;

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

struct ConfigDatabase {
  quillet::sim::ScopedSimHost sim;
  std::vector<NoteId> ids;

  ConfigDatabase() {
    quillet::sim::SimHost& host = sim.host();
    (void)host.CreateDatabase(kConfigDb);
    for (int i = 0; i < kDocuments; ++i) {
      NoteId id = 0;
      (void)host.CreateNote(kConfigDb, quillet::kNoteClassDocument,
                            {SimItemSpec::Text("Enabled", "1"), SimItemSpec::Text("DatabasePath", "db.nsf"),
                             SimItemSpec::Text("AgentId", Hex(0x20E + 4 * i)),
                             SimItemSpec::Text("AgentUNID", "00000002000000010000000400000003"),
                             SimItemSpec::Number("AgentRunCount", 5)},
                            id);
      ids.push_back(id);
    }
  }

  // Rewrites the run count of `count` documents, spread over the database.
  void Change(int count, int round) {
    quillet::NotesApi& notes = sim.host();
    quillet::DbHandle db;
    (void)notes.DbOpen(kConfigDb, db);
    for (int i = 0; i < count; ++i) {
      quillet::NoteHandle note;
      (void)notes.NoteOpen(db, ids[static_cast<size_t>(i) * (ids.size() / count)], 0, note);
      (void)notes.ItemSetNumber(note, "AgentRunCount", round);
      (void)notes.NoteUpdate(note, 0);
      (void)notes.NoteClose(note);
    }
    (void)notes.DbClose(db);
  }
};

void BM_ConfigRefreshAll(benchmark::State& state) {
  ConfigDatabase database;
  for (auto _ : state) {
    quillet::CQuilletConfig config;
    benchmark::DoNotOptimize(config.Refresh());
    if (config.ConfigEntries().size() != kDocuments) state.SkipWithError("not every document was read");
  }
}
BENCHMARK(BM_ConfigRefreshAll)->Unit(benchmark::kMillisecond);

void BM_ConfigRefreshTenChanged(benchmark::State& state) {
  ConfigDatabase database;
  quillet::CQuilletConfig config;
  (void)config.Refresh();
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    database.sim->AdvanceClock(1);
    database.Change(kChanged, ++round);
    state.ResumeTiming();
    benchmark::DoNotOptimize(config.Refresh());
  }
  if (config.ConfigEntries().begin()->second.AgentRunCount != round) state.SkipWithError("the change was not read");
}
BENCHMARK(BM_ConfigRefreshTenChanged)->Unit(benchmark::kMillisecond);

}  // namespace
