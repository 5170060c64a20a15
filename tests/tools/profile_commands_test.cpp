// `quillet instrument` and `quillet run --profile`: modules rewritten by the
// library and profiled through its client path, checked through the report.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

class ProfileCommandsTest : public testing::ToolTest {
 protected:
  static std::string Example(const std::string& name) { return std::string(QUILLET_SOURCE_DIR) + "/examples/" + name; }

  Json ReportJson(const std::string& path) {
    const testing::ToolResult r = Run({"report", path, "--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? Json::parse(r.out) : Json();
  }
  static std::map<std::string, Json> ByName(const Json& report) {
    std::map<std::string, Json> out;
    for (const Json& p : report["procedures"]) out[p["name"]] = p;
    return out;
  }
};

TEST_F(ProfileCommandsTest, SlowLoopShowsTheHelperAsHottest) {
  const std::string report = File("slow.zvk");
  const testing::ToolResult r = Run({"run", Example("slow_loop.lss"), "--profile", "--report", report});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("sum 245616\n", 0), 0u) << r.out;  // the program's own output comes first
  EXPECT_NE(r.out.find("Procedures by inclusive time"), std::string::npos);
  ASSERT_TRUE(std::filesystem::exists(report));

  const Json j = ReportJson(report);
  const auto procedures = ByName(j);
  ASSERT_EQ(procedures.size(), 3u) << j.dump();
  EXPECT_EQ(procedures.at("Initialize")["calls"], 1);
  EXPECT_EQ(procedures.at("SlowHelper")["calls"], 300);
  EXPECT_EQ(procedures.at("FastHelper")["calls"], 300);
  for (const auto& [name, p] : procedures) {
    EXPECT_EQ(p["described"], true) << name;
    EXPECT_EQ(p["module"], "slow_loop") << name;
  }
  EXPECT_GT(procedures.at("SlowHelper")["exclusive_ticks"], procedures.at("Initialize")["exclusive_ticks"]);
  EXPECT_GT(procedures.at("SlowHelper")["exclusive_ticks"], procedures.at("FastHelper")["exclusive_ticks"]);
  EXPECT_EQ(j["open_calls"], 0);

  // The helper's loop body runs 200 times per call: among the hottest lines.
  bool loopLine = false;
  for (size_t i = 0; i < 3 && i < j["lines"].size(); ++i)
    loopLine = loopLine || (j["lines"][i]["procedure"] == "SlowHelper" && j["lines"][i]["hits"] == 300 * 200);
  EXPECT_TRUE(loopLine) << j["lines"].dump();
}

TEST_F(ProfileCommandsTest, FlagsChooseWhatIsTimed) {
  const std::string report = File("procs.zvk");
  const testing::ToolResult r =
      Run({"run", Example("select_case.lss"), "--profile", "--flags", "0x1", "--report", report});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = ReportJson(report);
  EXPECT_TRUE(j["lines"].empty()) << j["lines"].dump();
  EXPECT_EQ(ByName(j).at("Describe")["calls"], 1000);
  EXPECT_EQ(ByName(j).at("Score")["calls"], 1000);

  EXPECT_EQ(Run({"run", Example("select_case.lss"), "--profile", "--flags", "xyz"}).exitCode, 2);  // a usage error
  EXPECT_EQ(Run({"run", Example("select_case.lss"), "--flags", "3"}).exitCode, 2);  // needs --profile
}

TEST_F(ProfileCommandsTest, ClassMethodsAreProfiledUnderTheirOwners) {
  const std::string report = File("class.zvk");
  const testing::ToolResult r = Run({"run", Example("class_methods.lss"), "--profile", "--report", report});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto procedures = ByName(ReportJson(report));
  ASSERT_TRUE(procedures.count("Account::Deposit"));
  ASSERT_TRUE(procedures.count("Account::New"));
  const Json& deposit = procedures.at("Account::Deposit");
  EXPECT_EQ(procedures.at("Account::New")["calls"], 1);
  EXPECT_EQ(deposit["calls"], 500);
  ASSERT_TRUE(procedures.count("Account::GET_Total"));  // the property, read once
  EXPECT_EQ(procedures.at("Account::GET_Total")["calls"], 1);
}

// A Property's Get and Set are two procedures of their own, in the report
// and in the diff, with their calls and line hits worked out from the source.
TEST_F(ProfileCommandsTest, PropertyAccessorsAreProfiledApart) {
  const std::string source =
      "Class Box\n"                            // 1
      "  Private mValue As Long\n"             // 2
      "  Property Get Value As Long\n"         // 3
      "    Value = mValue\n"                   // 4
      "  End Property\n"                       // 5
      "  Property Set Value As Long\n"         // 6
      "    If Value < 0 Then Exit Property\n"  // 7
      "    mValue = Value\n"                   // 8
      "  End Property\n"                       // 9
      "  Sub Bump\n"                           // 10
      "    Value = Value + 1\n"                // 11: one Get, one Set
      "  End Sub\n"                            // 12
      "End Class\n"                            // 13
      "Sub Initialize\n"
      "  Dim b As New Box\n"
      "  Dim i As Integer\n"
      "  For i = 1 To N\n"                     // N Sets
      "    b.Value = i * 2\n"
      "  Next\n"
      "  b.Value = -1\n"                       // a Set that leaves at line 7
      "  b.Bump\n"
      "  Print b.Value\n"                      // one Get
      "End Sub\n";
  struct Profiled {
    int n;
    std::string report;
    std::map<std::string, Json> procedures;
  } runs[] = {{5, File("five.zvk"), {}}, {9, File("nine.zvk"), {}}};
  for (Profiled& run : runs) {
    std::string text = source;
    text.replace(text.find("To N"), 4, "To " + std::to_string(run.n));
    const std::string file = File("box.lss");  // one module, so that the diff pairs its procedures
    WriteText(file, text);
    const testing::ToolResult plain = Run({"run", file});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(plain.out, std::to_string(2 * run.n + 1) + "\n");
    const testing::ToolResult profiled = Run({"run", file, "--profile", "--report", run.report});
    ASSERT_EQ(profiled.exitCode, 0) << profiled.err;
    EXPECT_EQ(profiled.out.rfind(plain.out, 0), 0u) << profiled.out;

    const Json j = ReportJson(run.report);
    run.procedures = ByName(j);
    ASSERT_TRUE(run.procedures.count("Box::GET_Value")) << j.dump();
    ASSERT_TRUE(run.procedures.count("Box::SET_Value")) << j.dump();
    EXPECT_EQ(run.procedures.count("Box::Value"), 0u);
    EXPECT_EQ(run.procedures.at("Box::GET_Value")["calls"], 2);
    EXPECT_EQ(run.procedures.at("Box::SET_Value")["calls"], run.n + 2);
    std::map<std::pair<std::string, int>, int64_t> hits;
    for (const Json& l : j["lines"]) hits[{l["procedure"], l["line"]}] = l["hits"];
    EXPECT_EQ((hits[{"Box::GET_Value", 4}]), 2);
    EXPECT_EQ((hits[{"Box::SET_Value", 7}]), run.n + 2);
    EXPECT_EQ((hits[{"Box::SET_Value", 8}]), run.n + 1);  // not for -1
    EXPECT_EQ((hits[{"Box::Bump", 11}]), 1);
  }

  const testing::ToolResult diff = Run({"diff", runs[0].report, runs[1].report, "--format", "json"});
  ASSERT_EQ(diff.exitCode, 0) << diff.err;
  const Json compared = Json::parse(diff.out);
  std::map<std::string, std::pair<int64_t, int64_t>> calls;  // before, after
  for (const Json& p : compared["procedures"]) calls[p["procedure"]] = {p["before"]["calls"], p["after"]["calls"]};
  EXPECT_EQ(calls["Box::GET_Value"], (std::pair<int64_t, int64_t>{2, 2}));
  EXPECT_EQ(calls["Box::SET_Value"], (std::pair<int64_t, int64_t>{7, 11}));
  EXPECT_EQ(calls.count("Box::Value"), 0u);
}

TEST_F(ProfileCommandsTest, AFailingRunStillLeavesItsReport) {
  WriteText(File("fail.lss"),
            "Sub Initialize\n  Dim a(3) As Long\n  Print \"before\"\n  a(9) = 1\nEnd Sub\n");
  const std::string report = File("fail.zvk");
  const testing::ToolResult r = Run({"run", File("fail.lss"), "--profile", "--report", report});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("quillet run"), std::string::npos);
  EXPECT_EQ(r.out.rfind("before\n", 0), 0u) << r.out;
  const Json j = ReportJson(report);
  EXPECT_EQ(ByName(j).at("Initialize")["calls"], 1);
}

