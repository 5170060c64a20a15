// CQuilletApp: profile-context stacks by run key and the saved view notes.
#include "hook/quillet_app.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "hook/quillet_svr.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class QuilletAppTest : public ::testing::Test {
 protected:
  NoteHandle OpenNewNote(uint16_t noteClass) {
    NoteId id = 0;
    EXPECT_EQ(sim->CreateNote("apps/sales.nsf", noteClass, {sim::SimItemSpec::Text("$TITLE", "V")}, id), kNoError);
    NoteHandle note;
    EXPECT_EQ(sim->NoteOpen(db, id, 0, note), kNoError);
    return note;
  }
  void SetUp() override {
    ASSERT_EQ(sim->CreateDatabase("apps/sales.nsf"), kNoError);
    ASSERT_EQ(sim->DbOpen("apps/sales.nsf", db), kNoError);
  }
  sim::ScopedSimHost sim;
  DbHandle db;
};

TEST_F(QuilletAppTest, ClientStackPushesPopsAndDropsItsEntry) {
  CQuilletApp app;
  EXPECT_EQ(app.CurrentProfile(), nullptr);
  ProfileRef first = app.PushProfile();
  ProfileRef second = app.PushProfile();
  EXPECT_EQ(app.CurrentProfile(), second);
  EXPECT_EQ(second->ContextFlags, kClientInstrumentFlags);
  EXPECT_EQ(second->ModuleName, "nquillet");
  app.PopProfile();
  EXPECT_EQ(app.CurrentProfile(), first);
  app.PopProfile();
  EXPECT_EQ(app.ProfileDepth(), 0u);
  app.PopProfile();  // popping an empty stack is harmless
  EXPECT_EQ(app.CurrentProfile(), nullptr);
}

TEST_F(QuilletAppTest, ServerThreadsHaveTheirOwnStacks) {
  CQuilletSvr server;
  server.Enable(true, true, 0xFFFF);
  ProfileRef mine = server.CurrentProfile();
  ASSERT_TRUE(mine);
  EXPECT_EQ(mine->ContextFlags, kServerInstrumentFlags);
  size_t otherDepth = 99;
  std::thread([&] { otherDepth = server.ProfileDepth(); }).join();
  EXPECT_EQ(otherDepth, 0u);
  server.Enable(true, false, 0x20);  // the thread's context is reset, not stacked
  EXPECT_EQ(server.ProfileDepth(), 1u);
  EXPECT_EQ(mine->ContextFlags, 0x20);
  server.Enable(false, false, 0xFFFF);
  EXPECT_FALSE(server.IsEnabled());
  EXPECT_EQ(server.ProfileDepth(), 0u);
}

TEST_F(QuilletAppTest, ViewNotesAreCopiedOnceAndClosedWithTheObject) {
  const size_t openBefore = sim->OpenNoteCount();
  NoteHandle view = OpenNewNote(kNoteClassView);
  NoteHandle form = OpenNewNote(kNoteClassForm);
  const Unid viewId = sim->NoteOriginator(view).unid;
  const Unid formId = sim->NoteOriginator(form).unid;
  {
    auto app = std::make_unique<CQuilletApp>();
    app->RememberViewNote(view);
    const NoteHandle copy = app->SavedViewNote(viewId);
    ASSERT_TRUE(copy.valid());
    EXPECT_NE(copy, view);
    app->RememberViewNote(view);  // the first copy stays
    EXPECT_EQ(app->SavedViewNote(viewId), copy);
    app->RememberViewNote(form);  // not a view
    EXPECT_FALSE(app->SavedViewNote(formId).valid());
    EXPECT_EQ(sim->OpenNoteCount(), openBefore + 3);
  }
  EXPECT_EQ(sim->OpenNoteCount(), openBefore + 2);  // the copy went with the object
}

TEST_F(QuilletAppTest, FailedViewCopyStoresNothing) {
  NoteHandle view = OpenNewNote(kNoteClassView);
  CQuilletApp app;
  sim->FailNext("NoteCopy", kErrInvalidHandle);
  app.RememberViewNote(view);
  EXPECT_FALSE(app.SavedViewNote(sim->NoteOriginator(view).unid).valid());
  app.RememberViewNote(view);  // a later attempt may succeed
  EXPECT_TRUE(app.SavedViewNote(sim->NoteOriginator(view).unid).valid());
}

}  // namespace
}  // namespace quillet
