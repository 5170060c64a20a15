// The views for people and other tools: HTML opened in headless Chromium,
// pprof read by an independent decoder, callgrind read by callgrind_annotate,
// speedscope checked against its schema; the diff of two runs; line numbers
// and line times of recursive and module-level procedures.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>

#include "tools/report_fixture.h"

namespace quillet {
namespace {

using Json = nlohmann::json;
using testing::gNow;
using testing::kHelper;
using testing::kMain;
using testing::kModule;
using testing::ManualCounter;

// The source of the sample report's module "Slow agent": MAIN is declared on
// line 2, so its recorded lines 1 and 2 are the file's 3 and 4; HELPER is
// declared on line 6, its recorded line 5 is the file's line 11.
constexpr const char* kSlowAgentSource =
    "' the sample module\n"
    "Sub MAIN\n"
    "  x = 1\n"
    "  Call HELPER\n"
    "End Sub\n"
    "Sub HELPER\n"
    "  ' a comment\n"
    "  ' another\n"
    "  ' and another\n"
    "  ' and one more\n"
    "  Sleep 100\n"
    "End Sub\n";

class ReportViewsTest : public testing::ReportTest {
 protected:
  std::string SourceDir() {
    const std::string dir = File("src");
    std::filesystem::create_directories(dir);
    WriteText(dir + "/Slow agent.lss", kSlowAgentSource);
    return dir;
  }

  // Runs a shell command; the exit code and what it printed on stdout.
  testing::ToolResult Shell(const std::string& command) const {
    const std::string out = File("client.out");
    const std::string err = File("client.err");
    const int status = std::system((command + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null").c_str());
    testing::ToolResult r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
  }

  // What the independent client `kind` saw in `file` (see clients/check.js).
  // A missing client fails the test with the reason; it is never skipped.
  Json Client(const std::string& kind, const std::string& file, const std::string& extra = "") const {
    const testing::ToolResult node = Shell("command -v node");
    if (node.exitCode != 0) {
      ADD_FAILURE() << "node is missing: run scripts/setup to install the report clients";
      return Json();
    }
    std::string command = "node " + Quote(std::string(QUILLET_SOURCE_DIR) + "/tests/tools/clients/check.js") + " " +
                          kind + " " + Quote(file);
    if (!extra.empty()) command += " " + Quote(extra);
    const testing::ToolResult r = Shell(command);
    if (r.exitCode != 0) {
      ADD_FAILURE() << "client " << kind << " failed (exit " << r.exitCode << "): " << r.err;
      return Json();
    }
    return Json::parse(r.out);
  }

  // `go tool pprof ARGS` of the Go distribution, offline, with a home of
  // its own; a missing go fails the test with the reason.
  testing::ToolResult GoPprof(const std::string& args) const {
    if (Shell("command -v go").exitCode != 0) {
      ADD_FAILURE() << "go is missing: run scripts/setup (apt-get install golang-go)";
      return testing::ToolResult{127, "", ""};
    }
    return Shell("HOME=" + Quote(File("gohome")) + " GOTOOLCHAIN=local GOPROXY=off go tool pprof " + args);
  }

  std::string Render(const std::string& report, const std::string& format, std::vector<std::string> more = {}) {
    const std::string out = File("view." + format);
    std::vector<std::string> args = {"report", report, "--format", format, "-o", out};
    args.insert(args.end(), more.begin(), more.end());
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "with -o nothing goes to stdout";
    return out;
  }

  // HELPER, called twice from MAIN's line 1, spends 10 ticks on its line 1
  // and 30 on its line 5 (the file's 7 and 11) and one tick before them.
  std::string LeafLinesReport() {
    CProfileData data(&ManualCounter, 1'000'000);
    Describe(data, kMain, "MAIN");
    Describe(data, kHelper, "HELPER");
    gNow = 0;
    data.Enter({kModule, kMain});
    data.Line(1);
    for (int i = 0; i < 2; ++i) {
      data.Enter({kModule, kHelper});
      gNow += 1;
      data.Line(1);
      gNow += 10;
      data.Line(5);
      gNow += 30;
      data.Exit();
    }
    gNow += 18;
    data.Exit();  // MAIN: 100 ticks, 82 of them in HELPER
    return Save(data, {}, "leaf.zvk");
  }
};

TEST_F(ReportViewsTest, HtmlOpensInChromiumAndAnswersClicks) {
  const std::string html = Render(SampleReport(), "html", {"--source", SourceDir()});
  const Json seen = Client("html", html, File("report.png"));
  ASSERT_TRUE(seen.is_object());
  EXPECT_TRUE(seen["errors"].empty()) << seen["errors"];
  EXPECT_TRUE(seen["requests"].empty()) << "the page must need no network: " << seen["requests"];
  EXPECT_TRUE(std::filesystem::exists(File("report.png")));

  EXPECT_EQ(seen["summary"][0], "400.00 usTotal time");
  EXPECT_EQ(seen["procedureOrder"][0], "MAIN");  // by inclusive time at first
  // Calls sorted largest first, then smallest first.
  EXPECT_EQ(seen["byCallsDown"], Json({"3", "1", "1"}));
  EXPECT_EQ(seen["byCallsUp"], Json({"1", "1", "3"}));

  EXPECT_EQ(seen["treeRoots"], Json({"MAIN"}));
  EXPECT_EQ(seen["treeChildren"], Json({"HELPER", "00005000:0007"}));  // by total time

  // The procedure with the most exclusive time is selected at first, with
  // its caller and its source, lines numbered as in the file.
  EXPECT_EQ(seen["selected"], "HELPER");
  EXPECT_EQ(seen["callers"], Json({"MAIN"}));
  EXPECT_TRUE(seen["callees"].empty());
  ASSERT_FALSE(seen["source"].empty());
  EXPECT_EQ(seen["source"].front()["line"], 6);  // from the declaration
  EXPECT_EQ(seen["source"].back()["line"], 12);  // to End Sub
  for (const Json& row : seen["source"]) {
    const bool timed = row["line"] == 11;
    EXPECT_EQ(row["heated"], timed) << row;
    if (timed) {
      EXPECT_EQ(row["hits"], "3");
      EXPECT_EQ(row["text"], "  Sleep 100");
    }
  }

  // A frame of the second level fills the width once zoomed into, and
  // selects its procedure.
  const Json& zoom = seen["zoom"];
  ASSERT_TRUE(zoom.is_object());
  EXPECT_LT(zoom["widthBefore"].get<double>(), zoom["flameWidth"].get<double>() / 2);
  EXPECT_NEAR(zoom["widthAfter"].get<double>(), zoom["flameWidth"].get<double>(), 1.0);
  EXPECT_EQ(zoom["selected"], zoom["name"]);
  // Searching marks the frames of that name and sums their time.
  EXPECT_EQ(seen["search"]["matches"], Json({"HELPER"}));
  EXPECT_EQ(seen["search"]["result"], "matched 303.00 us (75.8%)");
}

// The source panel runs from the procedure's declaration to its End line;
// a Sub or End Sub inside a %Rem block in the procedure is neither.
TEST_F(ReportViewsTest, HtmlSourcePanelSkipsRemBlocks) {
  auto panel = [&](const std::string& report, const std::string& source) {
    const std::string dir = File("remmed");
    std::filesystem::create_directories(dir);
    WriteText(dir + "/Slow agent.lss", source);
    const Json seen = Client("html", Render(report, "html", {"--source", dir}));
    std::vector<int> lines;
    if (!seen.is_object()) return lines;
    EXPECT_TRUE(seen["errors"].empty()) << seen["errors"];
    EXPECT_EQ(seen["selected"], "HELPER");
    for (const Json& row : seen["source"]) lines.push_back(row["line"].get<int>());
    return lines;
  };
  const std::string head = "' the sample module\nSub MAIN\n  x = 1\n  Call HELPER\nEnd Sub\nSub HELPER\n";
  // HELPER's line 5 is the file's 11; the old code above it is remarked out.
  std::vector<int> lines =
      panel(SampleReport(), head + "%Rem\nEnd Sub\nSub OLD\n%End Rem\n  Sleep 100\nEnd Sub\n' after\n");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), 6);
  EXPECT_EQ(lines.back(), 12);
  // HELPER's lines 1 and 5 are the file's 7 and 11, a remarked End Sub between.
  lines = panel(LeafLinesReport(), head + "  x = 2\n  %REM\nEnd Sub\n  %END REM\n  Sleep 100\nEnd Sub\n' after\n");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), 6);
  EXPECT_EQ(lines.back(), 12);
}

