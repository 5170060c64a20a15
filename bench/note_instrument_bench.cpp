// Instrumenting design notes in memory against a parse and serialise of the
// same modules: a form whose multi-segment "$Body" carries 200 pieces of
// object code, and an agent whose 1 MiB module lives in "$AgentHScript_O".
// Each note is rebuilt with the clock stopped; only InstrumentItem is timed.
// The goal: note instrumentation within 3x of parse+serialise, so that
// neither the rich-text walk nor the item storage dominates; the module
// rewrite alone is timed too, to show what the note layer adds. The phases
// of the rewrite (parse the input, edit, serialise the output) are timed
// apart: parse(input) + serialise(output) is the floor any rewrite pays.
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "batch_timer.h"
#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/module_text.h"
#include "lsobject/script_items.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"
#include "util/bytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFormPieces = 200;
constexpr int kLinesPerPiece = 12;
constexpr size_t kSegmentLimit = 20000;
constexpr int kAgentLines = 46000;  // about 1 MiB of compiled code
constexpr int32_t kFlags = 0x0003 | quillet::instrument_flags::kSkipWatchChecks;

struct Form {
  std::vector<Bytes> modules;
  std::vector<Bytes> segments;  // "$Body" values, type word first
};

Bytes Compile(const std::string& source) {
  Bytes out;
  std::vector<quillet::CompileError> errors;
  if (!quillet::CompileLotusScript(source, out, errors)) out.clear();
  return out;
}

// A Sub of `lines` assignments.
Bytes ClickModule(int n, int lines) {
  std::string source = "Sub Click" + std::to_string(n) + "\n  Dim total As Integer\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  return Compile(source + "End Sub\n");
}

// The object-code record: u16 signature 0xFFB1, u16 record length, u32 code
// size, u32 reserved, then the code.
Bytes ObjectCodeRecord(const Bytes& code) {
  Bytes record(12, 0);
  quillet::StoreU16(record.data(), 0xFFB1);
  quillet::StoreU16(record.data() + 2, static_cast<uint16_t>(12 + code.size()));
  quillet::StoreU32(record.data() + 4, static_cast<uint32_t>(code.size()));
  record.insert(record.end(), code.begin(), code.end());
  return record;
}

// Item values of at most `limit` bytes (type word included), records padded
// to even and cut only between records.
std::vector<Bytes> Segments(const std::vector<Bytes>& records, size_t limit) {
  std::vector<Bytes> values;
  Bytes value;
  for (const Bytes& record : records) {
    const size_t padded = record.size() + record.size() % 2;
    if (value.empty() || value.size() + padded > limit) {
      if (!value.empty()) values.push_back(value);
      value.assign(2, 0);
      quillet::StoreU16(value.data(), quillet::kTypeCompositeData);
    }
    value.insert(value.end(), record.begin(), record.end());
    if (record.size() % 2 != 0) value.push_back(0);
  }
  if (!value.empty()) values.push_back(value);
  return values;
}

const Form& FormBody() {
  static const Form form = [] {
    Form f;
    std::vector<Bytes> records;
    for (int i = 0; i < kFormPieces; ++i) {
      f.modules.push_back(ClickModule(i, kLinesPerPiece));
      records.push_back(ObjectCodeRecord(f.modules.back()));
    }
    f.segments = Segments(records, kSegmentLimit);
    return f;
  }();
  return form;
}

const Bytes& AgentModule() {
  static const Bytes image = [] {
    std::string source = "Sub Initialize\n  Dim total As Long\n";
    for (int i = 0; i < kAgentLines; ++i) source += "  total = total + " + std::to_string(i % 97) + " * 3 - 1\n";
    return Compile(source + "End Sub\n");
  }();
  return image;
}

// About 1 MiB of code with a control structure every few lines (If/Else,
// Select Case, loops): the marking's look-ups and the jump patching have
// work to do, which the straight-line agent above spares them.
const Bytes& StructuredAgentModule() {
  static const Bytes image = [] {
    std::string source = "Sub Initialize\n  Dim total As Long\n  Dim i As Integer\n";
    for (int k = 0; k < kAgentLines / 9; ++k) {
      const std::string n = std::to_string(k % 97);
      source += "  If total > " + n + " Then\n    total = total - " + n + "\n  Else\n    total = total + " + n +
                "\n  End If\n";
      source += "  Select Case total Mod 3\n  Case 1\n    total = total + 1\n  End Select\n";
      source += "  For i = 1 To 2\n    total = total + i\n  Next\n";
    }
    return Compile(source + "End Sub\n");
  }();
  return image;
}

// A fresh note of the database holding `segments` under `name`.
quillet::NoteHandle MakeNote(quillet::sim::ScopedSimHost& host, quillet::DbHandle db, uint16_t noteClass,
                             const char* name, uint16_t type, const std::vector<Bytes>& values) {
  quillet::NoteHandle note;
  if (host->NoteCreate(db, note) != quillet::kNoError) return {};
  host->NoteSetClass(note, noteClass);
  for (const Bytes& value : values) {
    const std::span<const uint8_t> data = type == 0 ? std::span<const uint8_t>(value).subspan(2) : value;
    if (host->ItemAppend(note, quillet::kItemSigned, name, type == 0 ? quillet::LoadU16(value.data()) : type, data))
      return {};
  }
  return note;
}

// The agent's 1 MiB image split as it is stored: items of at most 61310 bytes.
std::vector<Bytes> AgentPieces() {
  const Bytes& image = AgentModule();
  std::vector<Bytes> pieces;
  for (size_t at = 0; at < image.size(); at += quillet::kScriptItemLimit) {
    const size_t n = std::min(quillet::kScriptItemLimit, image.size() - at);
    pieces.emplace_back(image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + n));
  }
  return pieces;
}

void InstrumentNoteItem(benchmark::State& state, bool form) {
  quillet::sim::ScopedSimHost host;
  quillet::DbHandle db;
  if (host->CreateDatabase("bench.nsf") != quillet::kNoError || host->DbOpen("bench.nsf", db) != quillet::kNoError) {
    state.SkipWithError("no database");
    return;
  }
  const std::vector<Bytes> agent = form ? std::vector<Bytes>{} : AgentPieces();
  std::optional<quillet::CLSProfileApp> profile;
  for (auto _ : state) {
    state.PauseTiming();
    profile.emplace("nquillet", "", 0);
    quillet::NoteHandle note;
    if (form) {
      note = MakeNote(host, db, quillet::kNoteClassForm, "$Body", 0, FormBody().segments);
    } else {
      note = MakeNote(host, db, quillet::kNoteClassFilter, quillet::kAgentLargeScriptItem, quillet::kTypeText, agent);
      (void)host->ItemSetText(note, "$Flags", "f");
    }
    state.ResumeTiming();
    const quillet::Status32 status =
        quillet::InstrumentItem(*profile, note, form ? "$Body" : quillet::kAgentLargeScriptItem, {}, kFlags);
    state.PauseTiming();
    const bool done = status == quillet::kNoError && !profile->Data.Procedures().empty();
    (void)host->NoteClose(note);
    state.ResumeTiming();
    if (!done) {
      state.SkipWithError("not instrumented");
      break;
    }
  }
  if (form) {
    state.counters["segments"] = static_cast<double>(FormBody().segments.size());
  } else {
    state.counters["module_KiB"] = static_cast<double>(AgentModule().size()) / 1024.0;
  }
}

void BM_InstrumentFormBody(benchmark::State& state) { InstrumentNoteItem(state, true); }
BENCHMARK(BM_InstrumentFormBody)->Unit(benchmark::kMillisecond);

void BM_InstrumentLargeAgent(benchmark::State& state) { InstrumentNoteItem(state, false); }
BENCHMARK(BM_InstrumentLargeAgent)->Unit(benchmark::kMillisecond);

// The same modules parsed and serialised, and (with `rewrite`) instrumented
// in between, with the host's text services as the note path has them: the
// note layer's work is what the note benchmarks add.
void RoundTrip(benchmark::State& state, const std::vector<const Bytes*>& modules, bool rewrite) {
  quillet::sim::ScopedSimHost host;
  const quillet::NotesModuleText text(host.host());
  quillet::ItemContext context;
  context.Flags = 0x0003;
  for (const Bytes* image : modules) {
    if (image->empty()) {
      state.SkipWithError("module did not compile");
      return;
    }
  }
  for (auto _ : state) {
    quillet::CLSProfileApp profile("nquillet", "", 0);
    for (const Bytes* image : modules) {
      quillet::CLSScriptModule module(text);
      if (!module.Parse(*image)) state.SkipWithError("module refused");
      if (rewrite && quillet::InstrumentModule(module, context, profile) != 0) state.SkipWithError("not instrumented");
      std::vector<uint8_t> out = module.Serialize();
      benchmark::DoNotOptimize(out.data());
    }
  }
}

std::vector<const Bytes*> FormModules() {
  std::vector<const Bytes*> list;
  for (const Bytes& m : FormBody().modules) list.push_back(&m);
  return list;
}

void BM_ParseSerializeFormModules(benchmark::State& state) { RoundTrip(state, FormModules(), false); }
BENCHMARK(BM_ParseSerializeFormModules)->Unit(benchmark::kMillisecond);
void BM_RewriteFormModules(benchmark::State& state) { RoundTrip(state, FormModules(), true); }
BENCHMARK(BM_RewriteFormModules)->Unit(benchmark::kMillisecond);
void BM_ParseSerializeAgentModule(benchmark::State& state) { RoundTrip(state, {&AgentModule()}, false); }
BENCHMARK(BM_ParseSerializeAgentModule)->Unit(benchmark::kMillisecond);
void BM_RewriteAgentModule(benchmark::State& state) { RoundTrip(state, {&AgentModule()}, true); }
BENCHMARK(BM_RewriteAgentModule)->Unit(benchmark::kMillisecond);

