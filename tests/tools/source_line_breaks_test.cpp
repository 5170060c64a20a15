// Source files of every line-break kind: the compiler and the report views
// number their lines alike (CR LF, LF and a lone CR each end one line).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;
using Lines = std::set<std::pair<std::string, int>>;

// A module-level procedure, a %Rem block and a class member; the comment at
// the end of a line says which file line it is.
const std::vector<std::string> kProgram = {
    "Option Declare",                    // 1
    "%Rem",                              // 2
    "Sub Twice",                         // 3
    "%End Rem",                          // 4
    "Class Counter",                     // 5
    "  Public n As Long",                // 6
    "  Sub Bump",                        // 7
    "    n = n + 1",                     // 8
    "  End Sub",                         // 9
    "End Class",                         // 10
    "Function Twice(ByVal v As Long) As Long",  // 11
    "  Twice = v * 2",                   // 12
    "End Function",                      // 13
    "Sub Initialize",                    // 14
    "  Dim c As New Counter",            // 15
    "  Dim i As Long",                   // 16
    "  For i = 1 To 3",                  // 17
    "    c.Bump",                        // 18
    "  Next",                            // 19
    "  Print Twice(c.n)",                // 20
    "End Sub",                           // 21
};

class SourceLineBreaksTest : public testing::ToolTest {
 protected:
  // The program with `breaks[i % breaks.size()]` after line i + 1.
  static std::string Program(const std::vector<std::string>& breaks) {
    std::string text;
    for (size_t i = 0; i < kProgram.size(); ++i) text += kProgram[i] + breaks[i % breaks.size()];
    return text;
  }

  // The (procedure, line) rows of the report of a profiled run of `source`,
  // numbered from the file.
  Lines ProfiledLines(const std::string& source) {
    const std::string path = File("breaks.lss");
    WriteText(path, source);
    const std::string report = File("breaks.zvk");
    const testing::ToolResult run = Run({"run", path, "--profile", "--report", report});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.rfind("6\n", 0), 0u) << run.out;  // the program's own output
    const testing::ToolResult r = Run({"report", report, "--format", "json", "--source", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    Lines lines;
    if (r.exitCode != 0) return lines;
    const Json view = Json::parse(r.out);
    for (const Json& l : view["lines"])
      lines.insert({l["procedure"].get<std::string>(), l["line"].get<int>()});
    return lines;
  }
};

TEST_F(SourceLineBreaksTest, ProfiledLinesAreTheFileLinesUnderEveryBreak) {
  const Lines expected = {{"Counter::Bump", 8}, {"Twice", 12},      {"Initialize", 15},
                          {"Initialize", 17},   {"Initialize", 18}, {"Initialize", 20}};
  for (const std::vector<std::string>& breaks : std::vector<std::vector<std::string>>{
           {"\n"}, {"\r\n"}, {"\r"}, {"\r", "\n", "\r\n"}, {"\r\n", "\r"}}) {
    std::string shown;
    for (const std::string& b : breaks) shown += b == "\n" ? "LF " : b == "\r" ? "CR " : "CRLF ";
    EXPECT_EQ(ProfiledLines(Program(breaks)), expected) << shown;
  }
  // A file a Windows editor saved: a UTF-8 byte order mark and CR LF.
  EXPECT_EQ(ProfiledLines("\xEF\xBB\xBF" + Program({"\r\n"})), expected) << "byte order mark";
}

TEST_F(SourceLineBreaksTest, CompileErrorsNameTheLineUnderLoneCarriageReturns) {
  const std::string path = File("bad.lss");
  WriteText(path, "Sub Initialize\r  Dim x As Long\r  x = (1\rEnd Sub\r");
  const testing::ToolResult r = Run({"compile", path, "-o", File("bad.lso")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("bad.lss:3:"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillet
