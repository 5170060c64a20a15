// The simulated Notes client: design elements stored and found, their code
// read and run, the design cache copies, and saves through the update hook.
#include "sim/client/client_session.h"

#include <gtest/gtest.h>

#include "config/settings.h"
#include "platform/platform.h"
#include "sim/client/controller.h"
#include "sim/client/client_fixture.h"
#include "sim/client/design_notes.h"
#include "sim/scoped_sim_host.h"

namespace quillet::sim {
namespace {

using testing::CompileSource;

class ClientSessionTest : public ::testing::Test {
 protected:
  static constexpr const char* kApp = "apps/orders.nsf";

  void SetUp() override {
    WriteSetting("Placeholder", "1");
    ASSERT_EQ(sim->CreateDatabase(kApp, "Orders"), kNoError);
    ASSERT_TRUE(session.Start());
    ASSERT_EQ(session.OpenDatabase(kApp, db), kNoError);
  }
  void TearDown() override {
    static_cast<void>(session.CloseDatabase(db));
    session.Stop();
  }

  ScopedSimHost sim;
  ClientSession session{sim.host()};
  DbHandle db;
};

TEST_F(ClientSessionTest, FormButtonsAndAgentRunFromTheirNotes) {
  NoteId id = 0;
  ASSERT_EQ(CreateDesignNote(sim.host(), kApp,
                             {DesignKind::kForm, "Order",
                              {CompileSource("Sub Initialize\n Print \"first\"\nEnd Sub\n"),
                               CompileSource("Sub Initialize\n Print \"second\"\nEnd Sub\n")}},
                             id),
            kNoError);
  ASSERT_EQ(CreateDesignNote(sim.host(), kApp,
                             {DesignKind::kAgent, "Nightly", {CompileSource("Sub Initialize\n Print 6 * 7\nEnd Sub\n")}}, id),
            kNoError);

  NoteHandle form;
  ASSERT_EQ(session.OpenDesign(db, kNoteClassForm, "order", form), kNoError);
  RunResult ran = session.RunNote(form, {});
  EXPECT_TRUE(ran.ok) << ran.error;
  EXPECT_EQ(ran.output, "first\nsecond\n");
  EXPECT_EQ(session.CloseNote(form), kNoError);

  NoteHandle agent;
  ASSERT_EQ(session.OpenDesign(db, kNoteClassFilter, "Nightly", agent), kNoError);
  ran = session.RunNote(agent, {});
  EXPECT_TRUE(ran.ok) << ran.error;
  EXPECT_EQ(ran.output, "42\n");
  EXPECT_EQ(session.CloseNote(agent), kNoError);

  EXPECT_EQ(session.OpenDesign(db, kNoteClassForm, "Nightly", form), kErrNoteNotFound);  // an agent, not a form
}

TEST_F(ClientSessionTest, ModuleSplitOverItemsRunsAsOne) {
  const Image image = CompileSource("Sub Initialize\n Print \"whole\"\nEnd Sub\n");
  const size_t half = image.size() / 2;
  NoteId id = 0;
  ASSERT_EQ(sim->CreateNote(kApp, kNoteClassFilter,
                            {SimItemSpec::Text("$TITLE", "Lib"),
                             SimItemSpec{"$ScriptLib_O", kTypeLsObject, Image(image.begin(), image.begin() + half)},
                             SimItemSpec{"$ScriptLib_O", kTypeLsObject, Image(image.begin() + half, image.end())}},
                            id),
            kNoError);
  NoteHandle note;
  ASSERT_EQ(session.OpenNote(db, id, note), kNoError);
  std::vector<NoteScript> scripts;
  ASSERT_EQ(ReadNoteScripts(note, scripts), 0u);
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_EQ(scripts[0].image, image);
  EXPECT_EQ(session.RunNote(note, {}).output, "whole\n");
  EXPECT_EQ(session.CloseNote(note), kNoError);
}

TEST_F(ClientSessionTest, DamagedBodyRecordIsNotRun) {
  Image body = FormBodyValue(std::vector<Image>{CompileSource("Sub Initialize\n Print 1\nEnd Sub\n")});
  body[2 + 2] = 0xFF;  // the record's length now overruns the value
  body[2 + 3] = 0xFF;
  NoteId id = 0;
  ASSERT_EQ(sim->CreateNote(kApp, kNoteClassForm,
                            {SimItemSpec{"$Body", kTypeCompositeData, Image(body.begin() + 2, body.end())}}, id),
            kNoError);
  NoteHandle note;
  ASSERT_EQ(session.OpenNote(db, id, note), kNoError);
  const RunResult ran = session.RunNote(note, {});
  EXPECT_FALSE(ran.ok);
  EXPECT_EQ(ran.output, "");
  EXPECT_EQ(ran.error.rfind("the note's items could not be read", 0), 0u) << ran.error;
  EXPECT_EQ(session.CloseNote(note), kNoError);
}

TEST_F(ClientSessionTest, DesignCacheCopyNamesItsSource) {
  NoteId id = 0;
  ASSERT_EQ(CreateDesignNote(sim.host(), kApp, {DesignKind::kLibrary, "Utils", {CompileSource("Sub Initialize\nEnd Sub\n")}},
                             id),
            kNoError);
  NoteId cached = 0;
  ASSERT_EQ(CacheDesignNote(sim.host(), kApp, id, kDesignCachePath, cached), kNoError);
  DbHandle cache;
  ASSERT_EQ(session.OpenDatabase(kDesignCachePath, cache), kNoError);
  NoteHandle note;
  ASSERT_EQ(session.OpenNote(cache, cached, note), kNoError);
  std::string text;
  sim->ItemText(note, "$SourceDbPath", text, 256);
  EXPECT_EQ(text, kApp);
  sim->ItemText(note, "$SourceURL", text, 256);
  char expected[16];
  std::snprintf(expected, sizeof expected, "/%X", static_cast<unsigned>(id));
  EXPECT_TRUE(text.ends_with(expected)) << text;
  EXPECT_EQ(sim->NoteClass(note), kNoteClassFilter);
  EXPECT_EQ(session.RunNote(note, {}).ok, true);
  EXPECT_EQ(session.CloseNote(note), kNoError);
  EXPECT_EQ(session.CloseDatabase(cache), kNoError);
  EXPECT_EQ(CacheDesignNote(sim.host(), kApp, 0x4242, kDesignCachePath, cached), kErrNoteNotFound);
}

TEST_F(ClientSessionTest, SaveGoesThroughTheUpdateHook) {
  NoteId id = 0;
  ASSERT_EQ(CreateDesignNote(sim.host(), kApp, {DesignKind::kForm, "Order", {}}, id), kNoError);
  Controller controller(sim.host());
  ASSERT_EQ(controller.Enable(true, true, 3), kNoError);
  ASSERT_EQ(controller.SetFilter(kApp), kNoError);
  NoteHandle form;
  ASSERT_EQ(session.OpenNote(db, id, form), kNoError);  // the hook performs both messages
  EXPECT_TRUE(Controller::ProfilerRunning());
  ASSERT_EQ(sim->ItemSetText(form, "$TITLE", "Order 2"), kNoError);
  const auto boxes = platform::SetMessageBoxSink([](std::string_view, std::string_view) {});
  EXPECT_EQ(session.SaveNote(form, 0), kErrDesignSaveRefused);
  ASSERT_EQ(controller.Enable(false, false, 65535), kNoError);
  EXPECT_EQ(session.SaveNote(form, 0), kNoError);
  platform::SetMessageBoxSink(boxes);
  EXPECT_FALSE(Controller::ProfilerRunning());
  EXPECT_EQ(session.CloseNote(form), kNoError);
  NoteId found = 0;
  EXPECT_EQ(session.FindDesign(db, kNoteClassForm, "Order 2", found), kNoError);
  EXPECT_EQ(found, id);
}

TEST_F(ClientSessionTest, SecondClientStaysUnhooked) {
  ClientSession second(sim.host());
  EXPECT_FALSE(second.Start());  // the first owns the controller queue
  EXPECT_EQ(second.Vector().noteOpen, nullptr);
}

}  // namespace
}  // namespace quillet::sim
