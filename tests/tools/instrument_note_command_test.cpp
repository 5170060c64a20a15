// `quillet instrument-note`: an exported design note rewritten by the tool
// still runs from its items, now with timer calls; damaged files are refused.
#include <gtest/gtest.h>

#include "lsobject/ls_script_module.h"
#include "instrument/module_instrument.h"
#include "sim/lsrun/runner.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_note_file.h"
#include "support/design_note_kit.h"
#include "tools/tool_run.h"

namespace quillet::testing {
namespace {

class InstrumentNoteCommand : public ToolTest {
 protected:
  sim::NoteFile ReadBack(const std::string& path) {
    const std::string text = ReadText(path);
    sim::NoteFile note;
    ParseError error;
    EXPECT_TRUE(sim::ReadNoteFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), note, error))
        << error.Text;
    return note;
  }
  static const sim::SimItemSpec* Find(const sim::NoteFile& note, std::string_view name) {
    for (const sim::SimItemSpec& item : note.items) {
      if (item.name == name) return &item;
    }
    return nullptr;
  }

  sim::ScopedSimHost host_;  // the kit compiles through the simulated toolchain
};

TEST_F(InstrumentNoteCommand, RewritesAScriptLibraryThatStillRuns) {
  const sim::NoteFile library =
      kit::ScriptLibraryNote("Maths", "Sub Main\n  Print \"six \" & 2 * 3\nEnd Sub\n");
  const std::vector<uint8_t> bytes = sim::WriteNoteFile(library);
  WriteText(File("lib.qnote"), std::string(bytes.begin(), bytes.end()));

  const ToolResult r = Run({"instrument-note", File("lib.qnote"), File("out.qnote")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("$ScriptLib_O: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 procedures profiled"), std::string::npos) << r.out;

  const sim::NoteFile out = ReadBack(File("out.qnote"));
  const sim::SimItemSpec* code = Find(out, "$ScriptLib_O");
  ASSERT_NE(code, nullptr);
  CLSScriptModule module;
  ASSERT_TRUE(module.Parse(code->value));
  EXPECT_TRUE(IsInstrumentedModule(module));
  int timerCalls = 0;
  RunOptions options;
  options.entry = "Main";
  for (const char* name : {"KVXFunctionTimer", "KVXLineTimer"}) {
    options.natives.Register("nquillet", name, [&](std::span<const lsrun::Value>, lsrun::Value&) {
      ++timerCalls;
      return 0;
    });
  }
  const RunResult run = RunModule(code->value, options);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output, "six 6\n");
  EXPECT_EQ(timerCalls, 3) << "enter, one line, exit";
}

// As `instrument` refuses an instrumented module: the library would only
// register the note's procedures again, and no "procedures profiled" line
// may claim a rewrite that did not happen.
TEST_F(InstrumentNoteCommand, RefusesANoteInstrumentedAlreadyAndWritesNothing) {
  const sim::NoteFile library = kit::ScriptLibraryNote("Maths", "Sub Main\n  Print 6\nEnd Sub\n");
  const std::vector<uint8_t> bytes = sim::WriteNoteFile(library);
  WriteText(File("lib.qnote"), std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(Run({"instrument-note", File("lib.qnote"), File("once.qnote")}).exitCode, 0);

  const ToolResult r = Run({"instrument-note", File("once.qnote"), File("twice.qnote")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "quillet instrument-note: " + File("once.qnote") + ": the note is instrumented already\n");
  EXPECT_FALSE(std::filesystem::exists(File("twice.qnote")));
}

// A whole note file whose module the library cannot rewrite: the library
// warns and leaves the note as it was, which must not pass for a rewrite.
TEST_F(InstrumentNoteCommand, RefusesANoteWhoseModuleIsDamagedAndWritesNothing) {
  sim::NoteFile library = kit::ScriptLibraryNote(
      "Maths", "Function Twice(ByVal n As Long) As Long\n  Twice = n * 2\nEnd Function\n"
               "Sub Main\n  Print \"six \" & Twice(3)\nEnd Sub\n");
  for (sim::SimItemSpec& item : library.items) {
    if (item.name != "$ScriptLib_O") continue;
    ASSERT_GT(item.value.size(), 320u);
    for (size_t i = 120; i < 320; ++i) item.value[i] = 0xA5;  // over the module's tables
  }
  const std::vector<uint8_t> bytes = sim::WriteNoteFile(library);
  WriteText(File("lib.qnote"), std::string(bytes.begin(), bytes.end()));

  const ToolResult r = Run({"instrument-note", File("lib.qnote"), File("out.qnote")});
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(r.err.find("quillet instrument-note: " + File("lib.qnote") + ": the note's code was not rewritten: "),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(File("out.qnote")));
}

TEST_F(InstrumentNoteCommand, RefusesADamagedNoteFileAndWritesNothing) {
  WriteText(File("bad.qnote"), "QNTF\x01");
  const ToolResult r = Run({"instrument-note", File("bad.qnote"), File("out.qnote")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("quillet instrument-note: "), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(File("out.qnote")));
}

}  // namespace
}  // namespace quillet::testing
