// Code that lives in design notes, opened the way the client's note-open
// hook opens them, run by the simulated runtime from the rewritten note:
// each kind of design note prints what it printed before and leaves its
// procedures, calls and line hits in the profile.
#include <gtest/gtest.h>

#include <algorithm>

#include "instrument/note_open_fixture.h"

namespace quillet::testing {
namespace {

constexpr const char* kAgentSource = R"(Option Declare
Sub Report(ByVal n As Integer)
  Print "item " & n
End Sub

Sub Initialize
  Dim i As Integer
  For i = 1 To 3
    Call Report(i)
  Next
  Print "agent done"
End Sub
)";

constexpr const char* kLibrarySource = R"(Function Square(ByVal n As Long) As Long
  Square = n * n
End Function

Sub Main
  Print "square " & Square(7)
  Print "cube " & Square(3) * 3
End Sub
)";

constexpr const char* kDatabaseScriptSource = R"(Sub Postopen
  Print "database opened"
End Sub
)";

constexpr const char* kApproveSource = R"(Sub Tally(ByVal n As Integer)
  Print "tally " & n
End Sub

Sub Click
  Dim i As Integer
  For i = 1 To 2
    Call Tally(i)
  Next
  Print "approved"
End Sub
)";

std::string ClickSource(std::string_view text) {
  return "Sub Click\n  Print \"" + std::string(text) + "\"\nEnd Sub\n";
}

