// The line offsets a reader of the recorded lines takes from the module
// agree with the line arguments the rewritten module really passes: every
// recorded line maps back to the file line of the statement that ran, for
// module-level procedures, class members and procedures without an entry
// in the line-number table.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "instrument/recorded_lines.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"
#include "sim/scoped_sim_host.h"
#include "support/instrument_kit.h"
#include "timing/profile_app.h"

namespace quillet {
namespace {

// File lines in the comments.
constexpr const char* kProgram =
    "Option Declare\n"                      // 1
    "Dim total As Long\n"                   // 2
    "\n"                                    // 3
    "Sub Work\n"                            // 4
    "  total = total + 1\n"                 // 5
    "  total = total + 2\n"                 // 6
    "  total = total + 3\n"                 // 7
    "End Sub\n"                             // 8
    "Class Counter\n"                       // 9
    "  Sub Bump\n"                          // 10
    "    total = total + 4\n"               // 11
    "    total = total + 5\n"               // 12
    "    total = total + 6\n"               // 13
    "  End Sub\n"                           // 14
    "End Class\n"                           // 15
    "Sub Initialize\n"                      // 16
    "  Dim c As New Counter\n"              // 17
    "  Call Work\n"                         // 18
    "  c.Bump\n"                            // 19
    "  total = total * 2\n"                 // 20
    "  Print total\n"                       // 21
    "End Sub\n";                            // 22

using FileLines = std::map<uint32_t, std::set<int32_t>>;  // procedure handle -> file lines run

class RecordedLinesTest : public ::testing::Test {
 protected:
  static std::vector<uint8_t> Compile() {
    std::vector<uint8_t> image;
    std::vector<CompileError> errors;
    EXPECT_TRUE(CompileLotusScript(kProgram, image, errors)) << (errors.empty() ? "" : errors[0].message);
    return image;
  }

  // Instruments `image` for lines, runs it, and maps each line argument
  // with the offset `original` gives for its procedure.
  FileLines RunAndMap(const std::vector<uint8_t>& image) {
    CLSScriptModule original;
    EXPECT_TRUE(original.Parse(image));
    CLSProfileApp profile{"nquillet", "", 0};  // a fresh one: its symbol handles are per module
    Status32 status = 0;
    const std::vector<uint8_t> rewritten = kit::InstrumentLibrary(image, profile, "Demo", 0x0003, status);
    EXPECT_EQ(status, 0u);
    RunOptions options;
    options.natives.Register("nquillet", "KVXFunctionTimer",
                             [](std::span<const lsrun::Value>, lsrun::Value&) { return 0; });
    std::vector<std::pair<uint32_t, int32_t>> recorded;  // procedure handle, line argument
    options.natives.Register("nquillet", "KVXLineTimer", [&](std::span<const lsrun::Value> args, lsrun::Value&) {
      recorded.emplace_back(static_cast<uint32_t>(args[2].n()), static_cast<int32_t>(args.back().n()));
      return 0;
    });
    const RunResult run = RunModule(rewritten, options);
    EXPECT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "42\n");
    FileLines lines;
    for (const auto& [handle, line] : recorded) {
      int32_t offset = 0;
      EXPECT_TRUE(RecordedLineOffset(original, handle, offset)) << handle;
      lines[handle].insert(line + offset);
    }
    return lines;
  }

  // The file lines expected per procedure, by name.
  static std::map<std::string, std::set<int32_t>> ByName(CLSScriptModule& module, const FileLines& lines) {
    std::vector<ProcedureDescriptor> procedures;
    module.ListProcedures(procedures);
    std::map<std::string, std::set<int32_t>> out;
    for (const ProcedureDescriptor& p : procedures) {
      auto it = lines.find(p.symbol);
      if (it != lines.end())
        out[module.Symbols().ProcedureName(module.StringTable(), p.symbol, p.owner, p.flags)] = it->second;
    }
    return out;
  }

  sim::ScopedSimHost host_;
};

TEST_F(RecordedLinesTest, RecordedLinesMapToTheStatementsThatRan) {
  const std::vector<uint8_t> image = Compile();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(image));
  const auto lines = ByName(module, RunAndMap(image));
  // Each procedure's timed lines lie among its statements (the last ones of
  // a procedure get no call), and the first statement of each is timed.
  ASSERT_EQ(lines.count("Work"), 1u) << ::testing::PrintToString(lines);
  ASSERT_EQ(lines.count("Counter::Bump"), 1u) << ::testing::PrintToString(lines);
  ASSERT_EQ(lines.count("Initialize"), 1u) << ::testing::PrintToString(lines);
  for (const auto& [name, set] : lines) ASSERT_FALSE(set.empty()) << name;
  EXPECT_EQ(*lines.at("Work").begin(), 5);
  EXPECT_LE(*lines.at("Work").rbegin(), 7);
  EXPECT_EQ(*lines.at("Counter::Bump").begin(), 11);
  EXPECT_LE(*lines.at("Counter::Bump").rbegin(), 13);
  EXPECT_GE(*lines.at("Initialize").begin(), 17);
  EXPECT_LE(*lines.at("Initialize").rbegin(), 21);
}

TEST_F(RecordedLinesTest, WithoutLineTableEntriesTheFirstTimedLineIsTheBase) {
  // The same module with an empty line-number table: module-level
  // procedures count from their first timed line, which the offset follows.
  const std::vector<uint8_t> image = Compile();
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(image));
  const FileLines withTable = RunAndMap(image);
  // Every pair's key is made one no name has (the table keeps its length).
  std::vector<uint8_t> table(module.LineNumbers().Data().begin(), module.LineNumbers().Data().end());
  for (size_t at = 4; at + 4 <= table.size(); at += 4) {
    table[at] = 2;
    table[at + 1] = 0;
  }
  ASSERT_TRUE(module.LineNumbers().SetData(std::move(table)));
  const std::vector<uint8_t> bare = module.Serialize();
  CLSScriptModule reread;
  ASSERT_TRUE(reread.Parse(bare));
  ASSERT_EQ(reread.LineNumbers().LookupLine(0), -1);
  const FileLines without = RunAndMap(bare);
  // Module-level procedures count from their first timed line then, class
  // members from an absent entry (-1); the offsets bring every recorded
  // line back to the same file line.
  EXPECT_EQ(ByName(reread, without), ByName(module, withTable));
  EXPECT_EQ(ByName(reread, without).size(), 3u);
}

TEST_F(RecordedLinesTest, UnknownProcedureHasNoOffset) {
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(Compile()));
  int32_t offset = 123;
  EXPECT_FALSE(RecordedLineOffset(module, 0xFFFF, offset));
  EXPECT_EQ(offset, 123);
}

}  // namespace
}  // namespace quillet
