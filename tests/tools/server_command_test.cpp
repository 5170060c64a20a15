// `quillet server`: described agents run by the simulated agent manager, the
// log documents and their reports written out, and descriptions refused with
// the line at fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

class ServerCommandTest : public testing::ToolTest {
 protected:
  // Procedure name to calls, from the report at `path` as `quillet report` reads it.
  std::map<std::string, int> ReportedCalls(const std::string& path) {
    std::map<std::string, int> calls;
    const testing::ToolResult j = Run({"report", path, "--format", "json"});
    EXPECT_EQ(j.exitCode, 0) << j.err;
    if (j.exitCode != 0) return calls;
    const Json parsed = Json::parse(j.out);
    for (const Json& p : parsed["procedures"]) calls[p["name"]] = p["calls"];
    return calls;
  }
};

TEST_F(ServerCommandTest, ExampleWritesOneLogDocumentAndReportPerProfiledRun) {
  const std::string example = std::string(QUILLET_SOURCE_DIR) + "/examples/server/sales.server";
  const std::string out = File("out");
  const testing::ToolResult r = Run({"server", example, "--out", out});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("=== run agent Nightly as CN=Ann/O=Acme\nNightly total 10100\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("=== 3 log document(s) written to"), std::string::npos) << r.out;
  // Nightly's first two runs and Ann's Cleanup run; Nightly's third run and
  // Bob's run of Cleanup are not profiled.
  EXPECT_FALSE(std::filesystem::exists(out + "/log4.txt"));
  const std::string first = ReadText(out + "/log1.txt");
  EXPECT_NE(first.find("ProfLog_AgentTitle: Nightly\n"), std::string::npos) << first;
  EXPECT_NE(first.find("ProfLog_DatabasePath: apps/sales.nsf\n"), std::string::npos) << first;
  EXPECT_NE(first.find("ProfLog_AgentError: 0\n"), std::string::npos) << first;
  EXPECT_NE(first.find("report: " + out + "/log1.zvk\n"), std::string::npos) << first;
  EXPECT_TRUE(std::regex_search(first, std::regex("\nProfLog_StartTime: 20[0-9]{2}-[01][0-9]-[0-3][0-9] "
                                                  "[0-2][0-9]:[0-5][0-9]:[0-5][0-9] GMT\n")))
      << first;
  const std::string third = ReadText(out + "/log3.txt");
  EXPECT_NE(third.find("ProfLog_AgentTitle: Cleanup\n"), std::string::npos) << third;
  EXPECT_NE(third.find("ProfLog_AgentUser: CN=Ann/O=Acme\n"), std::string::npos) << third;

  for (const char* run : {"/log1.zvk", "/log2.zvk"}) {
    std::map<std::string, int> calls = ReportedCalls(out + run);
    EXPECT_EQ(calls["Twice"], 100) << run;  // one run each, not the two together
    EXPECT_EQ(calls["Tally"], 1) << run;
    EXPECT_EQ(calls["Initialize"], 1) << run;
  }
  std::map<std::string, int> cleanup = ReportedCalls(out + "/log3.zvk");
  EXPECT_EQ(cleanup["Kept"], 30);
  EXPECT_EQ(cleanup.count("Twice"), 0u);
}

TEST_F(ServerCommandTest, DefaultsProfileAndRunEveryAgentOnce) {
  WriteText(File("a.lss"), "Sub Initialize\n Print \"a\"\nEnd Sub\n");
  WriteText(File("b.lss"), "Sub Initialize\n Print \"b\"\nEnd Sub\n");
  WriteText(File("s.server"), "agent A a.lss\nagent B b.lss\n");
  const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("=== run agent A as CN=Ann/O=Acme\na\n=== run agent B as CN=Ann/O=Acme\nb\n", 0), 0u)
      << r.out;
  EXPECT_NE(ReadText(File("out/log2.txt")).find("ProfLog_AgentTitle: B\n"), std::string::npos);
  EXPECT_EQ(ReportedCalls(File("out/log1.zvk"))["Initialize"], 1);
}

TEST_F(ServerCommandTest, RelativePathsAreTakenFromTheFolderTheCommandStartsIn) {
  std::filesystem::create_directories(File("work"));
  WriteText(File("work/a.lss"), "Sub Initialize\n Print \"a\"\nEnd Sub\n");
  WriteText(File("work/s.server"), "agent A a.lss\n");
  const testing::ToolResult r = RunIn(File("work"), {"server", "s.server", "--out", "out"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadText(File("work/out/log1.txt")).find("report: out/log1.zvk\n"), std::string::npos);
  EXPECT_EQ(ReportedCalls(File("work/out/log1.zvk"))["Initialize"], 1);
}

TEST_F(ServerCommandTest, AnEarlierRunsLogFilesAreRemovedAndOtherFilesKept) {
  WriteText(File("a.lss"), "Sub Initialize\n Print \"a\"\nEnd Sub\n");
  WriteText(File("s.server"), "agent A a.lss\n");
  std::filesystem::create_directories(File("out"));
  for (const char* stale : {"out/log1.txt", "out/log2.txt", "out/log2.zvk", "out/log12.zvk"}) WriteText(File(stale), "old");
  WriteText(File("out/logbook.txt"), "mine");
  const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadText(File("out/log1.txt")).find("ProfLog_AgentTitle: A\n"), std::string::npos);
  for (const char* stale : {"out/log2.txt", "out/log2.zvk", "out/log12.zvk"})
    EXPECT_FALSE(std::filesystem::exists(File(stale))) << stale;
  EXPECT_EQ(ReadText(File("out/logbook.txt")), "mine");
}

