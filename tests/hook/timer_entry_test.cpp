// The timer entries: the guard, the dispatch by type and the run end.
#include "hook/timer_entry.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "hook/hook_fixture.h"
#include "hook/quillet_svr.h"

namespace quillet {
namespace {

// A server object that records the runs the timer entry finalizes.
class RecordingServer : public CQuilletSvr {
 public:
  void FinalizeAgentRun(NoteId noteId) override { finalized.push_back(noteId); }
  std::vector<NoteId> finalized;
};

class TimerEntryTest : public testing::HookTest {
 protected:
  ProfileRef EnableClient() {
    StartClient();
    Perform("ENABLE,1,1,65535");
    return gProfilerApp->CurrentProfile();
  }
};

TEST_F(TimerEntryTest, EnterLineExitBuildOneCall) {
  ProfileRef context = EnableClient();
  ASSERT_TRUE(context);
  // Only the low halves of the slots count.
  KVXFunctionTimer(0xABCD0001, 0x00000002, 0x55550009, 0, 0, kTimerProcedureEnter);
  KVXLineTimer(0x0001, 0x0002, 0x0009, 0, 0, kTimerLine, 10);
  KVXLineTimer(0x0001, 0x0002, 0x0009, 0, 0, kTimerLine, 11);
  KVXFunctionTimer(0x0001, 0x0002, 0x0009, 0, 0, kTimerProcedureExit);

  ASSERT_EQ(context->Data.RootCount(), 1u);
  const CallRecord* call = context->Data.FirstRoot();
  EXPECT_EQ(call->Key, 0x00020001u);
  EXPECT_EQ(call->ProcedureId, 9u);
  ASSERT_NE(call->Lines().Find(10), nullptr);
  ASSERT_NE(call->Lines().Find(11), nullptr);
  EXPECT_TRUE(context->Data.CallStack().empty());
}

TEST_F(TimerEntryTest, TypesOnTheWrongEntryDoNothing) {
  ProfileRef context = EnableClient();
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerLine);     // 3 on the function entry
  KVXLineTimer(1, 0, 1, 0, 0, 4, 10);              // 4 on the line entry
  KVXLineTimer(1, 0, 1, 0, 0, kTimerProcedureEnter, 10);
  KVXFunctionTimer(1, 0, 1, 0, 0, 99);
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerRunEnd);   // the client has no runs to end
  EXPECT_EQ(context->Data.RootCount(), 0u);
  EXPECT_TRUE(context->Data.CallStack().empty());
}

TEST_F(TimerEntryTest, ExitWithoutOpenCallOrContextIsIgnored) {
  ProfileRef context = EnableClient();
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerProcedureExit);
  EXPECT_EQ(context->Data.RootCount(), 0u);
  Term(&vector);
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerProcedureEnter);  // no application object at all
}

TEST_F(TimerEntryTest, TimerCallPerformsWaitingMessagesFirst) {
  StartClient();
  ProfileRef context = gProfilerApp->CurrentProfile();
  Send("ENABLE,1,1,65535");  // not yet polled: the timer call polls it
  KVXFunctionTimer(4, 0, 2, 0, 0, kTimerProcedureEnter);
  EXPECT_TRUE(gProfilerApp->IsEnabled());
  EXPECT_EQ(context->Data.RootCount(), 1u);
}

TEST_F(TimerEntryTest, SwitchedOffServerNeitherRecordsNorTakesTheLock) {
  gProfilerApp = new CQuilletSvr();
  gProfilerApp->Enable(true, true, 0xFFFF);
  ProfileRef context = gProfilerApp->CurrentProfile();
  gProfilerApp->Enable(false, false, 0xFFFF);
  ASSERT_FALSE(gProfilerApp->IsEnabled());

  // Another thread holds the lock; a call that tried to take it would block.
  std::promise<void> held;
  std::promise<void> release;
  std::thread holder([&] {
    platform::LockHolder hold(gProfilerApp->Lock());
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  auto call = std::async(std::launch::async, [] {
    KVXFunctionTimer(1, 0, 1, 0, 0, kTimerProcedureEnter);
    KVXLineTimer(1, 0, 1, 0, 0, kTimerLine, 5);
  });
  const bool returned = call.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  release.set_value();
  holder.join();
  call.wait();
  EXPECT_TRUE(returned);
  EXPECT_EQ(context->Data.RootCount(), 0u);
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);
}

TEST_F(TimerEntryTest, RunEndOnServerFinalizesTheNoteFromBothHalves) {
  auto* server = new RecordingServer();
  gProfilerApp = server;
  server->Enable(true, true, 0xFFFF);
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerProcedureEnter);
  KVXFunctionTimer(1, 0, 1, 0, 0, kTimerProcedureExit);
  KVXFunctionTimer(1, 0, 1, 0x1234, 0xFFFF0002, kTimerRunEnd);
  EXPECT_EQ(server->finalized, std::vector<NoteId>{0x00021234});
  EXPECT_EQ(server->CurrentProfile()->Data.RootCount(), 1u);
}

}  // namespace
}  // namespace quillet
