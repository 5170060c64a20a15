// Term while script threads are inside the timer entries: the application
// object is handed back without a race and never deleted under a running
// call. Also built with ThreadSanitizer (scripts/test).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "hook/hook_fixture.h"
#include "hook/timer_entry.h"

namespace quillet {
namespace {

class TermConcurrencyTest : public testing::HookTest {
 protected:
  // A client application object switched on, as the controller leaves it.
  static CQuilletApp* EnabledClient() {
    auto* app = new CQuilletApp(kClientInstrumentFlags);
    app->Enable(true, true, 0xFFFF);
    return app;
  }
  static void ScriptCalls(uint32_t i) {
    KVXFunctionTimer(7, 0, i & 0xFF, 0, 0, kTimerProcedureEnter);
    KVXLineTimer(7, 0, i & 0xFF, 0, 0, kTimerLine, 1);
    KVXFunctionTimer(7, 0, i & 0xFF, 0, 0, kTimerProcedureExit);
  }
};

TEST_F(TermConcurrencyTest, TermWhileScriptThreadsCallTheTimers) {
  std::atomic<bool> done{false};
  std::vector<std::thread> scripts;
  for (int t = 0; t < 3; ++t) {
    scripts.emplace_back([&done] {
      for (uint32_t i = 0; !done.load(); ++i) ScriptCalls(i);
    });
  }
  for (int round = 0; round < 20; ++round) {
    CQuilletApp* app = EnabledClient();
    ProfileRef context = app->CurrentProfile();
    ASSERT_NE(context, nullptr);
    gProfilerApp = app;
    // Term comes while the script threads are recording.
    ASSERT_TRUE(WaitFor([&] {
      platform::LockHolder hold(app->Lock());
      return context->Data.RootCount() > 0;
    })) << "round " << round;
    EXPECT_EQ(Term(&vector), 0u);
    EXPECT_EQ(gProfilerApp, nullptr);
  }
  done.store(true);
  for (std::thread& script : scripts) script.join();
}

TEST_F(TermConcurrencyTest, TermWaitsForACallInProgress) {
  CQuilletApp* app = EnabledClient();
  gProfilerApp = app;
  std::atomic<bool> termReturned{false};
  std::thread script;
  std::thread term;
  {
    // The timer call stops at the application's lock, held here.
    platform::LockHolder hold(app->Lock());
    script = std::thread([] { ScriptCalls(1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    term = std::thread([&] {
      Term(&vector);
      termReturned.store(true);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(termReturned.load()) << "Term deleted the object under a running timer call";
  }
  script.join();
  term.join();
  EXPECT_TRUE(termReturned.load());
  EXPECT_EQ(gProfilerApp, nullptr);
}

}  // namespace
}  // namespace quillet