// A time that rounds up to a unit's boundary is shown in the next unit:
// 999,999 ns is "1.00 ms", never "1000.00 us" (text, diff and HTML alike).
TEST_F(ReportViewsTest, DurationsRoundingToAUnitBoundaryTakeTheNextUnit) {
  // Root calls of one procedure each; the counter runs at `frequency`.
  auto report = [&](int64_t frequency, const std::vector<int64_t>& ticks, const std::string& name) {
    CProfileData data(&ManualCounter, frequency);
    gNow = 0;
    for (size_t i = 0; i < ticks.size(); ++i) {
      const auto handle = static_cast<uint32_t>(10 + i);
      Describe(data, handle, "P" + std::to_string(i));
      data.Enter({kModule, handle});
      gNow += ticks[i];
      data.Exit();
    }
    return Save(data, {}, name);
  };
  // The inclusive time the text view shows for procedure `name`.
  auto shown = [](const std::string& text, const std::string& name) {
    const size_t at = text.find("  " + name + "  (");
    if (at == std::string::npos) return std::string("(no row)");
    const size_t start = text.rfind('\n', at) + 1;
    const std::string row = text.substr(start, 14);  // "  " and a 12-wide column
    return row.substr(row.find_first_not_of(' '));
  };
  // Nanosecond ticks, then 0.1 ns ticks for the ns -> us boundary.
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {999, "999 ns"},          {1'000, "1.00 us"},           {999'994, "999.99 us"},
      {999'999, "1.00 ms"},     {999'994'999, "999.99 ms"},   {999'999'999, "1.00 s"},
      {1'000'000'000, "1.00 s"}};
  std::vector<int64_t> ticks;
  for (const auto& c : cases) ticks.push_back(c.first);
  const testing::ToolResult ns = Run({"report", report(1'000'000'000, ticks, "ns.zvk"), "--top", "0"});
  ASSERT_EQ(ns.exitCode, 0) << ns.err;
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(shown(ns.out, "P" + std::to_string(i)), cases[i].second);
  const testing::ToolResult tenth = Run({"report", report(10'000'000'000, {9'994, 9'996}, "tenth.zvk")});
  ASSERT_EQ(tenth.exitCode, 0) << tenth.err;
  EXPECT_EQ(shown(tenth.out, "P0"), "999 ns");
  EXPECT_EQ(shown(tenth.out, "P1"), "1.00 us");

  // A negative change: 1,999,999 ns -> 1,000,000 ns is -999,999 ns.
  const std::string before = report(1'000'000'000, {1'999'999}, "before.zvk");
  const std::string after = report(1'000'000'000, {1'000'000}, "after.zvk");
  const testing::ToolResult diff = Run({"diff", before, after});
  ASSERT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_NE(diff.out.find("2.00 ms      1.00 ms     -1.00 ms"), std::string::npos) << diff.out;
  EXPECT_EQ(diff.out.find("1000.00"), std::string::npos) << diff.out;

  // The page formats times in its own script: the same rule. (The client
  // opens a tree node: MAIN calls HELPER.)
  CProfileData page(&ManualCounter, 1'000'000'000);
  Describe(page, kMain, "MAIN");
  Describe(page, kHelper, "HELPER");
  Describe(page, testing::kUndescribed, "IDLE");  // recorded, never called: no time per call
  gNow = 0;
  page.Enter({kModule, kMain});
  page.Enter({kModule, kHelper});
  gNow += 500'000;
  page.Exit();
  gNow += 499'999;
  page.Exit();
  const Json seen = Client("html", Render(Save(page, {}, "html.zvk"), "html"));
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["summary"][0], "1.00 msTotal time");
  EXPECT_EQ(seen["perCall"]["MAIN"], "1.00 ms");
  EXPECT_EQ(seen["perCall"]["IDLE"], "-");
  const testing::ToolResult text = Run({"report", File("html.zvk")});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_TRUE(std::regex_search(text.out, std::regex(R"(\n\s+0 ns\s+0 ns\s+0\s+-  IDLE  \(Slow agent\)\n)")))
      << text.out;
}

TEST_F(ReportViewsTest, HtmlOfManyPathsLeavesOutTheSmallOnes) {
  // 1,000 procedures under the root, each calling 101 others once: 101,000
  // leaf paths of one tick each, far below 0.001% of the total.
  CProfileData data(&ManualCounter, 1'000'000);
  gNow = 0;
  data.Enter({kModule, 5000});
  for (uint32_t a = 0; a < 1000; ++a) {
    data.Enter({kModule, a});
    gNow += 200;
    for (uint32_t b = 0; b < 101; ++b) {
      data.Enter({kModule, 1000 + b});
      ++gNow;
      data.Exit();
    }
    data.Exit();
  }
  data.Exit();
  const std::string html = ReadText(Render(Save(data), "html"));
  const size_t start = html.find('>', html.find("id=\"report-data\"")) + 1;
  const Json page = Json::parse(html.substr(start, html.find("</script>", start) - start));
  EXPECT_EQ(page["droppedPaths"], 101'000);
  const Json& tree = page["tree"];
  ASSERT_EQ(tree["parent"].size(), 1002u);  // the synthetic root, the root, its 1,000 callees
  for (size_t i = 2; i < 1002; ++i) {
    EXPECT_EQ(tree["parent"][i], 1) << i;
    EXPECT_EQ(tree["total"][i], 301) << i;
  }
  EXPECT_EQ(page["totalTime"], 301'000);
}

TEST_F(ReportViewsTest, NamesCannotBreakOutOfThePage) {
  const std::string hostile = "X</script><script>alert(1)</script><!--";
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, hostile, "<b>module</b>");
  gNow = 0;
  data.Enter({kModule, kMain});
  gNow = 10;
  data.Exit();
  const std::string html = ReadText(Render(Save(data, {}, "<i>.zvk"), "html"));
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("<i>"), std::string::npos) << "the title is escaped";
  // The name comes back whole from the page's figures.
  const size_t start = html.find('>', html.find("id=\"report-data\"")) + 1;
  const Json page = Json::parse(html.substr(start, html.find("</script>", start) - start));
  EXPECT_EQ(page["procedures"][0]["name"], hostile);
  EXPECT_EQ(page["procedures"][0]["module"], "<b>module</b>");
}

TEST_F(ReportViewsTest, PprofTotalsEqualTheReport) {
  const std::string report = SampleReport();
  const Json seen = Client("pprof", Render(report, "pprof", {"--source", SourceDir()}));
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["sampleTypes"], Json({"calls/count", "time/nanoseconds", "hits/count"}));
  EXPECT_EQ(seen["defaultSampleType"], "time");
  // The line samples and the procedure samples of the call paths add up to
  // the total. HELPER called nothing, so its line holds 300 of its 303 ticks;
  // MAIN's lines include its callees and hold no time of their own.
  EXPECT_EQ(seen["totals"][1], 400'000);
  EXPECT_EQ(seen["stacks"]["MAIN"], Json({1, 77'000, 0}));  // path samples hold no hits
  EXPECT_EQ(seen["stacks"]["MAIN;HELPER"], Json({3, 3'000, 0}));
  EXPECT_EQ(seen["stacks"]["MAIN;00005000:0007"], Json({1, 20'000, 0}));
  using Figures = std::map<std::pair<std::string, int>, std::tuple<int, int, int>>;  // calls, time, hits
  Figures lines;
  for (const Json& l : seen["lines"]) {
    auto& [calls, time, hits] = lines[{l["procedure"].get<std::string>(), l["line"].get<int>()}];
    calls += l["hits"].get<int>();
    time += l["time"].get<int>();
    hits += l["hitsValue"].get<int>();
  }
  const Figures expected = {
      {{"MAIN", 3}, {1, 0, 1}}, {{"MAIN", 4}, {1, 0, 1}}, {{"HELPER", 11}, {3, 300'000, 3}}};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(seen["totals"][0], 5 + 5);  // 5 calls, 5 line hits
  EXPECT_EQ(seen["totals"][2], 5);      // the line hits alone
}

// The compressed profile is not sent to a terminal (run under `script`,
// which gives the tool a pseudo-terminal); piped or written with -o it is.
TEST_F(ReportViewsTest, PprofIsNotWrittenToATerminal) {
  const std::string report = SampleReport();
  const std::string tool = Quote(QUILLET_TOOL_PATH) + " report " + Quote(report) + " --format pprof";
  const testing::ToolResult tty = Shell("script -qec " + Quote(tool) + " /dev/null");
  EXPECT_EQ(tty.exitCode, 1) << tty.out;
  EXPECT_NE(tty.out.find("not written to a terminal: give -o FILE.pb.gz"), std::string::npos) << tty.out;
  EXPECT_EQ(tty.out.find("\x1f\x8b"), std::string::npos) << "no gzip bytes";
  const testing::ToolResult piped = Shell("(" + tool + " | od -An -tx1 -N2)");
  EXPECT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_NE(piped.out.find("1f 8b"), std::string::npos) << piped.out;
  const testing::ToolResult file = Shell("script -qec " + Quote(tool + " -o " + Quote(File("p.pb.gz"))) + " /dev/null");
  EXPECT_EQ(file.exitCode, 0) << file.out;
  EXPECT_EQ(ReadText(File("p.pb.gz")).substr(0, 2), "\x1f\x8b");
}

TEST_F(ReportViewsTest, GoPprofShowsTopAndLines) {
  const std::string file = Render(SampleReport(), "pprof", {"--source", SourceDir()});
  const testing::ToolResult top = GoPprof("-top " + Quote(file));
  ASSERT_EQ(top.exitCode, 0) << top.err;
  EXPECT_NE(top.out.find("Total samples = 400us"), std::string::npos) << top.out;
  EXPECT_TRUE(std::regex_search(top.out, std::regex(R"(303us\s+75\.75%.*HELPER)"))) << top.out;
  EXPECT_TRUE(std::regex_search(top.out, std::regex(R"(77us\s+19\.25%\s+\S+\s+400us\s+100%\s+MAIN)"))) << top.out;
  // Line hits against the source file's lines: `calls` adds HELPER's 3
  // calls (its location is its lowest line) to the line's 3 hits, `hits`
  // holds the hits alone.
  const testing::ToolResult list = GoPprof("-list HELPER -sample_index=calls " + Quote(file));
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_TRUE(std::regex_search(list.out, std::regex(R"(\s6\s+6\s+11:\s+Sleep 100)"))) << list.out;
  const testing::ToolResult hits = GoPprof("-list HELPER -sample_index=hits " + Quote(file));
  ASSERT_EQ(hits.exitCode, 0) << hits.err;
  EXPECT_TRUE(std::regex_search(hits.out, std::regex(R"(\s3\s+3\s+11:\s+Sleep 100)"))) << hits.out;
  // The default is still the time.
  EXPECT_TRUE(std::regex_search(top.out, std::regex(R"(Showing nodes accounting for 400us)"))) << top.out;
}

TEST_F(ReportViewsTest, GoPprofShowsTimePerLine) {
  const std::string file = Render(LeafLinesReport(), "pprof", {"--source", SourceDir()});
  // By line: HELPER's line 11 its 60 us, line 7 its 20 us and the 2 us the
  // lines do not hold (the procedure's own location is its first line).
  const testing::ToolResult top = GoPprof("-lines -top " + Quote(file));
  ASSERT_EQ(top.exitCode, 0) << top.err;
  EXPECT_NE(top.out.find("Total samples = 100us"), std::string::npos) << top.out;
  EXPECT_TRUE(std::regex_search(top.out, std::regex(R"(\n\s*60us\s.*HELPER .*Slow agent\.lss:11\n)"))) << top.out;
  EXPECT_TRUE(std::regex_search(top.out, std::regex(R"(\n\s*22us\s.*HELPER .*Slow agent\.lss:7\n)"))) << top.out;
  // The listing of the function puts the time beside the source line.
  const testing::ToolResult list = GoPprof("-list HELPER " + Quote(file));
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_TRUE(std::regex_search(list.out, std::regex(R"(\s60us\s+60us\s+11:\s+Sleep 100)"))) << list.out;
}

TEST_F(ReportViewsTest, GoPprofWebPagesShowTheProfile) {
  const std::string file = Render(LeafLinesReport(), "pprof", {"--source", SourceDir()});
  ASSERT_EQ(Shell("command -v go").exitCode, 0) << "go is missing: run scripts/setup (apt-get install golang-go)";
  ASSERT_EQ(Shell("command -v dot").exitCode, 0) << "dot is missing: run scripts/setup (apt-get install graphviz)";
  const Json seen = Client("pprof-http", file, "HELPER");
  ASSERT_TRUE(seen.is_object());
  for (const char* page : {"graph", "top", "flamegraph", "source"})
    EXPECT_EQ(seen["pages"][page]["status"], 200) << page << ": " << seen["pages"][page]["text"];
  const std::string graph = seen["pages"]["graph"]["text"];
  EXPECT_NE(graph.find("HELPER"), std::string::npos) << graph;
  const std::string top = seen["pages"]["top"]["text"];
  EXPECT_TRUE(std::regex_search(top, std::regex(R"("Name":"HELPER"[^}]*"FlatFormat":"82us")"))) << top;
  const std::string source = seen["pages"]["source"]["text"];
  EXPECT_TRUE(std::regex_search(source, std::regex(R"(11 60us 60us Sleep 100)"))) << source;
}

TEST_F(ReportViewsTest, KCachegrindLoadsTheCallgrindFile) {
  const std::string file = Render(SampleReport(), "callgrind", {"--source", SourceDir()});
  ASSERT_EQ(Shell("command -v kcachegrind").exitCode, 0)
      << "kcachegrind is missing: run scripts/setup (apt-get install kcachegrind)";
  const Json seen = Client("kcachegrind", file, "5");
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["loaderMessages"], Json::array()) << seen["log"];
  EXPECT_EQ(seen["running"], true) << seen["log"];
  // Its loader does speak up about a line it cannot read.
  WriteText(File("broken.callgrind"), ReadText(file) + "not a callgrind line\n");
  const Json broken = Client("kcachegrind", File("broken.callgrind"), "5");
  ASSERT_TRUE(broken.is_object());
  ASSERT_EQ(broken["loaderMessages"].size(), 1u) << broken["log"];
  EXPECT_NE(broken["loaderMessages"][0].get<std::string>().find("not a callgrind line"), std::string::npos);
}

TEST_F(ReportViewsTest, CallgrindAnnotateReadsTheTotals) {
  const std::string file = Render(SampleReport(), "callgrind", {"--source", SourceDir()});
  const testing::ToolResult r = Shell("callgrind_annotate " + Quote(file));
  ASSERT_NE(r.exitCode, 127) << "callgrind_annotate is missing: run scripts/setup (apt-get install valgrind)";
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  EXPECT_EQ((r.out + r.err).find("WARNING"), std::string::npos) << r.out << r.err;
  // "400,000 (100.0%)  5 (100.0%)  PROGRAM TOTALS": the total time in
  // nanoseconds and the line hits.
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex(R"(([\d,]+) \S*\s+([\d,]+) \S*\s+PROGRAM TOTALS)"))) << r.out;
  EXPECT_EQ(m[1], "400,000");
  EXPECT_EQ(m[2], "5");
  // Per function: exclusive time and hits, in its module's source file.
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(303,000 \S*\s+3 \S*\s+\S*/Slow agent\.lss:HELPER)"))) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(77,000 \S*\s+2 \S*\s+\S*/Slow agent\.lss:MAIN)"))) << r.out;
}

TEST_F(ReportViewsTest, SpeedscopeMatchesItsSchema) {
  const std::string file = Render(SampleReport(), "speedscope");
  const Json seen = Client("speedscope", file);
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["valid"], true) << seen["errors"];
  // The validator does refuse a file that breaks the schema.
  Json broken = Json::parse(ReadText(file));
  broken["profiles"][0]["events"][0]["type"] = "X";
  WriteText(File("broken.json"), broken.dump());
  EXPECT_EQ(Client("speedscope", File("broken.json"))["valid"], false);
}

TEST_F(ReportViewsTest, RecursiveLinesAreTimedOnce) {
  // FACT recurses three deep from its line 2; each level spends 10 ticks on
  // line 1 first. The outermost call lasts 100 ticks.
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "FACT");
  gNow = 0;
  for (int level = 0; level < 3; ++level) {
    data.Enter({kModule, kMain});
    data.Line(1);
    gNow += 10;
    data.Line(2);
  }
  gNow = 60;
  for (int level = 0; level < 3; ++level) {
    gNow += 10 + 10 * level;
    data.Exit();
  }
  ASSERT_EQ(gNow, 120);
  const testing::ToolResult r = Run({"report", Save(data), "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["procedures"][0]["inclusive_ticks"], 120);
  std::map<int, Json> lines;
  for (const Json& l : j["lines"]) lines[l["line"].get<int>()] = l;
  // Line 2 holds the whole recursion below it once: 110 of 120 ticks.
  EXPECT_EQ(lines[2]["total_ticks"], 110);
  EXPECT_EQ(lines[2]["hits"], 3);
  EXPECT_EQ(lines[1]["total_ticks"], 10);
  EXPECT_EQ(lines[1]["hits"], 3);
  for (const auto& [line, l] : lines) EXPECT_LE(l["percent_of_procedure"].get<double>(), 100.0) << line;
}

TEST_F(ReportViewsTest, CallgrindAndHtmlCountARecursionsTimeOnce) {
  // MAIN calls FACT, which recurses three deep: FACT runs 5..55 (50 us of
  // MAIN's 60), its inner calls inside that. callgrind_annotate adds a
  // function's calls to its own time: the inner calls must not add again.
  // FACT's own time: 10 + 20 + 20 us, MAIN's 10.
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN");
  Describe(data, kHelper, "FACT");
  gNow = 0;
  data.Enter({kModule, kMain});
  for (int level = 0; level < 3; ++level) {
    gNow += 5;
    data.Enter({kModule, kHelper});
    data.Line(1);
    gNow += 5;
  }
  for (int level = 0; level < 3; ++level) {
    gNow += 5;
    data.Exit();
    gNow += 5;
  }
  ASSERT_EQ(gNow, 60);
  data.Exit();
  const std::string file = Render(Save(data), "callgrind");
  const std::string cg = ReadText(file);
  EXPECT_NE(cg.find("cfn=(2)\ncalls=2 "), std::string::npos) << "FACT's two inner calls are counted: " << cg;
  const testing::ToolResult r = Shell("callgrind_annotate --inclusive=yes " + Quote(file));
  ASSERT_NE(r.exitCode, 127) << "callgrind_annotate is missing: run scripts/setup (apt-get install valgrind)";
  ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
  // Inclusive time and line hits (FACT's line 1 runs once per call).
  std::map<std::string, std::pair<std::string, std::string>> inclusive;
  const std::regex row(R"(([\d,]+) \([\d.]+%\)\s+([\d,]+) \S*\s+.*:(MAIN|FACT)\n)");
  for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), row); it != std::sregex_iterator(); ++it)
    inclusive[(*it)[3]] = {(*it)[1], (*it)[2]};
  EXPECT_EQ(inclusive["MAIN"], std::make_pair(std::string("60,000"), std::string("3"))) << r.out;
  EXPECT_EQ(inclusive["FACT"], std::make_pair(std::string("50,000"), std::string("3"))) << r.out;

  // The HTML page selects FACT (the most exclusive time). Its callers hold
  // its 50 us once (the inner calls run inside MAIN's call of FACT); its
  // callees the 30 us its outer call spent in FACT's second level.
  const Json seen = Client("html", Render(Save(data, {}, "fact.zvk"), "html"));
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["selected"], "FACT");
  EXPECT_EQ(seen["callerRows"], Json({{"MAIN", "1", "50.00 us"}, {"FACT", "2", "0 ns"}})) << seen["callerRows"];
  EXPECT_EQ(seen["calleeRows"], Json({{"FACT", "2", "30.00 us"}})) << seen["calleeRows"];
}

TEST_F(ReportViewsTest, HtmlCalleesOfAMutualRecursionKeepTheirTime) {
  // MAIN 0..100 calls EVEN 10..95, which calls ODD 20..90, which calls EVEN
  // 30..50, which calls ODD 40..45. ODD has the most exclusive time (60 + 5).
  // ODD's callee EVEN (30..50) runs inside an outer EVEN, but not inside
  // another call of EVEN below ODD's outermost call: its 20 us are ODD's.
  constexpr uint32_t kOdd = 8;
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "MAIN");
  Describe(data, kHelper, "EVEN");
  Describe(data, kOdd, "ODD");
  gNow = 0;
  data.Enter({kModule, kMain});
  for (const uint32_t procedure : {kHelper, kOdd, kHelper, kOdd}) {
    gNow += 10;
    data.Enter({kModule, procedure});
  }
  for (const int64_t at : {45, 50, 90, 95, 100}) {
    gNow = at;
    data.Exit();
  }
  const Json seen = Client("html", Render(Save(data), "html"));
  ASSERT_TRUE(seen.is_object());
  EXPECT_EQ(seen["selected"], "ODD");
  EXPECT_EQ(seen["callerRows"], Json({{"EVEN", "2", "70.00 us"}})) << seen["callerRows"];
  EXPECT_EQ(seen["calleeRows"], Json({{"EVEN", "1", "20.00 us"}})) << seen["calleeRows"];
}

TEST_F(ReportViewsTest, LinesAreTheSourceFilesWithTheSources) {
  const std::string report = SampleReport();
  auto lineSet = [&](const std::vector<std::string>& more) {
    // The sources come before the report file: each --source takes one value.
    std::vector<std::string> args = {"report"};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {report, "--format", "json"});
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::set<std::pair<std::string, int>> lines;
    const Json j = Json::parse(r.out);
    for (const Json& l : j["lines"]) lines.insert({l["procedure"].get<std::string>(), l["line"].get<int>()});
    return lines;
  };
  using Lines = std::set<std::pair<std::string, int>>;
  EXPECT_EQ(lineSet({}), (Lines{{"MAIN", 1}, {"MAIN", 2}, {"HELPER", 5}}));  // as recorded
  EXPECT_EQ(lineSet({"--source", SourceDir()}), (Lines{{"MAIN", 3}, {"MAIN", 4}, {"HELPER", 11}}));
  // One file given directly works as well.
  EXPECT_EQ(lineSet({"--source", SourceDir() + "/Slow agent.lss"}), (Lines{{"MAIN", 3}, {"MAIN", 4}, {"HELPER", 11}}));
  const testing::ToolResult missing = Run({"report", report, "--source", File("nowhere.lss")});
  EXPECT_EQ(missing.exitCode, 1);

  // An old MAIN kept in a %Rem block above the real one is not a declaration,
  // as the compiler ignores it; nor is a Sub line inside the block ending it.
  const std::string remmed = File("remmed");
  std::filesystem::create_directories(remmed);
  WriteText(remmed + "/Slow agent.lss", std::string("%Rem\nSub MAIN\n  x = 0\nEnd Sub\n  %end rem\n") +
                                            "%REM old helper\nSub HELPER\n%End Rem\n" + kSlowAgentSource);
  EXPECT_EQ(lineSet({"--source", remmed}), (Lines{{"MAIN", 11}, {"MAIN", 12}, {"HELPER", 19}}));
}

TEST_F(ReportViewsTest, ClassMembersKeepTheirLines) {
  CProfileData data(&ManualCounter, 1'000'000);
  Describe(data, kMain, "Account::Deposit", "bank");
  gNow = 0;
  data.Enter({kModule, kMain});
  data.Line(4);
  gNow = 5;
  data.Exit();
  const std::string dir = File("src");
  std::filesystem::create_directories(dir);
  WriteText(dir + "/bank.lss", "Class Account\n  Sub Deposit\n    x = 1\n    y = 2\n  End Sub\nEnd Class\nSub Deposit\nEnd Sub\n");
  const testing::ToolResult r = Run({"report", Save(data), "--format", "json", "--source", dir});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Json::parse(r.out)["lines"][0]["line"], 4);
}

class DiffTest : public ReportViewsTest {
 protected:
  static constexpr uint32_t kNewOne = 9;

  // The sample run after a change: HELPER takes 51 ticks a call instead of
  // 101, the undescribed call is gone and a procedure NEWONE appears.
  std::string FasterReport() {
    CProfileData data(&ManualCounter, 1'000'000);
    Describe(data, kMain, "MAIN");
    Describe(data, kHelper, "HELPER");
    Describe(data, kNewOne, "NEWONE");
    RecordSample(data, 50, kNewOne, 4, 250);
    return Save(data, {}, "after.zvk");
  }
};

TEST_F(DiffTest, JsonSortsByLargestChangeAndMarksOneSidedRows) {
  const std::string before = SampleReport();
  const std::string after = FasterReport();
  const testing::ToolResult r = Run({"diff", before, after, "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["total_before_ns"], 400'000);
  EXPECT_EQ(j["total_after_ns"], 250'000);
  const Json& p = j["procedures"];
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0]["procedure"], "HELPER");  // -150 us
  EXPECT_EQ(p[0]["delta_ns"], -150'000);
  EXPECT_NEAR(p[0]["delta_percent"].get<double>(), -100.0 * 150 / 303, 1e-9);
  EXPECT_EQ(p[1]["procedure"], "MAIN");  // -150 us as well: ties by name
  EXPECT_EQ(p[1]["before"]["calls"], 1);
  EXPECT_EQ(p[2]["procedure"], "00005000:0007");
  EXPECT_EQ(p[2]["only_in"], "before");
  EXPECT_TRUE(p[2]["after"].is_null());
  EXPECT_EQ(p[3]["procedure"], "NEWONE");
  EXPECT_EQ(p[3]["only_in"], "after");
  EXPECT_TRUE(p[3]["delta_percent"].is_null());
  // Lines: HELPER line 5 lost 150 us, MAIN line 2 as much.
  EXPECT_EQ(j["lines"][0]["delta_ns"], -150'000);
  EXPECT_EQ(j["lines"][0]["before"]["hits"], 3);
}

// A procedure a report records but never called reads as absent from that
// run: "-" and the only-in mark in the text, a null side and `only_in` in
// JSON, and `not_called_in` naming the run that recorded it uncalled. One
// called in neither run is no row at all.
TEST_F(DiffTest, AProcedureNotCalledInOneRunIsOnlyInTheOther) {
  constexpr uint32_t kIdle = 11;
  auto run = [&](int64_t helperTicks, uint32_t other, int64_t otherTicks, int64_t end, const std::string& name) {
    CProfileData data(&ManualCounter, 1'000'000);
    Describe(data, kMain, "MAIN");
    Describe(data, kHelper, "HELPER");
    Describe(data, kNewOne, "NEWONE");
    Describe(data, kIdle, "IDLE");
    RecordSample(data, helperTicks, other, otherTicks, end);
    return Save(data, {}, name);
  };
  const std::string before = run(100, testing::kUndescribed, 20, 400, "before.zvk");  // NEWONE and IDLE not called
  const std::string after = run(50, kNewOne, 4, 250, "after.zvk");           // IDLE not called
  const testing::ToolResult listed = Run({"report", before, "--format", "json"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  ASSERT_NE(listed.out.find("\"NEWONE\""), std::string::npos) << "the report records the uncalled procedure";

  auto rows = [&](const std::string& a, const std::string& b) {
    const testing::ToolResult r = Run({"diff", a, b, "--format", "json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, Json> byName;
    if (r.exitCode != 0) return byName;
    const Json view = Json::parse(r.out);
    for (const Json& p : view["procedures"]) byName[p["procedure"]] = p;
    return byName;
  };
  std::map<std::string, Json> p = rows(before, after);
  EXPECT_EQ(p.count("IDLE"), 0u);
  ASSERT_EQ(p.count("NEWONE"), 1u);
  EXPECT_TRUE(p["NEWONE"]["before"].is_null()) << p["NEWONE"];
  EXPECT_EQ(p["NEWONE"]["only_in"], "after");
  EXPECT_EQ(p["NEWONE"]["not_called_in"], "before");
  EXPECT_EQ(p["NEWONE"]["after"]["calls"], 1);
  EXPECT_EQ(p["00005000:0007"]["only_in"], "before");
  EXPECT_TRUE(p["00005000:0007"]["not_called_in"].is_null());  // not recorded at all in AFTER
  EXPECT_TRUE(p["MAIN"]["only_in"].is_null());
  EXPECT_TRUE(p["MAIN"]["not_called_in"].is_null());
  p = rows(after, before);
  EXPECT_TRUE(p["NEWONE"]["after"].is_null()) << p["NEWONE"];
  EXPECT_EQ(p["NEWONE"]["only_in"], "before");
  EXPECT_EQ(p["NEWONE"]["not_called_in"], "after");

  const testing::ToolResult text = Run({"diff", before, after});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_TRUE(std::regex_search(text.out, std::regex(R"(\n\s+-\s+4\.00 us\s+\+4\.00 us\s+new\s+0\s+1\s+NEWONE  \[only in after\]\n)")))
      << text.out;
  EXPECT_EQ(text.out.find("IDLE"), std::string::npos) << text.out;
}

TEST_F(DiffTest, TextAndHtmlShowTheSameRows) {
  const std::string before = SampleReport();
  const std::string after = FasterReport();
  const testing::ToolResult text = Run({"diff", before, after});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("total time 400.00 us -> 250.00 us (-150.00 us, -37.5%)"), std::string::npos) << text.out;
  EXPECT_TRUE(std::regex_search(text.out, std::regex(R"(303\.00 us\s+153\.00 us\s+-150\.00 us\s+-49\.5%\s+3\s+3\s+HELPER)")))
      << text.out;
  EXPECT_NE(text.out.find("00005000:0007  [only in before]"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("NEWONE  [only in after]"), std::string::npos) << text.out;

  const testing::ToolResult html = Run({"diff", before, after, "--format", "html", "--top", "2"});
  ASSERT_EQ(html.exitCode, 0) << html.err;
  EXPECT_EQ(html.out.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.out.find("<td class=\"name\">HELPER</td><td>303.00 us</td><td>153.00 us</td>"), std::string::npos);
  EXPECT_EQ(html.out.find("NEWONE"), std::string::npos) << "--top 2 keeps two rows";

  // With the sources, lines are the file's; --after-source gives AFTER its own.
  const std::string moved = File("moved");
  std::filesystem::create_directories(moved);
  WriteText(moved + "/Slow agent.lss", "\n\n" + std::string(kSlowAgentSource));
  const testing::ToolResult sourced =
      Run({"diff", "--source", SourceDir(), "--after-source", moved, before, after, "--format", "json"});
  ASSERT_EQ(sourced.exitCode, 0) << sourced.err;
  const Json lines = Json::parse(sourced.out)["lines"];
  std::set<std::tuple<std::string, int, std::string>> found;
  for (const Json& l : lines)
    found.insert({l["procedure"].get<std::string>(), l["line"].get<int>(), l["only_in"].is_null() ? "" : l["only_in"].get<std::string>()});
  EXPECT_TRUE(found.count({"HELPER", 11, "before"})) << lines;
  EXPECT_TRUE(found.count({"HELPER", 13, "after"})) << lines;

  const testing::ToolResult bad = Run({"diff", before, File("missing.zvk")});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("quillet diff"), std::string::npos);
}

TEST_F(DiffTest, LineZeroIsALineRowLikeTheOthers) {
  // Without a source a statement on a module-level Sub line is recorded as
  // line 0: it is a line (hits, "MAIN:0"), not a second row for MAIN.
  auto run = [&](int64_t lineTicks, const std::string& name) {
    CProfileData data(&ManualCounter, 1'000'000);
    Describe(data, kMain, "MAIN");
    gNow = 0;
    data.Enter({kModule, kMain});
    data.Line(0);
    gNow = lineTicks;
    data.Exit();
    return Save(data, {}, name);
  };
  const std::string before = run(10, "before.zvk");
  const std::string after = run(30, "after.zvk");
  const testing::ToolResult r = Run({"diff", before, after, "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json j = Json::parse(r.out);
  ASSERT_EQ(j["lines"].size(), 1u) << j;
  const Json& line = j["lines"][0];
  EXPECT_EQ(line["procedure"], "MAIN");
  ASSERT_TRUE(line.contains("line")) << line;
  EXPECT_EQ(line["line"], 0);
  ASSERT_TRUE(line["before"].contains("hits")) << line;
  EXPECT_EQ(line["before"]["hits"], 1);
  EXPECT_FALSE(line["before"].contains("exclusive_ns")) << line;
  EXPECT_EQ(line["delta_ns"], 20'000);
  const testing::ToolResult text = Run({"diff", before, after});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_TRUE(std::regex_search(text.out, std::regex(R"(\+200\.0%\s+1\s+1\s+MAIN:0\n)"))) << text.out;
}

TEST_F(ReportViewsTest, LargeReportsShowProgressOnStderrOnly) {
  CProfileData data(&ManualCounter, 1'000'000);
  gNow = 0;
  data.Enter({kModule, kMain});
  for (int i = 0; i < 200'000; ++i) {
    data.Enter({kModule, kHelper});
    ++gNow;
    data.Exit();
  }
  data.Exit();
  const testing::ToolResult r = Run({"report", Save(data), "--format", "json", "--top", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("quillet report: read"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("rendering json"), std::string::npos) << r.err;
  EXPECT_EQ(Json::parse(r.out)["calls"], 200'001);
}

}  // namespace
}  // namespace quillet
