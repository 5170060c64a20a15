// Line numbers of the views taken from the compiled modules a report was
// recorded from: a run of a module image shows its source file's lines
// without the source, through `--module` and in `quillet run`.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;
using Lines = std::set<std::pair<std::string, int>>;

class ReportModuleLinesTest : public testing::ToolTest {
 protected:
  // Compiles examples/class_methods.lss to an image, profiles the image
  // (not the source) and returns the report's path. Its Initialize is
  // declared on line 37; Account's methods lie inside the class.
  std::string ProfileImage() {
    const std::string source = std::string(QUILLET_SOURCE_DIR) + "/examples/class_methods.lss";
    std::filesystem::copy_file(source, File("counter.lss"));
    const testing::ToolResult c = Run({"compile", File("counter.lss"), "-o", File("counter.lso")});
    EXPECT_EQ(c.exitCode, 0) << c.err;
    const testing::ToolResult r = Run({"run", File("counter.lso"), "--profile", "--report", File("counter.zvk")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    last_ = r.out;
    return File("counter.zvk");
  }

  // The (procedure, line) pairs of Initialize and Account::Deposit in the JSON view.
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
      if (procedure == "Initialize" || procedure == "Account::Deposit") lines.insert({procedure, l["line"].get<int>()});
    }
    return lines;
  }

  std::string last_;  // what the profiled run printed
};

// The loop body's lines of Initialize and the lines of Account::Deposit.
const Lines kFileLines = {{"Initialize", 44}, {"Initialize", 45}, {"Account::Deposit", 14}, {"Account::Deposit", 15}};

TEST_F(ReportModuleLinesTest, TheModuleGivesTheFilesLinesWithoutTheSource) {
  const std::string report = ProfileImage();
  // As recorded: Initialize counts from its Sub line, Deposit has the file's lines.
  const Lines recorded = LinesOf({report});
  EXPECT_TRUE(recorded.count({"Initialize", 7}) == 1 && recorded.count({"Initialize", 8}) == 1)
      << ::testing::PrintToString(recorded);
  EXPECT_EQ(recorded.count({"Initialize", 44}), 0u);
  EXPECT_EQ(recorded.count({"Account::Deposit", 14}), 1u);
  // With the image, or the source compiled, every procedure has its file lines.
  for (const std::string& module : {File("counter.lso"), File("counter.lss"), File("")}) {
    const Lines lines = LinesOf({"--module", module, report});
    for (const auto& line : kFileLines) EXPECT_EQ(lines.count(line), 1u) << module << ": " << line.first << " " << line.second;
    EXPECT_EQ(lines.count({"Initialize", 7}), 0u) << module;
  }
}

TEST_F(ReportModuleLinesTest, TheRunOfAnImageShowsTheFilesLines) {
  ProfileImage();
  // The summary's hottest lines of Initialize are the file's 44 and 45, not 7 and 8.
  EXPECT_TRUE(std::regex_search(last_, std::regex(R"(\n\s+Initialize\s+44\s)"))) << last_;
  EXPECT_FALSE(std::regex_search(last_, std::regex(R"(\n\s+Initialize\s+7\s)"))) << last_;
}

TEST_F(ReportModuleLinesTest, AnotherModuleLeavesTheLinesAsRecorded) {
  const std::string report = ProfileImage();
  WriteText(File("other.lss"), "Sub Initialize\n  x = 1\n  x = 2\n  x = 3\nEnd Sub\n");
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