TEST_F(ServerCommandTest, BadDescriptionsNameTheLine) {
  WriteText(File("a.lss"), "Sub Initialize\n Print 1\nEnd Sub\n");
  WriteText(File("bad.lss"), "Sub Initialize\n Print (\nEnd Sub\n");
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {"agent A a.lss\nform B a.lss\n", "line 2: unknown word \"form\""},
      {"agent A\n", "line 1: \"agent\" takes a title and a source file"},
      {"agent A a.lss\nrun B\n", "line 2: agent B is not declared above"},
      {"profile A\nagent A a.lss\n", "line 1: agent A is not declared above"},
      {"agent A a.lss\nagent A a.lss\n", "line 2: agent A is declared twice"},
      {"agent A a.lss\nprofile A runs 0\n", "line 2: \"runs\" takes a whole number from 1"},
      {"agent A a.lss\nprofile A runs 2x\n", "line 2: \"runs\" takes a whole number from 1"},
      {"agent A a.lss\nprofile A user\n", "line 2: \"user\" needs a value"},
      {"agent A a.lss\nprofile A often 2\n", "line 2: unknown option \"often\""},
      {"agent A a.lss\nrun A for CN=Bob\n", "line 2: \"run\" takes an agent's title"},
      {"# nothing\n", "no agent is declared"},
      {"agent A missing.lss\n", "missing.lss"},
      {"agent A bad.lss\n", "bad.lss:2:"},
      {"agent A a.lss\nprofile A\nprofile A runs 1\n", "line 3: agent A has a profile line already (line 2)"},
      {"agent A a.lss\nprofile A user runs 2\n", "line 2: \"user\" needs a value"},
      {"agent A a.lss\nprofile A runs\n", "line 2: \"runs\" needs a value"},
      {"database ../x.nsf\nagent A a.lss\n", "line 1: the database path \"../x.nsf\" leaves the data directory"},
      {"database C:\\x.nsf\nagent A a.lss\n", "line 1: the database path \"C:\\x.nsf\" is absolute"},
      {"database brindlecot\\profilerconfig.NSF\nagent A a.lss\n", "line 1: \"brindlecot\\profilerconfig.NSF\" is the profiler's own"},
      {"database Brindlecot/ProfilerLog.nsf\nagent A a.lss\n", "is the profiler's own"},
      {"database KVXLOGS.ntf\nagent A a.lss\n", "is the profiler's own"},
      {"agent A a.lss\nrun A as\n", "line 2: \"as\" needs a user's name"},
  };
  for (const auto& c : cases) {
    WriteText(File("s.server"), c.text);
    const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out")});
    EXPECT_EQ(r.exitCode, 1) << c.text;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.text << " -> " << r.err;
    EXPECT_FALSE(std::filesystem::exists(File("out/log1.txt"))) << c.text;
  }
}

// Notes names hold blanks ("CN=Ann Smith/O=Acme"): "as" and "user" take the
// words that follow, up to the end of the line or the next option.
TEST_F(ServerCommandTest, UserNamesMayHoldBlanks) {
  WriteText(File("a.lss"), "Sub Initialize\n Print \"a\"\nEnd Sub\n");
  WriteText(File("s.server"),
            "agent A a.lss\nprofile A user CN=Ann  Smith/O=Acme runs 1\n"
            "run A as CN=Bob Jones/O=Acme\nrun A as CN=Ann Smith/O=Acme  # a comment\nrun A as CN=Ann Smith/O=Acme\n");
  const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out")});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("=== run agent A as CN=Bob Jones/O=Acme\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("=== 1 log document(s)"), std::string::npos) << r.out;  // Ann's first run only
  EXPECT_NE(ReadText(File("out/log1.txt")).find("ProfLog_AgentUser: CN=Ann Smith/O=Acme\n"), std::string::npos);
}

// An agent stopped as endless never makes its end-of-run call: it gets no log
// document, and its calls must not go into the next agent's report.
TEST_F(ServerCommandTest, AnEndlessAgentStopsAtTheTimeLimitAndStaysOutOfTheNextReport) {
  WriteText(File("loop.lss"), "Sub Spin\n Dim x As Long\n Do\n  x = x + 1\n  If x > 9 Then x = 0\n Loop\nEnd Sub\n"
                              "Sub Initialize\n Call Spin\nEnd Sub\n");
  WriteText(File("a.lss"), "Sub Initialize\n Print \"a\"\nEnd Sub\n");
  WriteText(File("s.server"), "agent L loop.lss\nagent A a.lss\n");
  const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out"), "--time-limit", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("=== run agent L as CN=Ann/O=Acme\n(the run failed: time limit of 1 seconds"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("=== 1 log document(s)"), std::string::npos) << r.out;
  EXPECT_NE(ReadText(File("out/log1.txt")).find("ProfLog_AgentTitle: A\n"), std::string::npos);
  const std::map<std::string, int> calls = ReportedCalls(File("out/log1.zvk"));
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls.count("Spin"), 0u);
  EXPECT_EQ(calls.count("Initialize"), 1u);
}

TEST_F(ServerCommandTest, NoProfiledRunIsAFailureNotAnEmptySuccess) {
  WriteText(File("a.lss"), "Sub Initialize\n Print 1\nEnd Sub\n");
  WriteText(File("s.server"), "agent A a.lss\nprofile A user CN=Ann/O=Acme\nrun A as CN=Bob/O=Acme\n");
  const testing::ToolResult r = Run({"server", File("s.server"), "--out", File("out")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no agent run was profiled"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillet
