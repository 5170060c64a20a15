// The rewrite of one module: timer class, then entry code and line calls per
// profiled procedure, installed in the byte code in one pass.
//
// Each procedure's new code is built from the unchanged byte code and kept
// aside until every procedure is done, so a procedure that fails has changed
// nothing: there is no snapshot to restore. The result is the byte code that
// inserting each piece in turn, moving the later procedures each time, gives.
#include "instrument/module_instrument.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <set>

#include "bytecode/code_extent.h"
#include "config/host_text.h"
#include "config/notes_api.h"
#include "design/design_messages.h"
#include "instrument/instrument_lines.h"
#include "instrument/module_instrument_edits.h"
#include "instrument/module_instrument_snapshot.h"
#include "instrument/recorded_lines.h"
#include "instrument/timer_class.h"
#include "instrument/timer_class_code.h"
#include "lsobject/symbol_entries.h"
#include "lsobject/string_table.h"

namespace quillet {
namespace {

// Buffers of the rewrite, kept per thread and reused module after module, so
// that a note with many pieces of code does not allocate them each time.
struct RewriteBuffers {
  CodeWalks walks;  // the procedures' code as walked before the timer class went in
  CodeEdits edits;
  ProcedureListing listing;  // reused procedure after procedure
  UninitVector<uint8_t> entry;
  UninitVector<uint8_t> replaced;  // written in full once sized: not zero-filled
  EditInsertions insertions;
  bool inUse = false;

  // Memory kept past a module; buffers grown larger are given back. A 1 MiB
  // agent's rewrite holds about 7 MiB here (9.5 MiB with control structures
  // every few lines), so its buffers go back: kept, they measured slower, as
  // the allocator hands the freed memory out again without faulting it in.
  static constexpr size_t kKeptBytes = size_t{4} << 20;
  size_t Held() const {
    return walks.HeldBytes() + edits.HeldBytes() + replaced.capacity() +
           listing.arrays.offsets.capacity() * sizeof(int32_t) + listing.arrays.opcodes.capacity() * sizeof(int16_t) +
           listing.marks.capacity() + (listing.notable.capacity() + insertions.calls.capacity()) * sizeof(uint32_t);
  }
};

// The thread's buffers while a module is rewritten with them; a rewrite
// entered again on the same thread gets buffers of its own.
class BuffersInUse {
 public:
  BuffersInUse() : buffers_(Thread().inUse ? own_ : Thread()) { buffers_.inUse = true; }
  ~BuffersInUse() {
    buffers_.inUse = false;
    if (&buffers_ == &Thread() && buffers_.Held() > RewriteBuffers::kKeptBytes) buffers_ = RewriteBuffers{};
  }
  BuffersInUse(const BuffersInUse&) = delete;
  BuffersInUse& operator=(const BuffersInUse&) = delete;
  RewriteBuffers& get() { return buffers_; }

