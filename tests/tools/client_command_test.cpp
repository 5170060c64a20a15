// `quillet client`: a described database profiled through a simulated client
// session, and descriptions that are refused with the line at fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

class ClientCommandTest : public testing::ToolTest {};

TEST_F(ClientCommandTest, ExampleSessionRunsSavesRefusedAndReports) {
  const std::string example = std::string(QUILLET_SOURCE_DIR) + "/examples/client/orders.session";
  const std::string report = File("orders.zvk");
  const testing::ToolResult r = Run({"client", example, "--report", report});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("=== run form Order\norder total "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("=== run agent Nightly\nreminders 60\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("=== save form Order\nrefused (status 0x8246)\n"
                       "message box: You cannot save design elements while Profiler is running."),
            std::string::npos)
      << r.out;

  const testing::ToolResult j = Run({"report", report, "--format", "json"});
  ASSERT_EQ(j.exitCode, 0) << j.err;
  std::map<std::string, int> calls;
  const Json parsed = Json::parse(j.out);
  ASSERT_EQ(parsed["procedures"].size(), 4u) << j.out;
  for (const Json& p : parsed["procedures"]) {
    EXPECT_EQ(p["database"], "apps/orders.nsf");
    calls[p["name"]] = p["calls"];
  }
  EXPECT_EQ(calls["LinePrice"], 40);
  EXPECT_EQ(calls["Overdue"], 90);
  EXPECT_EQ(calls["Order/Initialize"], 1);
  EXPECT_EQ(calls["Nightly/Initialize"], 1);
  EXPECT_EQ(calls.count("Rounded"), 0u);  // the library is never run
}

TEST_F(ClientCommandTest, BadDescriptionsNameTheLine) {
  WriteText(File("a.lss"), "Sub Initialize\n Print 1\nEnd Sub\n");
  const struct {
    const char* text;
    const char* reason;
  } cases[] = {
      {"form A a.lss\nbutton B a.lss\n", "line 2: unknown word \"button\""},
      {"form A\n", "line 1: \"form\" takes a title and a source file"},
      {"form A a.lss\nrun agent A\n", "line 2: agent A is not declared above"},
      {"form A a.lss\nform A a.lss\n", "line 2: form A is declared twice"},
      {"# nothing\n", "no design element is declared"},
      {"form A missing.lss\n", "missing.lss"},
      {"database ../x.nsf\nform A a.lss\n", "line 1: the database path \"../x.nsf\" leaves the data directory"},
      {"database apps\\..\\..\\x.nsf\nform A a.lss\n", "line 1: the database path"},
      {"database /x.nsf\nform A a.lss\n", "line 1: the database path \"/x.nsf\" is absolute"},
  };
  for (const auto& c : cases) {
    WriteText(File("s.session"), c.text);
    const testing::ToolResult r = Run({"client", File("s.session")});
    EXPECT_EQ(r.exitCode, 1) << c.text;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.text << " -> " << r.err;
  }
}

// An agent that never ends stops at the time limit; the session goes on
// and the report counts the cut-off call as open.
TEST_F(ClientCommandTest, AnEndlessAgentStopsAtTheTimeLimitAndTheSessionGoesOn) {
  WriteText(File("loop.lss"), "Sub Initialize\n Dim x As Long\n Do\n  x = x + 1\n  If x > 9 Then x = 0\n Loop\nEnd Sub\n");
  WriteText(File("a.lss"), "Sub Initialize\n Print \"after\"\nEnd Sub\n");
  WriteText(File("s.session"), "agent L loop.lss\nagent A a.lss\n");
  const testing::ToolResult r = Run({"client", File("s.session"), "--time-limit", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("=== run agent L\n(the run failed: $AgentHScript_O: time limit of 1 seconds"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("=== run agent A\nafter\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 call had not ended"), std::string::npos) << r.out;
}

// A description saved with CR LF or lone CR line ends, or with a byte
// order mark, reads as with LF and none:
// every line a step, faults named by the same line numbers.
TEST_F(ClientCommandTest, DescriptionsReadEveryKindOfLineEnd) {
  WriteText(File("a.lss"), "Sub Initialize\r Print \"ran A\"\rEnd Sub\r");
  for (const std::string br : {"\n", "\r\n", "\r"}) {
    // As a Windows editor saves it: a byte order mark first.
    WriteText(File("s.session"), "\xEF\xBB\xBF# one form\n" + br + "form A a.lss" + br + "run form A" + br);
    const testing::ToolResult r = Run({"client", File("s.session")});
    EXPECT_EQ(r.exitCode, 0) << static_cast<int>(br.back()) << ": " << r.err;
    EXPECT_NE(r.out.find("=== run form A\nran A\n"), std::string::npos) << static_cast<int>(br.back()) << ": " << r.out;
    WriteText(File("s.session"), "form A a.lss" + br + "# a comment" + br + "button B a.lss" + br);
    const testing::ToolResult bad = Run({"client", File("s.session")});
    EXPECT_NE(bad.err.find("line 3: unknown word \"button\""), std::string::npos)
        << static_cast<int>(br.back()) << ": " << bad.err;
  }
}

TEST_F(ClientCommandTest, DefaultStepsRunFormsAndAgentsThenSaveTheFirstForm) {
  WriteText(File("f.lss"), "Sub Initialize\n Print \"form\"\nEnd Sub\n");
  WriteText(File("g.lss"), "Sub Initialize\n Print \"agent\"\nEnd Sub\n");
  WriteText(File("s.session"), "agent G g.lss\nview V f.lss\nform F f.lss\n");
  const testing::ToolResult r = Run({"client", File("s.session")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("=== run agent G\nagent\n=== run form F\nform\n=== save form F\nrefused", 0), 0u) << r.out;
  EXPECT_TRUE(std::filesystem::exists(File("s.zvk")));
}

// As in `quillet report`, --top 0 lists every procedure and line.
TEST_F(ClientCommandTest, TopZeroListsEverything) {
  std::string source = "Sub Initialize\n";
  for (int i = 1; i <= 12; ++i) source += "  Call Step" + std::to_string(i) + "\n";
  source += "End Sub\n";
  for (int i = 1; i <= 12; ++i) source += "Sub Step" + std::to_string(i) + "\n  Print " + std::to_string(i) + "\nEnd Sub\n";
  WriteText(File("a.lss"), source);
  WriteText(File("s.session"), "agent A a.lss\n");
  const testing::ToolResult all = Run({"client", File("s.session"), "--top", "0"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  const testing::ToolResult some = Run({"client", File("s.session"), "--top", "3"});
  ASSERT_EQ(some.exitCode, 0) << some.err;
  // Rows of the two procedure lists (by inclusive and by exclusive time).
  const auto rows = [](const std::string& out) {
    size_t n = 0;
    for (size_t at = out.find("  (A)\n"); at != std::string::npos; at = out.find("  (A)\n", at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(rows(all.out), 2u * 13u) << all.out;
  EXPECT_EQ(rows(some.out), 2u * 3u) << some.out;
}

}  // namespace
}  // namespace quillet
