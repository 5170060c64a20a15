// Rewriting a 1 MiB "$Body" (about twenty segments, a few hundred object-code
// records among text runs and paragraphs) through the simulated host, next
// to a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "design/code_location.h"
#include "design/item_reader.h"
#include "sim/scoped_sim_host.h"
#include "util/bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kBodySize = 1 << 20;
constexpr size_t kSegmentLimit = 60000;

Bytes WordRecord(uint16_t signature, size_t bodySize, uint8_t fill) {
  Bytes record(4 + bodySize, fill);
  quillet::StoreU16(record.data(), signature);
  quillet::StoreU16(record.data() + 2, static_cast<uint16_t>(record.size()));
  return record;
}

// Segments of about 60,000 bytes: paragraphs, 900-byte text runs and, every
// sixth record, a 2,000-byte object-code record.
std::vector<Bytes> BodySegments() {
  std::vector<Bytes> segments;
  Bytes segment;
  size_t total = 0;
  for (int i = 0; total < kBodySize; ++i) {
    Bytes record;
    if (i % 6 == 5) {
      record = WordRecord(0xFFB1, 8 + 2000, 0x5A);
      quillet::StoreU32(record.data() + 4, 2000);
      quillet::StoreU32(record.data() + 8, 0);
    } else if (i % 2 == 0) {
      record = {0x81, 0x02};
    } else {
      record = WordRecord(0xFF85, 4 + 900, 'a');
    }
    if (segment.size() + record.size() > kSegmentLimit) {
      segments.push_back(std::move(segment));
      segment.clear();
    }
    segment.insert(segment.end(), record.begin(), record.end());
    total += record.size();
  }
  segments.push_back(std::move(segment));
  return segments;
}

quillet::Status32 KeepCode(quillet::PieceKind, std::span<const uint8_t> piece, uint32_t, quillet::RecordBuffer& out,
                           quillet::CodeLocation*, void*) {
  return out.Append(piece);
}

// The body rewritten with a location path, as the note instrumentation
// does it (every text run then names its place), or without one.
void RewriteBody(benchmark::State& state, bool withLocation) {
  quillet::sim::ScopedSimHost sim;
  quillet::DbHandle db;
  quillet::NoteHandle note;
  if (sim->CreateDatabase("bench.nsf") || sim->DbOpen("bench.nsf", db) || sim->NoteCreate(db, note)) {
    state.SkipWithError("no note");
    return;
  }
  size_t bytes = 0;
  for (const Bytes& segment : BodySegments()) {
    bytes += segment.size();
    if (sim->ItemAppend(note, 0, "$Body", quillet::kTypeCompositeData, segment)) state.SkipWithError("no item");
  }
  quillet::CodeLocation location;
  for (auto _ : state) {
    if (quillet::RewriteRichTextItem(note, "$Body", withLocation ? &location : nullptr, &KeepCode, nullptr)) {
      state.SkipWithError("rewrite failed");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_RewriteBody(benchmark::State& state) { RewriteBody(state, false); }
BENCHMARK(BM_RewriteBody)->Unit(benchmark::kMillisecond);

void BM_RewriteBodyNamingPlaces(benchmark::State& state) { RewriteBody(state, true); }
BENCHMARK(BM_RewriteBodyNamingPlaces)->Unit(benchmark::kMillisecond);

void BM_CopyBody(benchmark::State& state) {
  const std::vector<Bytes> segments = BodySegments();
  size_t bytes = 0;
  for (const Bytes& segment : segments) bytes += segment.size();
  Bytes copy(bytes);
  for (auto _ : state) {
    size_t at = 0;
    for (const Bytes& segment : segments) {
      std::memcpy(copy.data() + at, segment.data(), segment.size());
      at += segment.size();
    }
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_CopyBody)->Unit(benchmark::kMillisecond);

}  // namespace
