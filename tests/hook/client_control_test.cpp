// The client's controller: ENABLE, SETFILTER and FINALIZERUN through the
// queue, the named mutex and event, and the poll threads.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "hook/hook_fixture.h"
#include "hook/timer_entry.h"
#include "platform/platform.h"
#include "timing/report_reader.h"

namespace quillet {
namespace {

class ClientControlTest : public testing::HookTest {
 protected:
  void SetUp() override {
    HookTest::SetUp();
    StartClient();
    ASSERT_NE(gProfilerApp, nullptr);
  }
  // Whether the named mutex exists, seen as another process would.
  static bool MutexExists() {
    bool existed = false;
    const platform::Handle probe = platform::CreateNamedMutex(kRunningMutexName, &existed);
    platform::CloseHandle(probe);
    return existed;
  }
  std::vector<std::string> Watched() {
    platform::LockHolder hold(gProfilerApp->Lock());
    ProfileRef context = gProfilerApp->CurrentProfile();
    return context ? context->Databases : std::vector<std::string>{};
  }
  std::string ReportPath() const { return sim.dataDirectory() + "/run.zvk"; }
};

TEST_F(ClientControlTest, EnableSwitchesOnWithMutexPollThreadAndFlags) {
  EXPECT_FALSE(MutexExists());
  Perform("ENABLE,1,1,80");
  EXPECT_TRUE(gProfilerApp->IsEnabled());
  EXPECT_TRUE(MutexExists());
  EXPECT_GE(gProfilerApp->PollThreadCount(), 1);
  ASSERT_EQ(gProfilerApp->ProfileDepth(), 1u);  // the start-up context is reused
  EXPECT_EQ(gProfilerApp->CurrentProfile()->ContextFlags, 80);
  EXPECT_TRUE(gProfilerApp->CurrentProfile()->Collecting);
  EXPECT_EQ(sim->WaitingMessages(kControllerQueueName), 0u);

  Perform("enable,1,0,65535");  // keeps the flags
  EXPECT_EQ(gProfilerApp->CurrentProfile()->ContextFlags, 80);
}

TEST_F(ClientControlTest, SetFilterWatchesOneDatabase) {
  Perform("ENABLE,1,1,65535");
  Perform("SETFILTER,apps/sales.nsf");
  Perform("SETFILTER,apps/orders.nsf");
  EXPECT_EQ(Watched(), std::vector<std::string>{"apps/orders.nsf"});
  Perform("SETFILTER,apps/other.nsf,1");  // three fields: ignored
  EXPECT_EQ(Watched(), std::vector<std::string>{"apps/orders.nsf"});
  EXPECT_EQ(sim->WaitingMessages(kControllerQueueName), 0u);
}

TEST_F(ClientControlTest, FinalizeWritesTheReportAndSwitchesOff) {
  Perform("ENABLE,1,1,65535");
  ProfileRef context = gProfilerApp->CurrentProfile();
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureEnter);
  KVXLineTimer(7, 0, 3, 0, 0, kTimerLine, 12);
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureExit);
  Perform("FINALIZERUN," + ReportPath() + ",0");

  Report report;
  ReportError error;
  ASSERT_TRUE(ReadReportFile(ReportPath(), report, error)) << error.Text;
  ASSERT_EQ(report.Roots.size(), 1u);
  EXPECT_EQ(report.Calls[report.Roots[0]].Key, 7u);
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_FALSE(MutexExists());
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);

  // Profiling is off: a late timer call records nothing, anywhere.
  KVXFunctionTimer(8, 0, 1, 0, 0, kTimerProcedureEnter);
  EXPECT_EQ(context->Data.RootCount(), 1u);
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);

  // The next switch-on starts from a fresh context.
  Perform("ENABLE,1,0,65535");
  ASSERT_NE(gProfilerApp->CurrentProfile(), context);
  EXPECT_EQ(gProfilerApp->CurrentProfile()->Data.RootCount(), 0u);
}

TEST_F(ClientControlTest, FailedReportStillSwitchesOff) {
  Perform("ENABLE,1,1,65535");
  Perform("FINALIZERUN," + sim.dataDirectory() + "/missing/dir/run.zvk,0");
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);
}

TEST_F(ClientControlTest, EnableOffPopsAndRepeatedOnKeepsOneMutex) {
  Perform("ENABLE,1,1,65535");
  Perform("ENABLE,1,1,65535");  // a second handle replaces the first
  Perform("ENABLE,0,0,65535");
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_FALSE(MutexExists());  // no handle of ours keeps it alive
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);
}