class NoteEndToEnd : public NoteOpenTest {
 protected:
  bool Has(const std::string& name) {
    const std::vector<std::string> names = Registered();
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  // The records of every instance of composite item `name`.
  std::vector<kit::Bytes> Records(NoteHandle note, std::string_view name) {
    std::vector<kit::Bytes> records;
    for (const ItemInfo& item : Items(note)) {
      if (item.name != name) continue;
      EXPECT_EQ(sim->EnumerateCompositeRecords(item.value, [&](uint16_t, std::span<const uint8_t> record) -> STATUS {
        records.emplace_back(record.begin(), record.end());
        return kNoError;
      }), kNoError);
    }
    return records;
  }
};

TEST_F(NoteEndToEnd, AgentRunsFromItsActionAndIsTimed) {
  const NoteId id = Store(kit::AgentNote("Nightly", kAgentSource));
  const RunResult before = RunAgent(OpenPlain(id), {});
  ASSERT_TRUE(before.ok) << before.error;
  ASSERT_EQ(before.output, "item 1\nitem 2\nitem 3\nagent done\n");

  const NoteHandle note = OpenThroughHook(id);
  const RunResult after = RunAgent(note, Timed());
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ(after.output, before.output);
  EXPECT_TRUE(Has("INITIALIZE"));
  EXPECT_TRUE(Has("REPORT"));
  const auto calls = Calls();
  EXPECT_EQ(calls.at("INITIALIZE"), 1);
  EXPECT_EQ(calls.at("REPORT"), 3);
  const auto hits = LineHits();
  EXPECT_EQ(hits.at("REPORT"), 3) << "one Print line per call";
  EXPECT_GE(hits.at("INITIALIZE"), 3 + 1) << "the loop body three times, then the last Print";
}

TEST_F(NoteEndToEnd, ScriptLibraryRunsFromItsItem) {
  const NoteId id = Store(kit::ScriptLibraryNote("Maths", kLibrarySource));
  const RunResult before = RunNoteItem(OpenPlain(id), "$ScriptLib_O", Timed("Main"));
  ASSERT_TRUE(before.ok) << before.error;
  EXPECT_TRUE(Calls().empty()) << "the code as stored makes no timer calls";

  const RunResult after = RunNoteItem(OpenThroughHook(id), "$ScriptLib_O", Timed("Main"));
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ(after.output, before.output);
  EXPECT_EQ(after.output, "square 49\ncube 27\n");
  const auto calls = Calls();
  EXPECT_EQ(calls.at("MAIN"), 1);
  EXPECT_EQ(calls.at("SQUARE"), 2);
  EXPECT_EQ(LineHits().at("SQUARE"), 2);
  EXPECT_EQ(LineHits().at("MAIN"), 2);
}

TEST_F(NoteEndToEnd, DatabaseScriptRunsFromItsItem) {
  const NoteId id = Store(kit::DatabaseScriptNote(kDatabaseScriptSource));
  const RunResult after = RunNoteItem(OpenThroughHook(id), "$DBScript_O", Timed("Postopen"));
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ(after.output, "database opened\n");
  EXPECT_EQ(Calls().at("POSTOPEN"), 1);
  EXPECT_EQ(LineHits().at("POSTOPEN"), 1);
  platform::LockHolder hold(gProfilerApp->Lock());
  for (const auto& [key, info] : Profile()->Data.Procedures()) {
    EXPECT_EQ(info->ItemName, "$DBScript_O");
    EXPECT_EQ(info->Title, "Database Script");
    EXPECT_EQ(info->DatabasePath, kWatchedDb);
    EXPECT_EQ(info->NoteId, id);
  }
}

TEST_F(NoteEndToEnd, FormButtonAndHotspotRunFromTheirRichText) {
  const NoteId id = Store(FormNote("Order", ClickSource("button pressed"), ClickSource("region clicked")));
  const NoteHandle note = OpenThroughHook(id);
  const RunResult button = RunNoteObjectCode(note, "$Body", "Button\\Script", Timed("Click"));
  ASSERT_TRUE(button.ok) << button.error;
  EXPECT_EQ(button.output, "button pressed\n");
  const RunResult region = RunNoteObjectCode(note, "$Body", "Hotspot\\Script", Timed("Click"));
  ASSERT_TRUE(region.ok) << region.error;
  EXPECT_EQ(region.output, "region clicked\n");

  EXPECT_EQ(Calls().at("CLICK"), 2) << "one call from each piece of code";
  EXPECT_EQ(LineHits().at("CLICK"), 2);
  platform::LockHolder hold(gProfilerApp->Lock());
  std::vector<std::string> places;
  for (const auto& [key, info] : Profile()->Data.Procedures()) {
    places.push_back(info->ModuleDisplayName);
    EXPECT_EQ(info->NoteId, id) << "the item context's note, though the code passes 0";
  }
  std::sort(places.begin(), places.end());
  EXPECT_EQ(places, (std::vector<std::string>{"Button\\Script", "Hotspot\\Script"}));
}

TEST_F(NoteEndToEnd, ActionBarScriptActionsRunFromTheRewrittenNote) {
  const ActionBarSources sources{kApproveSource, ClickSource("archived")};
  const NoteId id = Store(FormWithActionBar("Request", ClickSource("submitted"), sources));
  constexpr const char* kApprove = "Action 'Approve'\\Script";
  constexpr const char* kArchive = "Action 'Archive'\\Script";
  const RunResult before = RunNoteObjectCode(OpenPlain(id), "$ACTIONS", kApprove, Timed("Click"));
  ASSERT_TRUE(before.ok) << before.error;
  ASSERT_EQ(before.output, "tally 1\ntally 2\napproved\n");
  EXPECT_TRUE(Calls().empty()) << "the actions as stored make no timer calls";

  const NoteHandle note = OpenThroughHook(id);
  const RunResult approve = RunNoteObjectCode(note, "$ACTIONS", kApprove, Timed("Click"));
  ASSERT_TRUE(approve.ok) << approve.error;
  EXPECT_EQ(approve.output, before.output);
  const RunResult archive = RunNoteObjectCode(note, "$ACTIONS", kArchive, Timed("Click"));
  ASSERT_TRUE(archive.ok) << archive.error;
  EXPECT_EQ(archive.output, "archived\n");
  const RunResult button = RunNoteObjectCode(note, "$Body", "Button\\Script", Timed("Click"));
  ASSERT_TRUE(button.ok) << button.error;
  EXPECT_EQ(button.output, "submitted\n");

  const auto calls = Calls();
  EXPECT_EQ(calls.at("CLICK"), 3) << "both actions and the button";
  EXPECT_EQ(calls.at("TALLY"), 2);
  const auto hits = LineHits();
  EXPECT_EQ(hits.at("TALLY"), 2);
  EXPECT_GE(hits.at("CLICK"), 2 + 1 + 1 + 1) << "the loop body twice and a Print in each piece";
  {
    platform::LockHolder hold(gProfilerApp->Lock());
    std::vector<std::string> places;
    for (const auto& [key, info] : Profile()->Data.Procedures()) {
      if (std::find(places.begin(), places.end(), info->ModuleDisplayName) == places.end())
        places.push_back(info->ModuleDisplayName);
      EXPECT_EQ(info->NoteId, id);
    }
    std::sort(places.begin(), places.end());
    EXPECT_EQ(places, (std::vector<std::string>{kApprove, kArchive, "Button\\Script"}));
  }

  // Only the object code changed: the actions' titles, sources and formulas
  // (the formula action and the hide-when formula) are stored as they were.
  const std::vector<kit::ActionSpec> actions = ActionBarActions(sources);
  const std::vector<kit::Bytes> records = Records(note, "$ACTIONS");
  ASSERT_EQ(records.size(), 2 + 2 + 1 + 2u);
  EXPECT_EQ(records[2], kit::ActionRecord(actions[0]));
  EXPECT_NE(records[3], kit::LsObjectRecord(actions[0].objectCode));
  EXPECT_EQ(records[4], kit::ActionRecord(actions[1]));
  EXPECT_EQ(records[5], kit::ActionRecord(actions[2]));
  EXPECT_NE(records[6], kit::LsObjectRecord(actions[2].objectCode));

  // The database keeps the action bar as it was stored.
  const std::vector<kit::Bytes> stored = Records(OpenPlain(id), "$ACTIONS");
  ASSERT_EQ(stored.size(), records.size());
  EXPECT_EQ(stored[3], kit::LsObjectRecord(actions[0].objectCode));
}

TEST_F(NoteEndToEnd, ViewActionBarGetsItsStoredCodeBackBeforeASave) {
  sim::NoteFile view = kit::DesignNote(kNoteClassView, "By date", "");
  view.items.push_back(CompositeItem("$ACTIONS", kTypeCompositeData,
                                     kit::ActionBar(ActionBarActions({kApproveSource, ClickSource("archived")}))));
  const NoteId id = Store(view);
  const std::vector<kit::Bytes> stored = Records(OpenPlain(id), "$ACTIONS");
  const NoteHandle note = OpenThroughHook(id);
  const RunResult run = RunNoteObjectCode(note, "$ACTIONS", "Action 'Archive'\\Script", Timed("Click"));
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(Calls().at("CLICK"), 1);
  ASSERT_NE(Records(note, "$ACTIONS"), stored) << "the view's actions were rewritten";
  // What the note-update hook does before a view is saved.
  EXPECT_EQ(gProfilerApp->RestoreViewNote(note), kNoError);
  EXPECT_EQ(Records(note, "$ACTIONS"), stored);
}

TEST_F(NoteEndToEnd, NavigatorShapeRunsFromItsLayout) {
  const NoteId id = Store(NavigatorNote("Main map", "Home", ClickSource("going home")));
  const NoteHandle note = OpenThroughHook(id);
  const RunResult run = RunNoteObjectCode(note, "$ViewMapLayout", "Rectangle 'Home'\\Script", Timed("Click"));
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output, "going home\n");
  EXPECT_EQ(Calls().at("CLICK"), 1);
  EXPECT_EQ(LineHits().at("CLICK"), 1);
  EXPECT_NE(gProfilerApp->SavedViewNote(sim->NoteOriginator(note).unid), NoteHandle{})
      << "the client keeps the navigator as it was before the rewrite";
}

}  // namespace
}  // namespace quillet::testing
