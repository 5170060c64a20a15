// The library started as the Notes client in a simulated host, profiling
// switched on for one database, and design notes of that database opened the
// way the client's note-open hook opens them: InstrumentNote, then a new
// signature. Also what a run leaves in the profile: calls and line hits by
// procedure name.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "hook/quillet_app.h"
#include "sim/lsrun/note_runner.h"
#include "sim/sim_note_file.h"
#include "support/design_items_builder.h"
#include "support/design_note_kit.h"
#include "support/rich_text_builder.h"
#include "hook/hook_fixture.h"

namespace quillet::testing {

inline constexpr const char* kWatchedDb = "apps/orders.nsf";

// Design notes with code in rich text (the agent, library and database
// script come from the design-note kit). A form whose "$Body" holds a button
// and a hot region, each with its code:
sim::NoteFile FormNote(std::string_view title, std::string_view buttonSource, std::string_view hotspotSource);
// The action bar of FormWithActionBar: a LotusScript action, a formula
// action and a second LotusScript action, in that order.
struct ActionBarSources {
  std::string approve;  // LotusScript of action "Approve"
  std::string archive;  // LotusScript of action "Archive"
};
std::vector<kit::ActionSpec> ActionBarActions(const ActionBarSources& sources);
// A form whose "$Body" holds a button running `buttonSource` and whose
// "$ACTIONS" holds the actions of ActionBarActions.
sim::NoteFile FormWithActionBar(std::string_view title, std::string_view buttonSource, const ActionBarSources& sources);
// A navigator whose rectangle `shape` runs `source`.
sim::NoteFile NavigatorNote(std::string_view title, std::string_view shape, std::string_view source);
// The value of a composite item as stored: `type` word dropped.
using sim::CompositeItem;

class NoteOpenTest : public HookTest {
 protected:
  void SetUp() override;

  NoteId Store(const sim::NoteFile& note, const char* db = kWatchedDb);
  // Opens the stored note without any hook.
  NoteHandle OpenPlain(NoteId id, const char* db = kWatchedDb);
  // Opens the stored note as the client's note-open hook does.
  NoteHandle OpenThroughHook(NoteId id, const char* db = kWatchedDb);
  ProfileRef Profile();

  // Run options whose timer declarations reach the library in this process.
  static RunOptions Timed(std::string entry = {});

  // Every item instance of the note: name, type, flags and value, in order.
  std::vector<ItemInfo> Items(NoteHandle note);

  // Calls per procedure (upper-case full name) in the current profile's tree.
  std::map<std::string, int> Calls();
  // Line hits per procedure, summed over its calls.
  std::map<std::string, int> LineHits();
  // The registered procedure names of the current profile, upper case.
  std::vector<std::string> Registered();
};

}  // namespace quillet::testing
