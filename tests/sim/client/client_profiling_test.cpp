// Client profiling end to end: an outside controller switches profiling on
// and sets the filter, the user's session opens and runs design elements of
// the watched database through the hooks, and "FINALIZERUN" writes a report
// with their procedures; design saves are refused while on; views come back
// unrewritten; other databases are left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "hook/controller_message.h"
#include "hook/quillet_app.h"
#include "sim/client/client_fixture.h"

namespace quillet::sim {
namespace {

using testing::ClientProfiling;

std::set<std::string> ProcedureNames(const Report& report, std::string_view title) {
  std::set<std::string> names;
  for (const ReportProcedure& p : report.Procedures) {
    if (p.Title == title) names.insert(p.FullName);
  }
  return names;
}

TEST_F(ClientProfiling, EnableOpenRunFinalizeReportsTheFormsProcedures) {
  SwitchOnFromController();
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(app, formId, form), kNoError);  // the hook performs both messages first
  EXPECT_TRUE(Controller::ProfilerRunning());
  NoteHandle stored;
  ASSERT_EQ(sim->NoteOpen(app, formId, 0, stored), kNoError);
  EXPECT_NE(Value(form, "$Body"), Value(stored, "$Body"));  // the button code was rewritten in memory
  const RunResult ran = session.RunNote(form, {});
  EXPECT_TRUE(ran.ok) << ran.error;
  EXPECT_EQ(ran.output, "1\n2\n3\n");

  FromController([&](Controller& c) {
    ASSERT_EQ(c.FinalizeRun(ReportPath()), kNoError);
    EXPECT_TRUE(Controller::WaitRunning(false, 5000));  // the poll thread performs it
  });
  const Report report = ReadBack();
  EXPECT_EQ(ProcedureNames(report, "Order"), (std::set<std::string>{"Initialize", "Tally"}));
  for (const ReportProcedure& p : report.Procedures) EXPECT_EQ(p.DatabasePath, kApp);
  EXPECT_FALSE(report.Roots.empty());

