// CheckAgentInstrumented on agent notes that also carry action bars: only
// whole-module script items decide, rich text is never loaded as a module.
#include "hook/agent_instrument.h"

#include <gtest/gtest.h>

#include "instrument/note_instrument.h"
#include "instrument/note_open_fixture.h"
#include "lsobject/script_items.h"
#include "sim/scoped_sim_host.h"
#include "support/design_note_kit.h"

namespace quillet::testing {
namespace {

constexpr char kDb[] = "agents.nsf";
constexpr char kAgentSource[] = "Sub Initialize\n  Print \"agent ran\"\nEnd Sub\n";
// Entry and line calls, without the watch checks (no application object here).
constexpr int32_t kFlags = 0x0003 | instrument_flags::kSkipWatchChecks;

ActionBarSources Actions() {
  return {"Sub Click\n  Print \"approved\"\nEnd Sub\n", "Sub Click\n  Print \"archived\"\nEnd Sub\n"};
}

// An agent with both action bars, each holding LotusScript actions with
// object code that no rewrite has touched.
sim::NoteFile AgentWithActionBars() {
  sim::NoteFile note = kit::AgentNote("Nightly", kAgentSource);
  note.items.push_back(CompositeItem(kActionsItem, kTypeCompositeData, kit::ActionBar(ActionBarActions(Actions()))));
  note.items.push_back(CompositeItem(kV5ActionsItem, kTypeCompositeData, kit::ActionBar(ActionBarActions(Actions()))));
  return note;
}

class AgentCheck : public ::testing::Test {
 protected:
  // Rewrites one script item of the open note as the note instrumentation does.
  static Status32 Instrument(NoteHandle note, std::string_view item) {
    CLSProfileApp profile("nquillet", "", 0);
    return InstrumentItem(profile, note, item, {}, kFlags);
  }

  sim::ScopedSimHost sim_;
};

TEST_F(AgentCheck, ActionBarsAreListedButOnlyTheAgentModuleDecides) {
  kit::OpenedNote opened(sim_.host(), kDb, AgentWithActionBars());
  ASSERT_EQ(opened.status(), kNoError);
  std::vector<std::string> names;
  ASSERT_EQ(ListScriptItems(opened.handle(), names), kNoError);
  ASSERT_EQ(names, (std::vector<std::string>{kActionsItem, kAgentActionItem, kV5ActionsItem}))
      << "the action bars are script items, and \"$ACTIONS\" comes first";

  EXPECT_EQ(CheckAgentInstrumented(opened.handle()), kErrAgentNotInstrumented);
  const std::vector<kit::Bytes> actions = kit::ItemValues(opened.handle(), kActionsItem);
  ASSERT_EQ(Instrument(opened.handle(), kAgentActionItem), kNoError);
  // The action bars' code was never rewritten, and the check does not ask for it.
  EXPECT_EQ(CheckAgentInstrumented(opened.handle()), kNoError);
  EXPECT_EQ(kit::ItemValues(opened.handle(), kActionsItem), actions) << "the check changes nothing";
}

TEST_F(AgentCheck, ActionBarThatIsNoModuleIsNotReadAsOne) {
  sim::NoteFile note = kit::AgentNote("Nightly", kAgentSource);
  // Data type 20 lists the item whatever its name; the name, in any case,
  // makes it rich text, so its bytes are never loaded as a module.
  note.items.push_back(sim::SimItemSpec{"$v5actions", kTypeLsObject, kit::Bytes(40, 0xEE), kit::kScriptItemFlags});
  kit::OpenedNote opened(sim_.host(), kDb, note);
  ASSERT_EQ(opened.status(), kNoError);
  std::vector<std::string> names;
  ASSERT_EQ(ListScriptItems(opened.handle(), names), kNoError);
  ASSERT_EQ(names.size(), 2u);
  ASSERT_EQ(Instrument(opened.handle(), kAgentActionItem), kNoError);
  EXPECT_EQ(CheckAgentInstrumented(opened.handle()), kNoError);
}

TEST_F(AgentCheck, ModuleItemBesideTheActionBarsStillCounts) {
  sim::NoteFile note = AgentWithActionBars();
  // A second module item: unreadable, then readable but never rewritten.
  note.items.push_back(sim::SimItemSpec{"Extra", kTypeLsObject, kit::Bytes(40, 0xEE), kit::kScriptItemFlags});
  kit::OpenedNote unreadable(sim_.host(), kDb, note);
  ASSERT_EQ(unreadable.status(), kNoError);
  ASSERT_EQ(Instrument(unreadable.handle(), kAgentActionItem), kNoError);
  EXPECT_EQ(CheckAgentInstrumented(unreadable.handle()), kErrAgentCodeUnreadable);

  note.items.back().value = kit::CompileScript("Sub Helper\n  Print \"helped\"\nEnd Sub\n");
  kit::OpenedNote plain(sim_.host(), kDb, note);
  ASSERT_EQ(plain.status(), kNoError);
  ASSERT_EQ(Instrument(plain.handle(), kAgentActionItem), kNoError);
  EXPECT_EQ(CheckAgentInstrumented(plain.handle()), kErrAgentNotInstrumented);
  ASSERT_EQ(Instrument(plain.handle(), "Extra"), kNoError);
  EXPECT_EQ(CheckAgentInstrumented(plain.handle()), kNoError);
}

}  // namespace
}  // namespace quillet::testing