TEST_F(ClientControlTest, EnableWithClearDropsCollectedData) {
  Perform("ENABLE,1,1,65535");
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureEnter);
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureExit);
  gProfilerApp->CurrentProfile()->Messages.push_back("warning");
  Perform("ENABLE,1,1,65535");
  EXPECT_EQ(gProfilerApp->CurrentProfile()->Data.RootCount(), 0u);
  EXPECT_TRUE(gProfilerApp->CurrentProfile()->Messages.empty());
}

// A controller that re-enables mid-session with clear 0 keeps the call tree,
// the procedures and the warnings collected so far.
TEST_F(ClientControlTest, EnableWithoutClearKeepsCollectedData) {
  Perform("ENABLE,1,1,65535");
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureEnter);
  KVXFunctionTimer(7, 0, 3, 0, 0, kTimerProcedureExit);
  ProcedureInfo info;
  info.ProcedureId = 3;
  info.FullName = "Work";
  gProfilerApp->CurrentProfile()->Data.AddProcedure(7, info);
  gProfilerApp->CurrentProfile()->Messages.push_back("warning");
  Perform("ENABLE,1,0,80");
  ProfileRef context = gProfilerApp->CurrentProfile();
  EXPECT_EQ(context->Data.RootCount(), 1u);
  EXPECT_EQ(context->Data.Procedures().size(), 1u);
  EXPECT_EQ(context->Messages, std::vector<std::string>{"warning"});
  EXPECT_EQ(context->ContextFlags, 80);
  EXPECT_TRUE(context->Collecting);
}

// Switched off and on again before the poll thread saw the stop signal: the
// switch-on resets the event, and the old thread must still end, leaving the
// new period's thread alone.
TEST_F(ClientControlTest, PollThreadOfThePreviousPeriodEndsAfterAQuickSwitchOnAgain) {
  Perform("ENABLE,1,1,65535");
  ASSERT_EQ(gProfilerApp->PollThreadCount(), 1);
  Send("ENABLE,0,0,65535");
  Send("ENABLE,1,1,65535");
  gProfilerApp->PollMessages();  // both in one scan
  EXPECT_TRUE(gProfilerApp->IsEnabled());
  EXPECT_TRUE(WaitFor([&] { return gProfilerApp->PollThreadCount() == 1; }));
  // The new period's thread keeps polling.
  Send("SETFILTER,apps/sales.nsf");
  EXPECT_TRUE(WaitFor([&] { return Watched() == std::vector<std::string>{"apps/sales.nsf"}; }));
  EXPECT_EQ(gProfilerApp->PollThreadCount(), 1);
}

TEST_F(ClientControlTest, PollThreadPerformsMessagesAndStopsWhenSwitchedOff) {
  Perform("ENABLE,1,1,65535");
  Send("SETFILTER,apps/sales.nsf");  // nobody polls but the poll thread
  EXPECT_TRUE(WaitFor([&] { return Watched() == std::vector<std::string>{"apps/sales.nsf"}; }));
  Send("ENABLE,0,0,65535");
  EXPECT_TRUE(WaitFor([&] { return gProfilerApp->PollThreadCount() == 0; }));
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(sim->ActiveHostThreads(), 0);

  // A new switch-on is not stopped by the old stop signal.
  Perform("ENABLE,1,1,65535");
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(gProfilerApp->PollThreadCount(), 1);
}

TEST_F(ClientControlTest, TermStopsRunningPollThreads) {
  Perform("ENABLE,1,1,65535");
  Perform("ENABLE,1,1,65535");
  EXPECT_EQ(gProfilerApp->PollThreadCount(), 2);
  Term(&vector);
  EXPECT_EQ(gProfilerApp, nullptr);
  EXPECT_EQ(sim->ActiveHostThreads(), 0);
  EXPECT_FALSE(MutexExists());
}

TEST_F(ClientControlTest, TermReturnsWhenAPollThreadEndsByAnException) {
  sim->ThrowNext("ThreadInit");  // the poll thread's first host call
  Perform("ENABLE,1,1,65535");
  // Term runs aside so that a wait that never ends fails the test instead of
  // hanging it.
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> done = ended->get_future();
  std::thread([this, ended] {
    Term(&vector);
    ended->set_value();
  }).detach();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready)
      << "Term still waits for a poll thread that ended by an exception";
  EXPECT_EQ(gProfilerApp, nullptr);
  EXPECT_EQ(sim->ActiveHostThreads(), 0);
}

TEST_F(ClientControlTest, UnknownMessagesAreConsumedWithoutEffect) {
  Send("HELLO");
  Send("ENABLE,1");
  Send("SETFILTER,a,b");
  gProfilerApp->PollMessages();
  EXPECT_EQ(sim->WaitingMessages(kControllerQueueName), 0u);
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 1u);
}

}  // namespace
}  // namespace quillet