// The module rewrite in its three phases, each on the thread's CPU clock:
// parse the input, edit (InstrumentModule), serialise the output. Counters
// give milliseconds per iteration (all modules); `floor_ms` is parse plus
// serialise, what a rewrite that cost nothing itself would take.
void Phases(benchmark::State& state, const std::vector<const Bytes*>& modules) {
  quillet::sim::ScopedSimHost host;
  const quillet::NotesModuleText text(host.host());
  quillet::ItemContext context;
  context.Flags = 0x0003;
  int64_t parse = 0, edit = 0, serialize = 0;
  for (auto _ : state) {
    quillet::CLSProfileApp profile("nquillet", "", 0);
    for (const Bytes* image : modules) {
      quillet::CLSScriptModule module(text);
      const int64_t t0 = quillet::bench::ThreadCpuNanos();
      const bool parsed = module.Parse(*image);
      const int64_t t1 = quillet::bench::ThreadCpuNanos();
      const bool rewritten = parsed && quillet::InstrumentModule(module, context, profile) == 0;
      const int64_t t2 = quillet::bench::ThreadCpuNanos();
      std::vector<uint8_t> out = module.Serialize();
      const int64_t t3 = quillet::bench::ThreadCpuNanos();
      benchmark::DoNotOptimize(out.data());
      if (!rewritten) state.SkipWithError("not instrumented");
      parse += t1 - t0;
      edit += t2 - t1;
      serialize += t3 - t2;
    }
  }
  const double n = static_cast<double>(state.iterations()) * 1e6;
  state.counters["parse_ms"] = static_cast<double>(parse) / n;
  state.counters["edit_ms"] = static_cast<double>(edit) / n;
  state.counters["serialize_ms"] = static_cast<double>(serialize) / n;
  state.counters["floor_ms"] = static_cast<double>(parse + serialize) / n;
  state.counters["over_floor"] = static_cast<double>(parse + edit + serialize) / static_cast<double>(parse + serialize);
}

void BM_RewriteFormModulePhases(benchmark::State& state) { Phases(state, FormModules()); }
BENCHMARK(BM_RewriteFormModulePhases)->Unit(benchmark::kMillisecond);
void BM_RewriteAgentModulePhases(benchmark::State& state) { Phases(state, {&AgentModule()}); }
BENCHMARK(BM_RewriteAgentModulePhases)->Unit(benchmark::kMillisecond);
void BM_RewriteStructuredAgentModulePhases(benchmark::State& state) {
  state.counters["module_KiB"] = static_cast<double>(StructuredAgentModule().size()) / 1024.0;
  Phases(state, {&StructuredAgentModule()});
}
BENCHMARK(BM_RewriteStructuredAgentModulePhases)->Unit(benchmark::kMillisecond);

// The rewritten modules are several times the size of the originals (a line
// call per timed line): their own parse+serialise shows how much of the
// ratio is the output's size rather than the rewrite.
std::vector<Bytes> RewrittenImages(const std::vector<const Bytes*>& modules) {
  quillet::sim::ScopedSimHost host;
  const quillet::NotesModuleText text(host.host());
  quillet::ItemContext context;
  context.Flags = 0x0003;
  quillet::CLSProfileApp profile("nquillet", "", 0);
  std::vector<Bytes> images;
  for (const Bytes* image : modules) {
    quillet::CLSScriptModule module(text);
    if (!module.Parse(*image) || quillet::InstrumentModule(module, context, profile) != 0) return {};
    images.push_back(module.Serialize());
  }
  return images;
}

void ParseSerializeRewritten(benchmark::State& state, const std::vector<const Bytes*>& modules) {
  static std::vector<Bytes> keep;  // one benchmark at a time
  keep = RewrittenImages(modules);
  std::vector<const Bytes*> list;
  for (const Bytes& image : keep) list.push_back(&image);
  if (list.empty()) {
    state.SkipWithError("not instrumented");
    return;
  }
  RoundTrip(state, list, false);
  size_t in = 0, out = 0;
  for (const Bytes* m : modules) in += m->size();
  for (const Bytes& m : keep) out += m.size();
  state.counters["size_ratio"] = static_cast<double>(out) / static_cast<double>(in);
}

void BM_ParseSerializeRewrittenFormModules(benchmark::State& state) { ParseSerializeRewritten(state, FormModules()); }
BENCHMARK(BM_ParseSerializeRewrittenFormModules)->Unit(benchmark::kMillisecond);
void BM_ParseSerializeRewrittenAgentModule(benchmark::State& state) {
  ParseSerializeRewritten(state, {&AgentModule()});
}
BENCHMARK(BM_ParseSerializeRewrittenAgentModule)->Unit(benchmark::kMillisecond);

}  // namespace
