// Timer entries, controller messages and hooks on several threads at once.
// Also built with ThreadSanitizer (scripts/test).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "hook/hook_fixture.h"
#include "hook/timer_entry.h"

namespace quillet {
namespace {

class TimerConcurrencyTest : public testing::HookTest {};

TEST_F(TimerConcurrencyTest, ServerThreadsKeepSeparateContexts) {
  Start(u"C:\\Domino\\namgr.exe", u"namgr.exe -e", true);
  ASSERT_NE(gProfilerApp, nullptr);
  constexpr int kThreads = 4;
  constexpr uint32_t kCalls = 200;
  struct Seen {
    uint32_t roots = 0;
    uint32_t foreign = 0;  // records with another thread's key
    uint32_t lines = 0;
  };
  std::vector<Seen> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      const uint32_t key = 0x100 + static_cast<uint32_t>(t);
      gProfilerApp->Enable(true, true, 0xFFFF);  // what the server hook does for a thread's first run
      for (uint32_t i = 0; i < kCalls; ++i) {
        KVXFunctionTimer(key, 0, i, 0, 0, kTimerProcedureEnter);
        KVXLineTimer(key, 0, i, 0, 0, kTimerLine, static_cast<int32_t>(i));
        KVXFunctionTimer(key, 0, i, 0, 0, kTimerProcedureExit);
      }
      // The thread's own context, read while the thread (its run key) lives.
      platform::LockHolder hold(gProfilerApp->Lock());
      ProfileRef context = gProfilerApp->CurrentProfile();
      if (!context) return;
      for (const CallRecord* r = context->Data.FirstRoot(); r != nullptr; r = r->NextSibling) {
        ++seen[t].roots;
        if (r->Key != key) ++seen[t].foreign;
        seen[t].lines += r->Lines().size();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(seen[t].roots, kCalls) << "thread " << t;
    EXPECT_EQ(seen[t].foreign, 0u) << "thread " << t;
    EXPECT_EQ(seen[t].lines, kCalls) << "thread " << t;
  }
}

TEST_F(TimerConcurrencyTest, ContextInUseOutlivesItsPop) {
  StartClient();
  Perform("ENABLE,1,1,65535");
  ProfileRef held = gProfilerApp->CurrentProfile();  // as a client hook takes it, without the lock
  KVXFunctionTimer(5, 0, 1, 0, 0, kTimerProcedureEnter);
  Perform("FINALIZERUN," + sim.dataDirectory() + "/run.zvk,0");
  ASSERT_EQ(gProfilerApp->CurrentProfile(), nullptr);
  platform::LockHolder hold(gProfilerApp->Lock());
  EXPECT_EQ(held->ModuleName, "nquillet");
  EXPECT_EQ(held->Data.RootCount(), 1u);
}

// Switched off and on again and again while the poll threads run: each
// switch-on period's thread ends with its period, whichever thread performs
// the messages, and one thread is left polling.
TEST_F(TimerConcurrencyTest, QuickSwitchesLeaveOnePollThread) {
  StartClient();
  Perform("ENABLE,1,1,65535");
  for (int round = 0; round < 20; ++round) {
    Send("ENABLE,0,0,65535");
    Send("ENABLE,1,1,65535");
    if (round % 2 == 0) gProfilerApp->PollMessages();  // else the poll thread performs them
  }
  EXPECT_TRUE(WaitFor([] { return gProfilerApp->PollThreadCount() == 1 && gProfilerApp->IsEnabled(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(gProfilerApp->PollThreadCount(), 1);
}

TEST_F(TimerConcurrencyTest, ClientScriptHooksAndControllerRunTogether) {
  StartClient();
  ASSERT_NE(gProfilerApp, nullptr);
  std::atomic<bool> done{false};
  const std::string report = sim.dataDirectory() + "/run.zvk";

  std::thread script([&] {
    for (uint32_t i = 0; !done.load(); ++i) {
      KVXFunctionTimer(9, 0, i & 0xFF, 0, 0, kTimerProcedureEnter);
      KVXLineTimer(9, 0, i & 0xFF, 0, 0, kTimerLine, 1);
      KVXFunctionTimer(9, 0, i & 0xFF, 0, 0, kTimerProcedureExit);
    }
  });
  std::thread hook([&] {
    while (!done.load()) {
      gProfilerApp->PollMessages();
      ProfileRef context = gProfilerApp->CurrentProfile();
      if (!context) continue;
      std::this_thread::yield();  // the controller may pop it meanwhile
      platform::LockHolder hold(gProfilerApp->Lock());
      static_cast<void>(context->IsWatchedDatabase("apps/sales.nsf"));
      static_cast<void>(context->Data.RootCount());
    }
  });
  for (int round = 0; round < 20; ++round) {
    Send("ENABLE,1,1,65535");
    Send("SETFILTER,apps/sales.nsf");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Send("FINALIZERUN," + report + "," + std::to_string(round));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(WaitFor([&] { return sim->WaitingMessages(kControllerQueueName) == 0; }));
  done.store(true);
  script.join();
  hook.join();
  EXPECT_FALSE(gProfilerApp->IsEnabled());
  EXPECT_EQ(gProfilerApp->ProfileDepth(), 0u);
  EXPECT_TRUE(WaitFor([&] { return gProfilerApp->PollThreadCount() == 0; }));
}

}  // namespace
}  // namespace quillet