TEST_F(ProfileCommandsTest, ProfiledRunsKeepTheTimeAndStringLimits) {
  // An endless loop stops at --time-limit, profiled or not; its report shows
  // the loop's procedure (open, timed by its finished lines) as the hottest.
  WriteText(File("spin.lss"),
            "Sub Spin\n  Dim i As Long\n  Do\n    i = i + 1\n  Loop\nEnd Sub\nSub Initialize\n  Call Spin\nEnd Sub\n");
  const std::string report = File("spin.zvk");
  const testing::ToolResult spin = Run({"run", File("spin.lss"), "--profile", "--time-limit", "1", "--report", report});
  EXPECT_EQ(spin.exitCode, 1);
  EXPECT_NE(spin.err.find("time limit of 1 seconds reached in 'Spin'"), std::string::npos) << spin.err;
  const Json j = ReportJson(report);
  EXPECT_EQ(j["open_calls"], 2);
  ASSERT_FALSE(j["procedures"].empty());
  EXPECT_EQ(j["procedures"][0]["name"], "Spin");
  EXPECT_GT(j["procedures"][0]["inclusive_ticks"].get<int64_t>(), 0);

  WriteText(File("long.lss"), "Sub Initialize\n  Dim s As String\n  s = String$(100, \"x\")\n  Print Len(s)\nEnd Sub\n");
  const testing::ToolResult longer =
      Run({"run", File("long.lss"), "--profile", "--string-limit", "10", "--report", File("long.zvk")});
  EXPECT_EQ(longer.exitCode, 1);
  EXPECT_NE(longer.err.find("Out of string space"), std::string::npos) << longer.err;
}

