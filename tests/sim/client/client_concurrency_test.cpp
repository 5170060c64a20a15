// The controlling application on its own thread switching profiling on and
// off and finalizing runs while the user's session opens, runs and saves
// design elements through the hooks: every answer is a defined one and
// every report written is whole (run under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "hook/controller_message.h"
#include "sim/client/client_fixture.h"

namespace quillet::sim {
namespace {

using testing::ClientProfiling;

TEST_F(ClientProfiling, ControllerThreadAgainstHooksAndTimers) {
  constexpr int kPeriods = 6;
  std::atomic<bool> done{false};
  std::thread outside([&] {
    Controller controller(sim.host());
    for (int i = 0; i < kPeriods; ++i) {
      EXPECT_EQ(controller.Enable(true, true, 3), kNoError);
      EXPECT_EQ(controller.SetFilter(kApp), kNoError);
      EXPECT_TRUE(Controller::WaitRunning(true, 5000));  // a hook performs it
      platform::SleepMilliseconds(20);
      EXPECT_EQ(controller.FinalizeRun(ReportPath() + std::to_string(i)), kNoError);
      EXPECT_TRUE(Controller::WaitRunning(false, 5000));  // the poll thread performs it
    }
    done = true;
  });
  int saves = 0;
  while (!done) {
    NoteHandle agent;
    ASSERT_EQ(session.OpenNote(app, agentId, agent), kNoError);
    const RunResult ran = session.RunNote(agent, {});
    EXPECT_TRUE(ran.ok) << ran.error;
    EXPECT_EQ(ran.output, "night\n");
    const STATUS saved = session.SaveNote(agent, 0);
    EXPECT_TRUE(saved == kNoError || saved == kErrDesignSaveRefused) << saved;
    ++saves;
    EXPECT_EQ(session.CloseNote(agent), kNoError);
  }
  outside.join();
  EXPECT_GT(saves, 0);
  for (int i = 0; i < kPeriods; ++i) {
    Report report;
    ReportError error;
    EXPECT_TRUE(ReadReportFile(ReportPath() + std::to_string(i), report, error)) << i << ": " << error.Text;
  }
  EXPECT_EQ(sim->WaitingMessages(kControllerQueueName), 0u);
}

}  // namespace
}  // namespace quillet::sim
