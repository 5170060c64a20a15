// Rewriting the module items of an opened agent note, with the marker item
// that maps the rewritten module's key back to the original one.
#include "hook/agent_instrument.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "config/host_text.h"
#include "config/notes_services.h"
#include "hook/agent_run.h"
#include "instrument/item_context.h"
#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "util/bytes.h"

namespace quillet {
namespace {

inline constexpr int32_t kSkipWatchCheck = 0x0040;  // instrument whatever database the note is in
inline constexpr Status32 kErrNotCollecting = 0x12700;
inline constexpr Status32 kErrNotWatched = 0x12701;
inline constexpr size_t kTitleMax = 255;

void StoreTime(uint8_t* out, const TimeDate& time) {
  StoreU32(out, time.innards[0]);
  StoreU32(out + 4, time.innards[1]);
}

std::string MarkerName(uint32_t key) {
  char name[24];
  std::snprintf(name, sizeof name, "%X_KVX", key);
  return name;
}

// The module items of the note, each name once, in stored order.
std::vector<std::string> ModuleItemNames(NoteHandle note) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  (void)Notes().ItemScan(note, [&](const ItemInfo& item) -> STATUS {
    if (item.type == kTypeLsObject && seen.insert(ToUpper(item.name)).second) names.push_back(item.name);
    return kNoError;
  });
  return names;
}

ItemContext ContextFor(CQuilletApp& app, CLSProfileApp& profile, NoteHandle note, const std::string& itemName,
                       int32_t flags) {
  NotesApi& notes = Notes();
  ItemContext context;
  const DbHandle db = notes.NoteDatabase(note);
  (void)notes.DbCanonicalPath(db, context.DatabasePath);
  if (!app.ServerName().empty()) context.DatabasePath = notes.NetworkPath(app.ServerName(), context.DatabasePath);
  TimeDate identity;
  if (notes.DbIdentity(db, identity) == kNoError) StoreTime(context.DatabaseId, identity);
  StoreTime(context.SequenceTime, notes.NoteOriginator(note).sequenceTime);
  context.NoteHandle = note.value;
  context.NoteId = notes.NoteGetId(note);
  if (notes.ItemText(note, "$TITLE", context.Title, kTitleMax + 1) == 0) context.Title = "(Untitled)";
  context.ItemName = itemName;
  context.Flags = profile.ContextFlags | flags;
  return context;
}

// Rewrites one item; its value is replaced only when everything succeeded.
Status32 InstrumentItem(CQuilletApp& app, CLSProfileApp& profile, NoteHandle note, const std::string& itemName,
                        int32_t flags) {
  NotesApi& notes = Notes();
  ItemInfo info;
  if (STATUS found = notes.ItemFind(note, itemName, info); found != kNoError) return found;
  if (info.value.size() < 2) return kErrAgentCodeUnreadable;
  const std::span<const uint8_t> image(info.value.data() + 2, info.value.size() - 2);
  const ItemContext context = ContextFor(app, profile, note, itemName, flags);
  if ((context.Flags & kSkipWatchCheck) == 0) {
    if (!profile.Collecting) return kErrNotCollecting;
    if (!profile.IsWatchedDatabase(context.DatabasePath)) return kErrNotWatched;
  }
  profile.LineTimerHandle = profile.FunctionTimerHandle = profile.TimerClassHandle = profile.SpareHandle =
      kNoSymbolHandle;
  CLSScriptModule module;
  if (!module.Parse(image)) return kErrAgentCodeUnreadable;
  // Where the module came from: the rewritten code passes the note ID with
  // every timer call, and the end of the run names it.
  module.ItemInfo().ItemName = itemName;
  module.ItemInfo().Title = context.Title;
  module.ItemInfo().NoteId = context.NoteId;
  module.ItemInfo().DesignKind = kDesignKindAgent;
  if (IsInstrumentedModule(module)) {
    RegisterModule(module, context, profile);
  } else {
    const uint32_t original = ModuleKey(module);
    if (Status32 status = InstrumentModule(module, context, profile); status != kNoError) return status;
    const std::vector<uint8_t> rewritten = module.Serialize();
    // The new value goes in before the old one goes, so a failure leaves the
    // original code in the note.
    if (STATUS stored = notes.ItemAppend(note, info.flags, itemName, info.type, rewritten); stored != kNoError) {
      return stored;
    }
    if (STATUS deleted = notes.ItemDeleteById(note, info.item); deleted != kNoError) {
      ItemInfo added;
      if (notes.ItemFindNext(note, info.item, added) == kNoError) (void)notes.ItemDeleteById(note, added.item);
      return deleted;
    }
    if (STATUS marked = notes.ItemSetNumber(note, MarkerName(ModuleKey(module)), original); marked != kNoError) {
      return marked;
    }
  }
  // A module rewritten earlier records its timings under its original key.
  const uint32_t key = ModuleKey(module);
  double original = 0;
  constexpr double kWordRange = 4294967296.0;
  if (notes.ItemNumber(note, MarkerName(key), original) && original >= 0 && original < kWordRange) {
    const auto value = static_cast<uint32_t>(original);
    if (value != key && !profile.KeyRemap.contains(key)) profile.KeyRemap.emplace(key, value);
  }
  return kNoError;
}

}  // namespace

Status32 InstrumentAgentNote(CQuilletApp& app, NoteHandle note, int32_t flags) {
  ProfileRef profile = app.CurrentProfile();
  if (!profile) return kErrNotCollecting;
  Status32 first = kNoError;
  for (const std::string& name : ModuleItemNames(note)) {
    const Status32 status = InstrumentItem(app, *profile, note, name, flags | app.InstrumentFlags());
    if (first == kNoError) first = status;
  }
  return first;
}

}  // namespace quillet
