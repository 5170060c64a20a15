// LogError: console error lines of the server object only.
#include "hook/log_error.h"

#include <gtest/gtest.h>

#include "hook/hook_fixture.h"

namespace quillet {
namespace {

class LogErrorTest : public testing::HookTest {};

TEST_F(LogErrorTest, ServerWritesStatusAndText) {
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  sim->ClearConsole();
  LogError(0x0103, "Error opening configuration file %s", "cfg.nsf");
  LogError(0x10B14, "%s", "The database design is hidden");
  EXPECT_EQ(sim->ConsoleLines(), (std::vector<std::string>{
                                     "PROFILER: error: 0x0103. Error opening configuration file cfg.nsf",
                                     "PROFILER: error: 0x10B14. The database design is hidden"}));
}

TEST_F(LogErrorTest, ZeroAndReadOnlyStatusesAreNotReported) {
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  sim->ClearConsole();
  LogError(0, "nothing");
  LogError(0x0246, "read only");
  LogError(0xC246, "read only with flag bits");
  EXPECT_TRUE(sim->ConsoleLines().empty());
}

TEST_F(LogErrorTest, TextIsCutTo255Characters) {
  Start(u"C:\\Domino\\nhttp.exe", u"nhttp.exe", true);
  sim->ClearConsole();
  LogError(0x0103, "%s", std::string(400, 'x').c_str());
  ASSERT_EQ(sim->ConsoleLines().size(), 1u);
  EXPECT_EQ(sim->ConsoleLines()[0], "PROFILER: error: 0x0103. " + std::string(255, 'x'));
}

TEST_F(LogErrorTest, ClientAndUnhookedProcessesWriteNothing) {
  LogError(0x0103, "no application object");
  StartClient();
  LogError(0x0103, "client");
  EXPECT_TRUE(sim->ConsoleLines().empty());
}

}  // namespace
}  // namespace quillet