  // Profiling is off: a note opened now keeps its stored code.
  NoteHandle again;
  ASSERT_EQ(session.OpenNote(app, formId, again), kNoError);
  EXPECT_EQ(Value(again, "$Body"), Value(stored, "$Body"));
  for (NoteHandle n : {form, stored, again}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

TEST_F(ClientProfiling, NotesOfOtherDatabasesAreUntouched) {
  SwitchOnFromController();
  NoteHandle stored;
  ASSERT_EQ(sim->NoteOpen(other, otherFormId, 0, stored), kNoError);
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(other, otherFormId, form), kNoError);
  EXPECT_EQ(Items(form), Items(stored));
  EXPECT_EQ(session.RunNote(form, {}).output, "1\n2\n3\n");
  for (NoteHandle n : {form, stored}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

TEST_F(ClientProfiling, DesignCacheNotesAreInstrumentedOnBehalfOfTheirSource) {
  NoteId cachedApp = 0;
  NoteId cachedOther = 0;
  ASSERT_EQ(CacheDesignNote(sim.host(), kApp, agentId, kDesignCachePath, cachedApp), kNoError);
  ASSERT_EQ(CacheDesignNote(sim.host(), kOther, otherFormId, kDesignCachePath, cachedOther), kNoError);
  SwitchOnFromController();
  DbHandle cache;
  ASSERT_EQ(session.OpenDatabase(kDesignCachePath, cache), kNoError);
  NoteHandle agent;
  NoteHandle foreign;
  NoteHandle storedForeign;
  ASSERT_EQ(session.OpenNote(cache, cachedApp, agent), kNoError);
  ASSERT_EQ(session.OpenNote(cache, cachedOther, foreign), kNoError);
  ASSERT_EQ(sim->NoteOpen(cache, cachedOther, 0, storedForeign), kNoError);
  EXPECT_EQ(Items(foreign), Items(storedForeign));
  EXPECT_EQ(session.RunNote(agent, {}).output, "night\n");
  FinalizeFromController();
  const Report report = ReadBack();
  EXPECT_EQ(ProcedureNames(report, "Nightly"), (std::set<std::string>{"Initialize", "Nightly"}));
  for (const ReportProcedure& p : report.Procedures) EXPECT_EQ(p.NoteId, agentId);  // from "$SourceURL"
  for (NoteHandle n : {agent, foreign, storedForeign}) EXPECT_EQ(session.CloseNote(n), kNoError);
  EXPECT_EQ(session.CloseDatabase(cache), kNoError);
}

TEST_F(ClientProfiling, DesignSaveRefusedWhileOnAcceptedAfterSwitchingOff) {
  SwitchOnFromController();
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(app, formId, form), kNoError);
  ASSERT_EQ(sim->ItemSetText(form, "$TITLE", "Order (changed)"), kNoError);
  EXPECT_EQ(session.SaveNote(form, 0), kErrDesignSaveRefused);
  ASSERT_EQ(boxes.size(), 1u);
  NoteId found = 0;
  EXPECT_EQ(session.FindDesign(app, kNoteClassForm, "Order (changed)", found), kErrNoteNotFound);

  NoteId documentId = 0;
  ASSERT_EQ(sim->CreateNote(kApp, kNoteClassDocument, {SimItemSpec::Text("Subject", "a")}, documentId), kNoError);
  NoteHandle document;
  ASSERT_EQ(session.OpenNote(app, documentId, document), kNoError);
  ASSERT_EQ(sim->ItemSetText(document, "Subject", "b"), kNoError);
  EXPECT_EQ(session.SaveNote(document, 0), kNoError);  // data saves normally

  FromController([](Controller& c) {
    ASSERT_EQ(c.Enable(false, false, 65535), kNoError);
    EXPECT_TRUE(Controller::WaitRunning(false, 5000));
  });
  NoteHandle fresh;
  ASSERT_EQ(session.OpenNote(app, formId, fresh), kNoError);
  ASSERT_EQ(sim->ItemSetText(fresh, "$TITLE", "Order (changed)"), kNoError);
  EXPECT_EQ(session.SaveNote(fresh, 0), kNoError);
  EXPECT_EQ(session.FindDesign(app, kNoteClassForm, "Order (changed)", found), kNoError);
  EXPECT_EQ(boxes.size(), 1u);
  for (NoteHandle n : {form, document, fresh}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

TEST_F(ClientProfiling, ViewRewrittenOnOpenIsStoredUnrewrittenAfterFinalization) {
  NoteHandle stored;
  ASSERT_EQ(sim->NoteOpen(app, viewId, 0, stored), kNoError);
  const auto before = Value(stored, "$$Script_O");
  SwitchOnFromController();
  NoteHandle view;
  ASSERT_EQ(session.OpenNote(app, viewId, view), kNoError);
  ASSERT_NE(Value(view, "$$Script_O"), before);
  EXPECT_EQ(session.RunNote(view, {}).output, "view\n");
  FinalizeFromController();
  ASSERT_EQ(sim->ItemSetText(view, "$TITLE", "By day"), kNoError);
  EXPECT_EQ(session.SaveNote(view, 0x0008), kNoError);
  NoteHandle reread;
  ASSERT_EQ(sim->NoteOpen(app, viewId, 0, reread), kNoError);
  EXPECT_EQ(Value(reread, "$$Script_O"), before);
  std::string title;
  sim->ItemText(reread, "$TITLE", title, 256);
  EXPECT_EQ(title, "By day");
  for (const auto& [name, value] : Items(reread)) EXPECT_FALSE(name.ends_with("_KVX")) << name;
  for (NoteHandle n : {stored, view, reread}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

TEST_F(ClientProfiling, SecondEnableWhileOnResetsAndKeepsProfiling) {
  SwitchOnFromController();
  NoteHandle agent;
  ASSERT_EQ(session.OpenNote(app, agentId, agent), kNoError);
  EXPECT_EQ(session.RunNote(agent, {}).output, "night\n");
  FromController([](Controller& c) { ASSERT_EQ(c.Enable(true, false, 65535), kNoError); });
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(app, formId, form), kNoError);
  EXPECT_GE(gProfilerApp->PollThreadCount(), 1);
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 1u);
  EXPECT_EQ(session.RunNote(form, {}).output, "1\n2\n3\n");
  FinalizeFromController();
  const Report report = ReadBack();
  // clear 0 kept what the agent's run collected.
  EXPECT_EQ(ProcedureNames(report, "Nightly"), (std::set<std::string>{"Initialize", "Nightly"}));
  EXPECT_EQ(ProcedureNames(report, "Order"), (std::set<std::string>{"Initialize", "Tally"}));
  for (NoteHandle n : {agent, form}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

TEST_F(ClientProfiling, MalformedAndUnknownMessagesAreConsumedWithoutEffect) {
  FromController([](Controller& c) {
    for (const char* message : {"", ",", "BOGUS", "ENABLE,1", "ENABLE,1,1", "SETFILTER", "FINALIZERUN,x",
                                "SETFILTER,a,b", "ENABLE,1,1,3,4", "FINALIZERUN"}) {
      ASSERT_EQ(c.Send(message), kNoError);
    }
  });
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(app, formId, form), kNoError);
  EXPECT_EQ(sim->WaitingMessages(kControllerQueueName), 0u);
  EXPECT_FALSE(Controller::ProfilerRunning());
  NoteHandle stored;
  ASSERT_EQ(sim->NoteOpen(app, formId, 0, stored), kNoError);
  EXPECT_EQ(Items(form), Items(stored));
  for (NoteHandle n : {form, stored}) EXPECT_EQ(session.CloseNote(n), kNoError);
}

}  // namespace
}  // namespace quillet::sim