 private:
  static RewriteBuffers& Thread() {
    thread_local RewriteBuffers buffers;
    return buffers;
  }
  RewriteBuffers own_;
  RewriteBuffers& buffers_;
};

struct ModuleRewrite {
  CLSScriptModule& module;
  const ItemContext& context;
  CLSProfileApp& profile;
  std::span<const uint8_t> code;  // the byte code as it stands before any procedure
  TimerIdentity identity;         // key and note ID; the procedure per call
  RewriteBuffers& buffers;
  CodeEdits& edits;
  // The procedures' code as walked before the timer class went in, and the
  // starts whose bytes are still the same: their walk is reused.
  const CodeWalks& walks;
  const std::map<uint32_t, uint32_t>& unchangedEnds;
  // Procedures whose entry code was built: registered only once the whole
  // module is rewritten, so a refused module leaves no descriptions behind.
  std::vector<const ProcedureDescriptor*> profiled;
  // Every piece put in (entry code, line calls) decodes into whole
  // instructions without an OpEndSub: code that decoded before still ends
  // where its edits move its end.
  bool insertsWhole = true;
};

// The entry code of `p`, with its timer variable added; empty on failure.
Status32 InstrumentEntry(ModuleRewrite& w, const ProcedureDescriptor& p, UninitVector<uint8_t>& entry) {
  // The code must start inside the byte code, and must not start inside
  // code another procedure's edit replaces; checked before anything changes.
  if (p.codeOffset > w.code.size() || w.edits.Overlaps(p.codeOffset, 0)) return kErrJumpTooBig;
  const uint32_t variable =
      w.module.AddLocalVariable(p.symbol, kTimerVariableName, static_cast<uint32_t>(w.profile.TimerClassHandle));
  if (variable == 0 || variable > 0xFFFF) return kErrJumpTooBig;
  TimerIdentity id = w.identity;
  id.procedure = static_cast<uint16_t>(p.symbol);
  const std::vector<uint8_t> code =
      EncodeEntryCode(static_cast<uint16_t>(variable), static_cast<uint16_t>(w.profile.TimerClassHandle), id);
  entry.assign(code.begin(), code.end());
  if (!DecodesAsInsertableCode(entry)) w.insertsWhole = false;
  return 0;
}

// The procedure's code with line calls (after `entry`), as a replacement of
// its old code in `replaced`/`oldLength`, with where the code went in.
Status32 InstrumentLines(ModuleRewrite& w, const ProcedureDescriptor& p, std::span<const uint8_t> entry,
                         UninitVector<uint8_t>& replaced, uint32_t& oldLength, EditInsertions& insertions) {
  if (p.codeOffset >= w.code.size()) return kErrCouldNotLoadFunction;
  // Labels move only when the new code is installed: until then they stand
  // at the old positions, behind which the entry code is about to go.
  const auto prefix = static_cast<int64_t>(entry.size());
  const SymbolView symbols = w.module.Symbols();
  const CLabelOffsetTable& labels = w.module.LabelOffsets();
  const LabelLookup isLabel = [&](int32_t offset) {
    const int64_t at = int64_t{p.codeOffset} + offset - prefix;
    return offset >= prefix && at <= UINT32_MAX &&
           symbols.FindLabel(labels, p.symbol, static_cast<uint32_t>(at)) != 0;
  };
  ProcedureListing& listing = w.buffers.listing;
  const std::span<const uint8_t> walked =
      w.unchangedEnds.contains(p.codeOffset) ? w.walks.Lengths(p.codeOffset) : std::span<const uint8_t>{};
  if (!DecodeForLines(w.code, static_cast<int32_t>(p.codeOffset), entry, isLabel, static_cast<int32_t>(p.symbol),
                      listing, walked))
    return kErrCouldNotLoadFunction;

  const LineBase base = ProcedureLineBase(w.module, p);
  if (p.owner != 0 && !HasSourceLines(listing)) return kErrNoLines;
  oldLength = static_cast<uint32_t>(listing.code.size() - entry.size());
  if (w.edits.Overlaps(p.codeOffset, oldLength)) return kErrJumpTooBig;

  TimerIdentity id = w.identity;
  id.procedure = static_cast<uint16_t>(p.symbol);
  int32_t inserted = 0;
  const LineCall call = BuildLineCall(static_cast<uint16_t>(w.profile.LineTimerHandle), id);
  if (!DecodesAsInsertableCode(call.bytes)) w.insertsWhole = false;
  const Status32 r = InsertLineCalls(listing, base, call, replaced, inserted, insertions.calls);
  // Call offsets count from the listing's start, which the entry code leads.
  for (uint32_t& at : insertions.calls) at -= static_cast<uint32_t>(prefix);
  insertions.prefix = static_cast<uint32_t>(prefix);
  insertions.callLength = static_cast<uint32_t>(call.bytes.size());
  return r;
}

void Warn(ModuleRewrite& w, const ProcedureDescriptor& p, Status32 code) {
  const std::string name = w.module.Symbols().ProcedureName(w.module.StringTable(), p.symbol, p.owner, p.flags);
  if (name.find("::NEW") != std::string::npos || name.find("::DELETE") != std::string::npos) return;
  AddInstrumentMessage(w.profile, code, w.context.Title + " : " + ModuleDisplayName(w.context) + ":" + name);
}

void InstrumentProcedure(ModuleRewrite& w, const ProcedureDescriptor& p) {
  const int32_t flags = w.context.Flags;
  UninitVector<uint8_t>& entry = w.buffers.entry;
  entry.clear();
  if ((flags & instrument_flags::kTimeProcedures) != 0) {
    const Status32 r = InstrumentEntry(w, p, entry);
    if (r != 0) return Warn(w, p, r);
  }
  w.profiled.push_back(&p);

  Status32 r = 0;
  if ((flags & instrument_flags::kTimeLines) != 0 && (flags & instrument_flags::kNoLines) == 0) {
    // Built in the thread's buffer, which the edits take (handing back a spare one).
    uint32_t oldLength = 0;
    r = InstrumentLines(w, p, entry, w.buffers.replaced, oldLength, w.buffers.insertions);
    if (r == 0) {
      w.edits.Add(p.codeOffset, oldLength, w.buffers.replaced, w.buffers.insertions);
      return;
    }
  }
  // Entry code alone (lines not asked for, or refused): inserted at the start.
  if (!entry.empty()) {
    const auto prefix = static_cast<uint32_t>(entry.size());
    w.edits.Add(p.codeOffset, 0, entry, EditInsertions{prefix, {}, 0});  // `entry` is emptied
  }
  if (r != 0) Warn(w, p, r);
}

// Installs the new byte code and moves every label and then every listed
// procedure's code offset. 0x12704, with the byte code unchanged, when the
// labels cannot be moved; 0x10857, with no code offset moved, when the byte
// code refuses the new code.
Status32 InstallEdits(ModuleRewrite& w, const std::vector<ProcedureDescriptor>& procedures) {
  if (w.edits.Empty()) return 0;
  if (!w.module.RelocateLabels([&](uint32_t p) { return w.edits.RelocateLabel(p); })) return kErrJumpTooBig;
  std::vector<uint8_t> code = w.edits.Apply(w.code);
  const SymbolView symbols = w.module.Symbols();
  std::vector<std::pair<uint32_t, uint32_t>> moves;  // entry offset -> new code offset
  for (const ProcedureDescriptor& p : procedures) {
    if ((symbols.Flags(p.symbol) & symbol::kNoCode) != 0) continue;
    const uint32_t entry = symbols.Resolve(p.symbol);
    const uint32_t old = symbols.U32(uint64_t{entry} + symbol::kCodeOffset);
    moves.emplace_back(entry, w.edits.Relocate(old));
  }
  if (!w.module.ByteCode().SetData(std::move(code))) return kErrOutOfMemory;
  // Read every old offset before writing any: entries listed twice move once.
  for (const auto& [entry, offset] : moves) symbols.SetU32(uint64_t{entry} + symbol::kCodeOffset, offset);
  return 0;
}

// The procedures listed now whose code does not decode, by symbol handle;
// `ends` (when given) receives where the others' code ends, by start. Code
// at a start of `known` is known to decode and is not walked.
// With `walks`, each walk is kept there.
std::set<uint32_t> UndecodableProcedures(CLSScriptModule& module, std::map<uint32_t, uint32_t>* ends = nullptr,
                                         const std::map<uint32_t, uint32_t>& known = {},
                                         CodeWalks* walks = nullptr) {
  std::vector<ProcedureDescriptor> listed;
  module.ListProcedures(listed);
  std::set<uint32_t> undecodable;
  for (const ProcedureDescriptor& p : listed) {
    if (ends == nullptr && known.contains(p.codeOffset)) continue;
    const std::optional<uint32_t> end = walks != nullptr ? walks->Walk(module.ByteCode().Data(), p.codeOffset)
                                                         : ProcedureCodeEnd(module.ByteCode().Data(), p.codeOffset);
    if (!end) {
      undecodable.insert(p.symbol);
    } else if (ends != nullptr) {
      ends->emplace(p.codeOffset, *end);
    }
  }
  return undecodable;
}

// The ends of `ends` (found in `before`) whose code still holds the same
// bytes at the same place in `now`: decoding reads only those bytes, so it
// would find the same end. The timer class's code goes in elsewhere, so for
// a whole module this spares a second walk of its code.
std::map<uint32_t, uint32_t> UnchangedEnds(const std::map<uint32_t, uint32_t>& ends, std::span<const uint8_t> before,
                                           std::span<const uint8_t> now) {
  std::map<uint32_t, uint32_t> unchanged;
  if (now.size() > INT32_MAX) return unchanged;  // ProcedureCodeEnd refuses such code
  for (const auto& [start, end] : ends) {
    if (end > before.size() || end > now.size()) continue;
    if (std::equal(before.begin() + start, before.begin() + end, now.begin() + start)) unchanged.emplace(start, end);
  }
  return unchanged;
}

// Whether a module read back would be known as rewritten: its walk reaches
// the timer class under its name. In a damaged module the class, linked
// after its scope's first entry, can lie outside every walked chain, and its
// name, appended behind a malformed string, outside the string walk; read
// back, the module would then be rewritten again at every open. The strings
// are read as a module read back reads them: by a walk of their bytes, not
// from the maps the rewrite's appends added to.
bool TimerClassKnownWhenReadBack(CLSScriptModule& module) {
  const CStringTable& strings = module.StringTable();
  bool found = false;
  module.Symbols().WalkModule(module.Header(), false, [&](const SymbolVisit& v) {
    found = v.kind == symbol::kClass && strings.WalkedText(v.name) == kTimerClassName;
    return !found;
  });
  return found;
}

// The rewrite itself; on failure the caller restores the module.
Status32 Rewrite(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile,
                 std::span<const uint8_t> originalCode) {
  BuffersInUse buffers;
  CodeWalks& walks = buffers.get().walks;
  walks.Clear();
  std::map<uint32_t, uint32_t> endsBefore;
  const std::set<uint32_t> undecodableBefore = UndecodableProcedures(module, &endsBefore, {}, &walks);
  const Status32 r = BuildTimerClass(module, context, profile);
  if (r != 0) return r;

  std::vector<ProcedureDescriptor> procedures;
  module.ListProcedures(procedures);
  std::vector<uint32_t> offsets;
  offsets.reserve(procedures.size());
  for (const ProcedureDescriptor& p : procedures) offsets.push_back(p.codeOffset);

  // The byte code is not changed until every procedure is done: it is read
  // in place, and replaced once at the end.
  const std::span<const uint8_t> code = module.ByteCode().Data();
  // Code shared by two procedures (a damaged module) would be split or moved
  // under the other by either one's rewrite: neither is rewritten.
  const std::map<uint32_t, uint32_t> endsNow = UnchangedEnds(endsBefore, originalCode, code);
  const std::vector<bool> overlapping = OverlappingCode(code, offsets, endsNow);
  buffers.get().edits.Reset(offsets);
  ModuleRewrite w{module,  context, profile, code, TimerIdentity{ModuleKey(module), 0, module.ItemInfo().NoteId},
                  buffers.get(), buffers.get().edits, walks, endsNow, {}};
  for (size_t i = 0; i < procedures.size(); ++i) {
    const ProcedureDescriptor& p = procedures[i];
    if (!IsProfiledProcedure(module, p, profile)) continue;
    if (overlapping[i]) {
      Warn(w, p, kErrCouldNotLoadFunction);
      continue;
    }
    InstrumentProcedure(w, p);
  }
  if (const Status32 failed = InstallEdits(w, procedures); failed != 0) {
    AddInstrumentMessage(profile, failed, context.Title + " : " + ModuleDisplayName(context));
    return failed;
  }
  // Code that decoded keeps decoding where the edits moved it: only the
  // rest is walked again.
  std::map<uint32_t, uint32_t> endsAfter;
  if (w.insertsWhole) {
    for (const auto& [start, end] : endsNow) {
      if (const auto moved = w.edits.RelocateRange(start, end)) endsAfter.insert(*moved);
    }
  }
  const std::set<uint32_t> undecodableAfter = UndecodableProcedures(module, nullptr, endsAfter);
  // A damaged module can list entries whose offsets the rewrite does not
  // move with the code they pointed at, or come to list an added entry as a
  // procedure: a rewrite that leaves a listed procedure undecodable that was
  // not so before is refused rather than handed out.
  if (!std::includes(undecodableBefore.begin(), undecodableBefore.end(), undecodableAfter.begin(),
                     undecodableAfter.end())) {
    AddInstrumentMessage(profile, kErrCouldNotLoadFunction, context.Title + " : " + ModuleDisplayName(context));
    return kErrCouldNotLoadFunction;
  }
  // In a damaged module the entries added to its scopes can end up linked
  // into other entries (a scope's last link pointing into another chain):
  // a module that would be refused when read back, or not known as
  // rewritten, is not handed out. Only checked: serialising rebuilds the
  // hash tables after the header update, and nothing reads them before.
  if (!module.ScopeHashesFit() ||
      !TimerClassKnownWhenReadBack(module)) {
    AddInstrumentMessage(profile, kErrCouldNotCreateClass, context.ItemName);
    return kErrCouldNotCreateClass;
  }
  for (const ProcedureDescriptor* p : w.profiled) RegisterProcedure(module, *p, context, profile);
  return 0;
}

}  // namespace

Status32 InstrumentModule(CLSScriptModule& module, const ItemContext& context, CLSProfileApp& profile) {
  ModuleSnapshot before(module);
  try {
    const Status32 r = Rewrite(module, context, profile, before.ByteCode());
    if (r != 0) before.Restore();
    return r;
  } catch (...) {
    before.Restore();
    throw;
  }
}

}  // namespace quillet
