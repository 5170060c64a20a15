// Line numbers of the views taken from the compiled modules a report was
// recorded from: a run of a module image shows its source file's lines
// without the source, through `--module` and in `quillet run`.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;
using Lines = std::set<std::pair<std::string, int>>;

// Work is declared on line 4 and Counter::Bump on line 10; the numbers in
// the comments are the file's lines.
constexpr const char* kProgram =
    "' module lines\n"                       // 1
    "Option Declare\n"                       // 2
    "Dim total As Long\n"                    // 3
    "Sub Work\n"                             // 4
    "  total = total + 1\n"                  // 5
    "  total = total + 2\n"                  // 6
    "  total = total + 3\n"                  // 7
    "End Sub\n"                              // 8
    "Class Counter\n"                        // 9
    "  Sub Bump\n"                           // 10
    "    total = total + 4\n"                // 11
    "    total = total + 5\n"                // 12
    "    total = total + 6\n"                // 13
    "  End Sub\n"                            // 14
    "End Class\n"                            // 15
    "Sub Initialize\n"                       // 16
    "  Dim c As New Counter\n"               // 17
    "  Call Work\n"                          // 18
    "  c.Bump\n"                             // 19
    "  Print total\n"                        // 20
    "End Sub\n";                             // 21

class ReportModuleLinesTest : public testing::ToolTest {
 protected:
  // Compiles the program to an image, profiles the image (not the source)
  // and returns the report's path.
  std::string ProfileImage() {
    WriteText(File("counter.lss"), kProgram);
    const testing::ToolResult c = Run({"compile", File("counter.lss"), "-o", File("counter.lso")});
    EXPECT_EQ(c.exitCode, 0) << c.err;
    const testing::ToolResult r = Run({"run", File("counter.lso"), "--profile", "--report", File("counter.zvk")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    last_ = r.out;
    return File("counter.zvk");
  }

  // The (procedure, line) pairs of Work and Counter::Bump in the JSON view.
  Lines LinesOf(std::vector<std::string> args) {
    args.insert(args.begin(), "report");
    args.insert(args.end(), {"--format", "json"});
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Lines lines;
    if (r.exitCode != 0) return lines;
    const Json view = Json::parse(r.out);
    for (const Json& l : view["lines"]) {
      const std::string procedure = l["procedure"];
      if (procedure == "Work" || procedure == "Counter::Bump") lines.insert({procedure, l["line"].get<int>()});
    }
    return lines;
  }

  std::string last_;  // what the profiled run printed
};

const Lines kFileLines = {{"Work", 5}, {"Work", 6}, {"Counter::Bump", 11}, {"Counter::Bump", 12}};

TEST_F(ReportModuleLinesTest, TheModuleGivesTheFilesLinesWithoutTheSource) {
  const std::string report = ProfileImage();
  // As recorded: Work counts from its Sub line, Bump has the file's lines.
  const Lines recorded = LinesOf({report});
  EXPECT_TRUE(recorded.count({"Work", 1}) == 1 && recorded.count({"Work", 2}) == 1) << ::testing::PrintToString(recorded);
  EXPECT_EQ(recorded.count({"Work", 5}), 0u);
  // With the image, or the source compiled, every procedure has its file lines.
  for (const std::string& module : {File("counter.lso"), File("counter.lss"), File("")}) {
    const Lines lines = LinesOf({"--module", module, report});
    for (const auto& line : kFileLines) EXPECT_EQ(lines.count(line), 1u) << module << ": " << line.first << " " << line.second;
    EXPECT_EQ(lines.count({"Work", 1}), 0u) << module;
  }
}

TEST_F(ReportModuleLinesTest, TheRunOfAnImageShowsTheFilesLines) {
  ProfileImage();
  // The summary's hottest lines of Work are the file's 5 to 7, not 1 to 3.
  EXPECT_TRUE(std::regex_search(last_, std::regex(R"(\n\s+Work\s+5\s)"))) << last_;
  EXPECT_TRUE(std::regex_search(last_, std::regex(R"(\n\s+Counter::Bump\s+11\s)"))) << last_;
  EXPECT_FALSE(std::regex_search(last_, std::regex(R"(\n\s+Work\s+1\s)"))) << last_;
}

TEST_F(ReportModuleLinesTest, AnotherModuleLeavesTheLinesAsRecorded) {
  const std::string report = ProfileImage();
  WriteText(File("other.lss"), "Sub Work\n  x = 1\n  x = 2\n  x = 3\nEnd Sub\nSub Initialize\n  Call Work\nEnd Sub\n");
  const Lines lines = LinesOf({"--module", File("other.lss"), report});
  EXPECT_EQ(lines, LinesOf({report}));  // a module of another checksum matches nothing
}

TEST_F(ReportModuleLinesTest, ABadModuleIsRefused) {
  const std::string report = ProfileImage();
  WriteText(File("bad.lso"), "not a module");
  const testing::ToolResult r = Run({"report", "--module", File("bad.lso"), report});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("bad.lso"), std::string::npos) << r.err;
  const testing::ToolResult missing = Run({"report", "--module", File("nowhere.lso"), report});
  EXPECT_EQ(missing.exitCode, 1);
}

TEST_F(ReportModuleLinesTest, DiffTakesTheModulesOfBothRuns) {
  const std::string before = ProfileImage();
  const testing::ToolResult r =
      Run({"diff", before, before, "--module", File("counter.lso"), "--format", "json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Lines lines;
  const Json view = Json::parse(r.out);
  for (const Json& l : view["lines"]) lines.insert({l["procedure"], l["line"].get<int>()});
  for (const auto& line : kFileLines) EXPECT_EQ(lines.count(line), 1u) << line.first << " " << line.second;
}

}  // namespace
}  // namespace quillet