TEST_F(ProfileCommandsTest, InstrumentRewritesOnceAndReportsWhatItDid) {
  const std::string module = File("loop.lso");
  ASSERT_EQ(Run({"compile", Example("slow_loop.lss"), "-o", module}).exitCode, 0);
  const testing::ToolResult r = Run({"instrument", module, File("loop_i.lso"), "--note-id", "0x2106"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("3 procedures profiled"), std::string::npos) << r.out;
  // The key printed is the one the report files the procedures under: the
  // checksum the module had before the rewrite.
  const testing::ToolResult original = Run({"dump", module, "--json"});
  ASSERT_EQ(original.exitCode, 0) << original.err;
  char key[16];
  std::snprintf(key, sizeof key, "%08X", Json::parse(original.out)["checksum"]["stored"].get<unsigned>());
  EXPECT_NE(r.out.find(std::string("module key ") + key + ","), std::string::npos) << key << " " << r.out;

  const testing::ToolResult dump = Run({"dump", File("loop_i.lso"), "--json"});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  const Json d = Json::parse(dump.out);
  EXPECT_EQ(d["checksum"]["matches"], true);
  ASSERT_EQ(d["classes"].size(), 1u);
  EXPECT_EQ(d["classes"][0]["name"], "CKVXTimerManager");
  std::map<std::string, std::string> libraries;
  for (const Json& decl : d["declarations"]) libraries[decl["name"]] = decl["library"];
  EXPECT_EQ(libraries["KVXFunctionTimer"], "nquillet");
  EXPECT_EQ(libraries["KVXLineTimer"], "nquillet");
  for (const Json& p : d["procedures"]) EXPECT_TRUE(p["decoded"].get<bool>()) << p["name"];

  const testing::ToolResult again = Run({"instrument", File("loop_i.lso"), File("twice.lso")});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("instrumented already"), std::string::npos) << again.err;
  EXPECT_FALSE(std::filesystem::exists(File("twice.lso")));
  EXPECT_EQ(Run({"run", File("loop_i.lso"), "--profile"}).exitCode, 1);
  // Unprofiled, its timer calls find no library: the runtime error says
  // what to run instead.
  const testing::ToolResult plain = Run({"run", File("loop_i.lso")});
  EXPECT_EQ(plain.exitCode, 1);
  EXPECT_NE(plain.err.find("Error in loading DLL"), std::string::npos) << plain.err;
  EXPECT_NE(plain.err.find("(the module is instrumented: run the module it was made from with --profile)"),
            std::string::npos)
      << plain.err;
  const testing::ToolResult failing = Run({"run", Example("slow_loop.lss"), "--entry", "Nope"});
  EXPECT_EQ(failing.err.find("instrumented"), std::string::npos) << failing.err;

  WriteText(File("junk.lso"), std::string(500, '\0'));
  EXPECT_EQ(Run({"instrument", File("junk.lso"), File("o.lso")}).exitCode, 1);
}

TEST_F(ProfileCommandsTest, BadFlagsAreAUsageErrorOfEveryCommandThatTakesThem) {
  const std::string source = Example("slow_loop.lss");
  const std::string module = File("loop.lso");
  ASSERT_EQ(Run({"compile", source, "-o", module}).exitCode, 0);
  const std::vector<std::vector<std::string>> commands = {
      {"instrument", module, File("o.lso")},
      {"instrument-note", File("n.qnote"), File("o.qnote")},
      {"run", source, "--profile", "--report", File("o.zvk")},
      {"client", Example("client/orders.session"), "--report", File("o.zvk")},
  };
  for (const char* bad : {"12345", "zz", "0x", ""}) {
    for (std::vector<std::string> args : commands) {
      args.insert(args.end(), {"--flags", bad});
      const testing::ToolResult r = Run(args);
      EXPECT_EQ(r.exitCode, 2) << args[0] << " --flags '" << bad << "': " << r.err;
      EXPECT_NE(r.err.find("--flags"), std::string::npos) << r.err;
      EXPECT_EQ(r.out, "") << args[0];
    }
  }
  EXPECT_FALSE(std::filesystem::exists(File("o.lso")));
  EXPECT_FALSE(std::filesystem::exists(File("o.zvk")));
}

}  // namespace
}  // namespace quillet
