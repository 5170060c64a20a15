// `quillet report` over reports built with the real timing code: the text,
// JSON, folded and speedscope views, and refusal of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tools/report_fixture.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

using testing::gNow;
using testing::kHelper;
using testing::kMain;
using testing::kModule;
using testing::kUndescribed;
using testing::ManualCounter;

class ReportCommandTest : public testing::ReportTest {};

TEST_F(ReportCommandTest, TextShowsProceduresLinesTreeAndWarnings) {
  const std::string path = SampleReport();
  const testing::ToolResult r = Run({"report", path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Procedures by inclusive time"), std::string::npos);
  EXPECT_NE(r.out.find("Procedures by exclusive time"), std::string::npos);
  EXPECT_NE(r.out.find("Hottest lines"), std::string::npos);
  EXPECT_NE(r.out.find("Call tree"), std::string::npos);
  EXPECT_NE(r.out.find("Instrument Lines: Jump too big: MAIN."), std::string::npos);
  EXPECT_NE(r.out.find("00005000:0007"), std::string::npos) << "undescribed procedure shown as module:handle";
  EXPECT_NE(r.out.find("400.00 us"), std::string::npos) << r.out;  // MAIN's inclusive time, human units

  // The first row of the exclusive table is HELPER (3 x 101 us), above MAIN.
  const size_t exclusive = r.out.find("Procedures by exclusive time");
  const size_t firstRow = r.out.find('\n', r.out.find('\n', exclusive) + 1) + 1;
  const std::string row = r.out.substr(firstRow, r.out.find('\n', firstRow) - firstRow);
  EXPECT_NE(row.find("HELPER"), std::string::npos) << row;
  EXPECT_NE(row.find(" 3 "), std::string::npos) << row;  // call count

  // The hottest lines: MAIN line 2 (it includes the calls made from it), then
  // HELPER line 5 with three hits.
  const size_t lines = r.out.find("Hottest lines");
  const size_t firstLine = r.out.find('\n', r.out.find('\n', lines) + 1) + 1;
  std::istringstream hottest(r.out.substr(firstLine));
  std::string procedure;
  int line = 0;
  int hits = 0;
  std::string rest;
  hottest >> procedure >> line >> hits;
  EXPECT_EQ(procedure, "MAIN");
  EXPECT_EQ(line, 2);
  EXPECT_EQ(hits, 1);
  std::getline(hottest, rest);
  hottest >> procedure >> line >> hits;
  EXPECT_EQ(procedure, "HELPER");
  EXPECT_EQ(line, 5);
  EXPECT_EQ(hits, 3);
}

TEST_F(ReportCommandTest, JsonFiguresAddUp) {
  const std::string path = SampleReport();
  const testing::ToolResult r = Run({"report", path, "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["frequency"], 1'000'000);
  EXPECT_EQ(j["calls"], 5);
  EXPECT_EQ(j["open_calls"], 0);
  EXPECT_EQ(j["total_ticks"], 400);
  std::map<std::string, Json> byName;
  for (const Json& p : j["procedures"]) byName[p["name"]] = p;
  ASSERT_EQ(byName.size(), 3u);
  EXPECT_EQ(j["procedures"][0]["name"], "MAIN");  // ordered by inclusive time
  EXPECT_EQ(byName["MAIN"]["inclusive_ticks"], 400);
  EXPECT_EQ(byName["HELPER"]["calls"], 3);
  EXPECT_EQ(byName["HELPER"]["inclusive_ticks"], 3 * 101);
  EXPECT_EQ(byName["HELPER"]["exclusive_ticks"], 3 * 101);
  EXPECT_EQ(byName["00005000:0007"]["described"], false);
  EXPECT_EQ(byName["00005000:0007"]["inclusive_ticks"], 20);
  // Exclusive times of all procedures add up to the total.
  int64_t exclusive = 0;
  for (const auto& [name, p] : byName) exclusive += p["exclusive_ticks"].get<int64_t>();
  EXPECT_EQ(exclusive, 400);
  EXPECT_DOUBLE_EQ(byName["MAIN"]["inclusive_seconds"].get<double>(), 400e-6);

  ASSERT_EQ(j["lines"].size(), 3u);
  EXPECT_EQ(j["lines"][0]["procedure"], "MAIN");
  EXPECT_EQ(j["lines"][0]["line"], 2);
  EXPECT_EQ(j["lines"][0]["total_ticks"], 380);
  EXPECT_DOUBLE_EQ(j["lines"][0]["percent_of_procedure"].get<double>(), 95.0);
  EXPECT_EQ(j["lines"][1]["procedure"], "HELPER");
  EXPECT_EQ(j["lines"][1]["line"], 5);
  EXPECT_EQ(j["lines"][1]["hits"], 3);
  EXPECT_EQ(j["lines"][1]["total_ticks"], 300);
  EXPECT_EQ(j["messages"].size(), 2u);

  const testing::ToolResult top = Run({"report", path, "--format", "json", "--top", "1"});
  ASSERT_EQ(top.exitCode, 0) << top.err;
  EXPECT_EQ(Json::parse(top.out)["procedures"].size(), 1u);
}

TEST_F(ReportCommandTest, FoldedHasOneLinePerStackWithSelfTime) {
  const std::string path = SampleReport();
  const testing::ToolResult r = Run({"report", path, "--format", "folded"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, long> stacks;
  std::istringstream in(r.out);
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.rfind(' ');
    ASSERT_NE(space, std::string::npos) << line;
    EXPECT_EQ(stacks.count(line.substr(0, space)), 0u) << "stack repeated: " << line;
    stacks[line.substr(0, space)] = std::stol(line.substr(space + 1));
  }
  EXPECT_EQ(stacks["MAIN;HELPER"], 303);  // 1 MHz: ticks are microseconds
  EXPECT_EQ(stacks["MAIN;00005000:0007"], 20);
  EXPECT_EQ(stacks["MAIN"], 400 - 303 - 20);
}

TEST_F(ReportCommandTest, SpeedscopeIsAValidEventedProfile) {
  const std::string path = SampleReport();
  const testing::ToolResult r = Run({"report", path, "--format", "speedscope"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  // The fields the file-format schema requires.
  EXPECT_EQ(j["$schema"], "https://www.speedscope.app/file-format-schema.json");
  ASSERT_TRUE(j["shared"]["frames"].is_array());
  const size_t frames = j["shared"]["frames"].size();
  EXPECT_EQ(frames, 3u);
  for (const Json& f : j["shared"]["frames"]) EXPECT_TRUE(f["name"].is_string());
  ASSERT_EQ(j["profiles"].size(), 1u);
  const Json& p = j["profiles"][0];
  EXPECT_EQ(p["type"], "evented");
  EXPECT_TRUE(p["name"].is_string());
  EXPECT_EQ(p["unit"], "microseconds");
  EXPECT_TRUE(p["startValue"].is_number());
  EXPECT_DOUBLE_EQ(p["endValue"].get<double>(), 400.0);

  // Events open and close like a stack, at times that never go back.
  std::vector<int> open;
  double last = 0;
  for (const Json& e : p["events"]) {
    const double at = e["at"].get<double>();
    EXPECT_GE(at, last);
    last = at;
    const int frame = e["frame"].get<int>();
    ASSERT_LT(static_cast<size_t>(frame), frames);
    if (e["type"] == "O") {
      open.push_back(frame);
    } else {
      ASSERT_EQ(e["type"], "C");
      ASSERT_FALSE(open.empty());
      EXPECT_EQ(open.back(), frame);
      open.pop_back();
    }
  }
  EXPECT_TRUE(open.empty());
  EXPECT_EQ(p["events"].size(), 2u * 5);
  EXPECT_LE(last, p["endValue"].get<double>());
}

TEST_F(ReportCommandTest, RecursionCountsInclusiveTimeOnce) {
  CProfileData data(&ManualCounter, 1'000'000);
  gNow = 0;
  data.Enter({1, 1});
  gNow = 10;
  data.Enter({1, 1});
  gNow = 60;
  data.Exit();
  gNow = 100;
  data.Exit();
  const testing::ToolResult r = Run({"report", Save(data), "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  ASSERT_EQ(j["procedures"].size(), 1u);
  EXPECT_EQ(j["procedures"][0]["calls"], 2);
  EXPECT_EQ(j["procedures"][0]["inclusive_ticks"], 100);
  EXPECT_EQ(j["procedures"][0]["exclusive_ticks"], 100);
}

TEST_F(ReportCommandTest, OpenCallsAndUnusableFrequency) {
  // A call still open when the report was written, in a report whose
  // frequency is 0: times are shown in ticks, the open call by its callee.
  CProfileData data(&ManualCounter, 0);
  gNow = 0;
  data.Enter({1, 1});
  data.Enter({1, 2});
  gNow = 70;
  data.Exit();
  const std::string path = Save(data);
  const testing::ToolResult text = Run({"report", path});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("70 ticks"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("1 call had not ended"), std::string::npos) << text.out;
  const testing::ToolResult json = Run({"report", path, "--format", "json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const Json j = Json::parse(json.out);
  EXPECT_EQ(j["open_calls"], 1);
  EXPECT_EQ(j["total_ticks"], 70);
  EXPECT_TRUE(j["total_seconds"].is_null());
  const testing::ToolResult speedscope = Run({"report", path, "--format", "speedscope"});
  ASSERT_EQ(speedscope.exitCode, 0) << speedscope.err;
  EXPECT_EQ(Json::parse(speedscope.out)["profiles"][0]["unit"], "none");
}

TEST_F(ReportCommandTest, AnOpenCallIsTimedByItsLinesWhenTheyOutlastItsCallees) {
  // A run stopped inside MAIN (an endless loop cut off by the runner): its
  // finished line passes are known, its exit is not. Ticks of a 1 MHz counter:
  //   line 1 0..40, line 2 40..70 (HELPER 50..60 called from it),
  //   line 3 70..200 and 200..330, then the run stopped on line 3.
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN");
  Describe(data, kHelper, "HELPER");
  gNow = 0;
  data.Enter({kModule, kMain});
  data.Line(1);
  gNow = 40;
  data.Line(2);
  gNow = 50;
  data.Enter({kModule, kHelper});
  gNow = 60;
  data.Exit();
  gNow = 70;
  data.Line(3);
  gNow = 200;
  data.Line(3);
  gNow = 330;
  data.Line(3);
  const std::string path = Save(data);

  const testing::ToolResult json = Run({"report", path, "--format", "json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const Json j = Json::parse(json.out);
  EXPECT_EQ(j["open_calls"], 1);
  EXPECT_EQ(j["total_ticks"], 330);
  std::map<std::string, Json> procedures;
  for (const Json& p : j["procedures"]) procedures[p["name"]] = p;
  EXPECT_EQ(procedures["MAIN"]["inclusive_ticks"], 330);
  EXPECT_EQ(procedures["MAIN"]["exclusive_ticks"], 320);
  EXPECT_EQ(procedures["HELPER"]["inclusive_ticks"], 10);
  for (const Json& l : j["lines"]) EXPECT_LE(l["percent_of_procedure"].get<double>(), 100.0) << l.dump();
  EXPECT_EQ(j["lines"][0]["line"], 3);
  EXPECT_EQ(j["lines"][0]["hits"], 2);
  EXPECT_DOUBLE_EQ(j["lines"][0]["percent_of_procedure"].get<double>(), 100.0 * 260 / 330);

  // The flame-graph views agree: MAIN's own time is its 320 ticks.
  const testing::ToolResult folded = Run({"report", path, "--format", "folded"});
  ASSERT_EQ(folded.exitCode, 0) << folded.err;
  EXPECT_NE(folded.out.find("MAIN 320\n"), std::string::npos) << folded.out;
  EXPECT_NE(folded.out.find("MAIN;HELPER 10\n"), std::string::npos) << folded.out;
  const testing::ToolResult speedscope = Run({"report", path, "--format", "speedscope"});
  ASSERT_EQ(speedscope.exitCode, 0) << speedscope.err;
  EXPECT_DOUBLE_EQ(Json::parse(speedscope.out)["profiles"][0]["endValue"].get<double>(), 330.0);
}

TEST_F(ReportCommandTest, AnOpenCallHoldsItsFinishedLinesAndTheOpenCallAfterThem) {
  // The run stopped in HELPER, called from MAIN's line 2: MAIN's line 1 ran
  // 0..100, HELPER from 110, its line 5 110..160 then unfinished.
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN");
  Describe(data, kHelper, "HELPER");
  gNow = 0;
  data.Enter({kModule, kMain});
  data.Line(1);
  gNow = 100;
  data.Line(2);
  gNow = 110;
  data.Enter({kModule, kHelper});
  data.Line(5);
  gNow = 160;
  data.Line(5);
  const testing::ToolResult r = Run({"report", Save(data), "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["open_calls"], 2);
  EXPECT_EQ(j["total_ticks"], 150);
  std::map<std::string, Json> procedures;
  for (const Json& p : j["procedures"]) procedures[p["name"]] = p;
  EXPECT_EQ(procedures["MAIN"]["inclusive_ticks"], 150);
  EXPECT_EQ(procedures["MAIN"]["exclusive_ticks"], 100);
  EXPECT_EQ(procedures["HELPER"]["inclusive_ticks"], 50);
}

TEST_F(ReportCommandTest, CallgrindPutsTheUnplacedTimeOnTheLowestLineEvenLineZero) {
  // Without a source a statement on a module-level procedure's Sub line is
  // its line 0. MAIN: 3 ticks before any line, line 2 50, line 0 10,
  // line 1 5 (hottest first: 2, 0, 1).
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN");
  gNow = 0;
  data.Enter({kModule, kMain});
  gNow = 3;
  data.Line(2);
  gNow = 53;
  data.Line(0);
  gNow = 63;
  data.Line(1);
  gNow = 68;
  data.Exit();
  const testing::ToolResult r = Run({"report", Save(data), "--format", "callgrind"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The 3 ticks no line holds go on line 0, then each line's own time and hits.
  EXPECT_NE(r.out.find("fn=(1) MAIN\n0 3000 0\n"), std::string::npos) << r.out;
  for (const char* line : {"\n2 50000 1\n", "\n0 10000 1\n", "\n1 5000 1\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

TEST_F(ReportCommandTest, VeryDeepTreeStaysBounded) {
  CProfileData data(&ManualCounter, 1'000'000);
  constexpr int kDepth = 20000;
  gNow = 0;
  for (int i = 0; i < kDepth; ++i) {
    data.Enter({2, static_cast<uint32_t>(i % 3)});
    ++gNow;
  }
  for (int i = 0; i < kDepth; ++i) {
    ++gNow;
    data.Exit();
  }
  const std::string path = Save(data);
  const testing::ToolResult folded = Run({"report", path, "--format", "folded"});
  ASSERT_EQ(folded.exitCode, 0) << folded.err;
  EXPECT_NE(folded.out.find("[deeper frames]"), std::string::npos);
  EXPECT_LT(folded.out.size(), 50u << 20);
  const testing::ToolResult text = Run({"report", path});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("not shown"), std::string::npos);
  const testing::ToolResult speedscope = Run({"report", path, "--format", "speedscope"});
  ASSERT_EQ(speedscope.exitCode, 0) << speedscope.err;
  EXPECT_EQ(Json::parse(speedscope.out)["profiles"][0]["events"].size(), 2u * kDepth);
}

TEST_F(ReportCommandTest, RecordedLineNearTheLimitDoesNotWrapWithASource) {
  // MAIN is declared on line 3 of slow.lss: its recorded lines move by 3, and
  // a damaged report's line 2,147,483,647 must not become a negative one.
  WriteText(File("slow.lss"), "' a module\n\nSub MAIN\nEnd Sub\n");
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN", "slow");
  gNow = 0;
  data.Enter({kModule, kMain});
  data.Line(1);
  gNow = 5;
  data.Line(INT32_MAX);
  gNow = 9;
  data.Exit();
  const std::string path = Save(data);
  const testing::ToolResult json = Run({"report", path, "--format", "json", "--source", File("slow.lss")});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  std::vector<int64_t> lines;
  const Json view = Json::parse(json.out);
  for (const Json& l : view["lines"]) lines.push_back(l["line"].get<int64_t>());
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<int64_t>{4, INT32_MAX})) << json.out;
  for (const char* format : {"text", "html", "callgrind", "pprof"}) {
    const testing::ToolResult view = Run({"report", path, "--format", format, "--source", File("slow.lss")});
    EXPECT_EQ(view.exitCode, 0) << format << ": " << view.err;
  }
}

// A source file named after no module numbers nothing: the user is told on
// stderr, the view itself is the same and the command still succeeds.
TEST_F(ReportCommandTest, ASourceFileOfNoModuleIsAWarning) {
  WriteText(File("slow.lss"), "' a module\n\nSub MAIN\nEnd Sub\n");
  WriteText(File("other.lss"), "Sub MAIN\nEnd Sub\n");
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN", "slow");
  data.Enter({kModule, kMain});
  data.Exit();
  const std::string path = Save(data);
  const std::string warning = "quillet report: warning: other.lss: the report has no module \"other\"; the file is not used\n";

  const testing::ToolResult used = RunIn(File(""), {"report", path, "--source", "slow.lss"});
  ASSERT_EQ(used.exitCode, 0) << used.err;
  EXPECT_EQ(used.err, "");
  const testing::ToolResult both = RunIn(File(""), {"report", path, "--source", "slow.lss", "--source", "other.lss"});
  EXPECT_EQ(both.exitCode, 0) << both.err;
  EXPECT_EQ(both.err, warning);
  EXPECT_EQ(both.out, used.out);
  const testing::ToolResult folder = RunIn(File(""), {"report", path, "--source", "."});
  EXPECT_EQ(folder.err, "") << "a folder may hold files of other modules";
  // A folder with no file of the report's modules is named, with the files
  // it would need.
  std::filesystem::create_directories(File("elsewhere"));
  WriteText(File("elsewhere/other.lss"), "Sub MAIN\nEnd Sub\n");
  const testing::ToolResult wrong = RunIn(File(""), {"report", path, "--source", "elsewhere"});
  EXPECT_EQ(wrong.exitCode, 0) << wrong.err;
  EXPECT_EQ(wrong.err,
            "quillet report: warning: elsewhere: no file of the folder is named after a module of the report "
            "(slow.lss)\n");
  EXPECT_EQ(wrong.out, RunIn(File(""), {"report", path}).out);

  const testing::ToolResult diff = RunIn(File(""), {"diff", path, path, "--source", "other.lss"});
  EXPECT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_EQ(diff.err, "quillet diff: warning: other.lss: the report has no module \"other\"; the file is not used\n");
  const testing::ToolResult after =
      RunIn(File(""), {"diff", path, path, "--source", "slow.lss", "--after-source", "other.lss"});
  EXPECT_EQ(after.err, "quillet diff: warning: other.lss: the report has no module \"other\"; the file is not used\n");
}

TEST_F(ReportCommandTest, BadInputIsAnErrorNotACrash) {
  const testing::ToolResult missing = Run({"report", File("missing.zvk")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("quillet report"), std::string::npos);
  EXPECT_TRUE(missing.out.empty());

  // Every prefix of a good report is refused cleanly.
  const std::string good = ReadText(SampleReport());
  for (size_t n : {size_t{0}, size_t{11}, size_t{24}, good.size() / 2, good.size() - 1}) {
    WriteText(File("cut.zvk"), good.substr(0, n));
    const testing::ToolResult cut = Run({"report", File("cut.zvk")});
    EXPECT_EQ(cut.exitCode, 1) << n;
    EXPECT_FALSE(cut.err.empty()) << n;
  }

  const testing::ToolResult format = Run({"report", File("run.zvk"), "--format", "xml"});
  EXPECT_EQ(format.exitCode, 2);
  EXPECT_FALSE(format.err.empty());
  const testing::ToolResult top = Run({"report", File("run.zvk"), "--top", "-3"});
  EXPECT_EQ(top.exitCode, 2);
}

}  // namespace
}  // namespace quillet
