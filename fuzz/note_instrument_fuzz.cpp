// Design notes through InstrumentItem, item by item as the note-open hooks
// instrument them: script items through the module path, "$Body" and
// "$ViewMapLayout" through the rich-text path. Input: a flag-set byte, then
// a note file (sim/sim_note_file.h), whose items make an unsaved note of a
// simulated database. Whatever the items hold, the instrumented note scans
// and exports as a note file that reads back, and instrumenting it again
// changes nothing: a rewritten module is recognised and only registered.
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_note.h"
#include "instrument/module_instrument.h"
#include "instrument/note_instrument.h"
#include "lsobject/script_items.h"
#include "sim/sim_note_file.h"
#include "timing/profile_app.h"

namespace {

using namespace quillet;
using namespace quillet::instrument_flags;

constexpr std::string_view kDatabase = "fuzz/notes.nsf";

// Procedures, lines, both, both left unsigned, and the end-of-run calls.
constexpr int32_t kFlagSets[] = {kTimeProcedures, kTimeLines, kTimeProcedures | kTimeLines,
                                 kTimeProcedures | kTimeLines | kLeaveUnsigned,
                                 kTimeProcedures | kTimeLines | kEndRunAtInitialize};

// Every script item of the note through InstrumentItem with a profile of
// its own; false when the note's items cannot be listed.
bool InstrumentAll(NoteHandle note, int32_t flags) {
  std::vector<std::string> names;
  if (ListScriptItems(note, names) != kNoError) return false;
  CLSProfileApp profile("nquillet", "", flags);
  profile.ContextFlags = flags;
  for (const std::string& name : names) {
    try {
      (void)InstrumentItem(profile, note, name, names, kSkipWatchChecks);
    } catch (const std::bad_alloc&) {
      // As the hook does: the item keeps its code and the others go on.
    }
  }
  return true;
}

// The note's items, as the note file they export to.
bool Exported(NoteHandle note, std::vector<sim::SimItemSpec>& items) {
  sim::NoteFile file;
  if (sim::ExportNote(Notes(), note, file) != kNoError) return false;
  sim::NoteFile read;
  ParseError error;
  if (!sim::ReadNoteFile(sim::WriteNoteFile(file), read, error)) return false;
  items = std::move(read.items);
  return true;
}

bool SameItems(const std::vector<sim::SimItemSpec>& a, const std::vector<sim::SimItemSpec>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].flags != b[i].flags || a[i].value != b[i].value)
      return false;
  }
  return true;
}

}  // namespace

namespace quillet::fuzz {

int NoteInstrument(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t flags = kFlagSets[data[0] % std::size(kFlagSets)];
  sim::NoteFile file;
  ParseError error;
  if (!sim::ReadNoteFile(std::span<const uint8_t>(data + 1, size - 1), file, error)) return 0;

  ScratchNote scratch(kDatabase);
  if (!scratch.ok()) return 0;
  const NoteHandle note = scratch.handle();
  Notes().NoteSetClass(note, file.noteClass);
  for (const sim::SimItemSpec& item : file.items) {
    if (Notes().ItemAppend(note, item.flags, item.name, item.type, item.value) != kNoError) return 0;
  }
  if (InstrumentAll(note, flags)) {
    std::vector<sim::SimItemSpec> once;
    FUZZ_CHECK(Exported(note, once));
    FUZZ_CHECK(InstrumentAll(note, flags));
    std::vector<sim::SimItemSpec> twice;
    FUZZ_CHECK(Exported(note, twice));
    FUZZ_CHECK(SameItems(once, twice));
  }
  FUZZ_CHECK(scratch.Close() == kNoError);
  return 0;
}

}  // namespace quillet::fuzz

QUILLET_FUZZ_ENTRY(NoteInstrument)
