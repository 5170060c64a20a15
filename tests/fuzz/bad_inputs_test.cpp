// Replays the corpus of inputs that once crashed, hung or misled the tool
// (fuzz/bad-inputs, listed with their expected outcome in expected.txt), and
// makes writes fail to show that a failed write keeps what was there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lsobject/ls_script_module.h"
#include "tools/tool_run.h"

namespace quillet {
namespace {

const std::string kCorpus = std::string(QUILLET_SOURCE_DIR) + "/fuzz/bad-inputs";

struct Case {
  std::string input;
  std::vector<std::string> args;
  int exitCode = 0;
  std::string expected;
  int lineNumber = 0;
};

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + separator.size())
    parts.push_back(text.substr(from, at - from));
  parts.push_back(text.substr(from));
  return parts;
}

std::vector<Case> ReadCases() {
  std::ifstream in(kCorpus + "/expected.txt");
  std::vector<Case> cases;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = Split(line, " | ");
    EXPECT_EQ(fields.size(), 4u) << "expected.txt line " << number;
    if (fields.size() != 4) continue;
    Case c;
    c.input = fields[0] == "." ? kCorpus : fields[0][0] == '/' ? fields[0] : kCorpus + "/" + fields[0];
    for (const std::string& arg : Split(fields[1], " ")) c.args.push_back(arg == "{}" ? c.input : arg);
    c.exitCode = std::stoi(fields[2]);
    c.expected = fields[3];
    c.lineNumber = number;
    cases.push_back(std::move(c));
  }
  return cases;
}

class BadInputsTest : public testing::ToolTest {};

TEST_F(BadInputsTest, EveryInputOfTheCorpusGivesItsExpectedOutcome) {
  const std::vector<Case> cases = ReadCases();
  ASSERT_GE(cases.size(), 10u);
  for (const Case& c : cases) {
    ASSERT_TRUE(std::filesystem::exists(c.input)) << c.input;
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
      if (arg == "{out}") arg = File("out.bin");
    const testing::ToolResult r = Run(args);
    SCOPED_TRACE("expected.txt line " + std::to_string(c.lineNumber));
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE((r.out + r.err).find(c.expected), std::string::npos) << r.out.substr(0, 2000) << r.err;
    EXPECT_EQ(r.err.find("internal error"), std::string::npos) << r.err;
  }
}

// Every corpus file is replayed by some case, so none is kept for nothing.
TEST_F(BadInputsTest, EveryCorpusFileHasACase) {
  const std::vector<Case> cases = ReadCases();
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    // Folders hold a fuzz target's findings, replayed through the target.
    if (entry.path().filename() == "expected.txt" || entry.is_directory()) continue;
    bool listed = false;
    for (const Case& c : cases) listed = listed || c.input == entry.path().string();
    EXPECT_TRUE(listed) << entry.path();
  }
}

// A module of the corpus that parses writes the same image twice over.
TEST(BadInputModules, ThoseThatParseSerialiseStably) {
  int parsed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
    if (entry.path().extension() != ".lso") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CLSScriptModule module;
    if (!module.Parse(image)) continue;
    ++parsed;
    const std::vector<uint8_t> once = module.Serialize();
    CLSScriptModule again;
    ASSERT_TRUE(again.Parse(once)) << entry.path();
    EXPECT_EQ(again.Serialize(), once) << entry.path();
  }
  EXPECT_GE(parsed, 1);
}

class FailedWriteTest : public testing::ToolTest {
 protected:
  static std::string Example(const std::string& name) { return std::string(QUILLET_SOURCE_DIR) + "/examples/" + name; }
  // Names in the scratch directory other than the tool's captured output.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(File("")))
      if (entry.path().filename() != "stdout.txt" && entry.path().filename() != "stderr.txt")
        names.push_back(entry.path().filename().string());
    return names;
  }
};

// Files up to 2 blocks (1 or 2 KiB, by the shell's block size: room for the
// tool's messages, not for a module or report): a longer write fails with EFBIG.
constexpr int kTinyFileLimit = 2;
constexpr size_t kMostTheLimitAllows = 2048;

TEST_F(FailedWriteTest, InstrumentInPlaceKeepsTheInputWhenTheWriteFails) {
  const std::string module = File("m.lso");
  ASSERT_EQ(Run({"compile", Example("class_methods.lss"), "-o", module}).exitCode, 0);
  const std::string before = ReadText(module);
  ASSERT_GT(before.size(), kMostTheLimitAllows);

  const testing::ToolResult r = RunWithFileLimit(kTinyFileLimit, {"instrument", module, module});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(ReadText(module), before);
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"m.lso"});

  // The same write with room replaces the file.
  ASSERT_EQ(Run({"instrument", module, module}).exitCode, 0);
  EXPECT_NE(ReadText(module), before);
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"m.lso"});
}

TEST_F(FailedWriteTest, CompileAndRoundtripKeepAnEarlierOutput) {
  const std::string out = File("out.lso");
  WriteText(out, "earlier contents");
  const testing::ToolResult compiled =
      RunWithFileLimit(kTinyFileLimit, {"compile", Example("class_methods.lss"), "-o", out});
  EXPECT_EQ(compiled.exitCode, 1);
  EXPECT_EQ(ReadText(out), "earlier contents");

  const std::string module = File("m.lso");
  ASSERT_EQ(Run({"compile", Example("class_methods.lss"), "-o", module}).exitCode, 0);
  const testing::ToolResult copied = RunWithFileLimit(kTinyFileLimit, {"roundtrip", module, out});
  EXPECT_EQ(copied.exitCode, 1);
  EXPECT_EQ(ReadText(out), "earlier contents");
  std::vector<std::string> left = Leftovers();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"m.lso", "out.lso"}));
}

TEST_F(FailedWriteTest, ReplacedOutputKeepsItsPermissionsAndItsLink) {
  const std::string module = File("m.lso");
  ASSERT_EQ(Run({"compile", Example("class_methods.lss"), "-o", module}).exitCode, 0);
  const std::string out = File("out.lso");
  WriteText(out, "earlier contents");
  std::filesystem::permissions(out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                        std::filesystem::perms::group_read);
  const std::string link = File("latest.lso");
  std::filesystem::create_symlink("out.lso", link);

  ASSERT_EQ(Run({"roundtrip", module, link}).exitCode, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(ReadText(out) == ReadText(module)) << "the link's file holds the module";
  EXPECT_EQ(std::filesystem::status(out).permissions(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::group_read);
  std::vector<std::string> left = Leftovers();
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"latest.lso", "m.lso", "out.lso"}));
}

TEST_F(FailedWriteTest, ProfiledRunNamesAFailedReportWriteAndLeavesNoPartialReport) {
  const std::string report = File("r.zvk");
  // Many timed calls and no printed output: the report outgrows the limit.
  WriteText(File("quiet.lss"),
            "Sub Work\n  Dim x As Integer\n  x = 1\nEnd Sub\n"
            "Sub Initialize\n  Dim i As Integer\n  For i = 1 To 300\n    Work\n  Next\nEnd Sub\n");
  const testing::ToolResult r =
      RunWithFileLimit(kTinyFileLimit, {"run", File("quiet.lss"), "--profile", "--report", report});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("truncated"), std::string::npos) << r.err;
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"quiet.lss"});
}

}  // namespace
}  // namespace quillet
