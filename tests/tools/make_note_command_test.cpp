// `quillet make-note`: each kind of design note made from a source file
// lists with its design kind and title, instruments once, and runs as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/lsrun/note_runner.h"
#include "sim/scoped_sim_host.h"
#include "sim/sim_note_file.h"
#include "support/design_note_kit.h"
#include "tools/tool_run.h"

namespace quillet::testing {
namespace {

using Json = nlohmann::json;

constexpr char kSource[] =
    "Sub Initialize\n"
    "  Dim i As Integer\n"
    "  For i = 1 To 3\n"
    "    Print Twice(i)\n"
    "  Next\n"
    "End Sub\n"
    "Function Twice(n As Integer) As Integer\n"
    "  Twice = n * 2\n"
    "End Function\n";
constexpr char kExpectedOutput[] = "2\n4\n6\n";

struct KindCase {
  const char* kind;
  int designKind;
  const char* kindName;
  const char* item;
};

const KindCase kKinds[] = {
    {"agent", 7, "Agent", "$AssistAction_Ex"},
    {"library", 11, "Script Library", "$ScriptLib_O"},
    {"database-script", 12, "Database Script", "$DBScript_O"},
    {"form", 1, "Form", "$Body"},
};

class MakeNoteCommand : public ToolTest {
 protected:
  std::string Source(const std::string& name, const std::string& text) {
    WriteText(File(name), text);
    return File(name);
  }
  Json Listing(const std::string& path) {
    const ToolResult r = Run({"note-items", path, "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Json::accept(r.out) ? Json::parse(r.out) : Json();
  }

  // Runs the note's code from where it lives, counting the timer calls.
  RunResult RunFromNote(const std::string& path, const std::string& kind, int& timerCalls) {
    const std::string bytes = ReadText(path);
    sim::NoteFile file;
    ParseError error;
    EXPECT_TRUE(sim::ReadNoteFile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), file, error))
        << error.Text;
    kit::OpenedNote note(host_.host(), "run.nsf", file);
    EXPECT_EQ(note.status(), kNoError);
    RunOptions options;
    for (const char* name : {"KVXFunctionTimer", "KVXLineTimer"}) {
      options.natives.Register("nquillet", name, [&timerCalls](std::span<const lsrun::Value>, lsrun::Value&) {
        ++timerCalls;
        return 0;
      });
    }
    if (kind == "agent") return RunAgent(note.handle(), options);
    if (kind == "library") return RunNoteItem(note.handle(), "$ScriptLib_O", options);
    if (kind == "database-script") return RunNoteItem(note.handle(), "$DBScript_O", options);
    std::vector<NoteCodePiece> pieces;
    EXPECT_EQ(ListObjectCode(note.handle(), "$Body", pieces), kNoError);
    if (pieces.size() != 1) return RunResult{};
    return RunNoteObjectCode(note.handle(), "$Body", pieces.front().place, options);
  }

  // The note's code prints what the source prints, and calls the timer
  // entries when (and only when) it was instrumented.
  void ExpectRuns(const std::string& path, const std::string& kind, bool instrumented) {
    int timerCalls = 0;
    const RunResult run = RunFromNote(path, kind, timerCalls);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, kExpectedOutput);
    EXPECT_EQ(timerCalls > 0, instrumented) << timerCalls;
  }

  sim::ScopedSimHost host_;
};

TEST_F(MakeNoteCommand, EachKindListsInstrumentsOnceAndRunsAsBefore) {
  const std::string source = Source("Doubler.lss", kSource);
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(c.kind);
    const std::string note = File(std::string(c.kind) + ".qnote");
    const std::string once = File(std::string(c.kind) + ".once.qnote");
    const std::string twice = File(std::string(c.kind) + ".twice.qnote");
    ToolResult r = Run({"make-note", source, "--kind", c.kind, "-o", note, "--title", "Doubler 1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    const Json listing = Listing(note);
    EXPECT_EQ(listing["designKind"], c.designKind);
    EXPECT_EQ(listing["kindName"], c.kindName);
    EXPECT_EQ(listing["title"], "Doubler 1");
    ASSERT_EQ(listing["items"].size(), 1u) << listing;
    EXPECT_EQ(listing["items"][0]["name"], c.item);
    EXPECT_EQ(listing["items"][0]["type"], c.item == std::string("$Body") ? kTypeCompositeData : kTypeLsObject);
    if (listing["items"][0]["module"].is_object()) {
      EXPECT_EQ(listing["items"][0]["module"]["procedures"], 2);
      EXPECT_EQ(listing["items"][0]["module"]["instrumented"], false);
    }

    ExpectRuns(note, c.kind, false);

    r = Run({"instrument-note", note, once});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("2 procedures profiled"), std::string::npos) << r.out;
    const Json rewritten = Listing(once);
    EXPECT_EQ(rewritten["designKind"], c.designKind);
    EXPECT_EQ(rewritten["title"], "Doubler 1");
    if (rewritten["items"][0]["module"].is_object()) {
      EXPECT_EQ(rewritten["items"][0]["module"]["instrumented"], true);
    }

    ExpectRuns(once, c.kind, true);

    // The marker item and the timer class tell a second rewrite that the
    // note is done: it is refused and nothing is written.
    r = Run({"instrument-note", once, twice});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("instrumented already"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(twice));
  }
}

// An agent whose action would pass the host's item limit keeps its code in
// "$AgentHScript_O", where the instrumentation and the runtime find it.
TEST_F(MakeNoteCommand, ALargeAgentKeepsItsCodeInItsOwnItems) {
  std::string text = "Sub Initialize\n  Dim total As Long\n";
  for (int i = 0; i < 5000; ++i) text += "  total = total + " + std::to_string(i) + "\n";
  text += "  Print total\nEnd Sub\n";
  const std::string source = Source("Large.lss", text);
  ASSERT_EQ(Run({"make-note", source, "--kind", "agent", "-o", File("large.qnote")}).exitCode, 0);
  const Json listing = Listing(File("large.qnote"));
  ASSERT_EQ(listing["items"].size(), 2u) << listing;
  const Json& code = listing["items"][0];
  EXPECT_EQ(code["name"], "$AgentHScript_O");
  ASSERT_EQ(code["pieces"].size(), 2u);
  EXPECT_EQ(code["pieces"][0], 61310);
  EXPECT_EQ(code["module"]["length"], code["pieces"][0].get<size_t>() + code["pieces"][1].get<size_t>());
  EXPECT_EQ(listing["items"][1]["name"], "$AssistAction_Ex");
  EXPECT_EQ(listing["items"][1]["pieces"][0], 14) << "the empty script action";

  ASSERT_EQ(Run({"instrument-note", File("large.qnote"), File("timed.qnote")}).exitCode, 0);
  int timerCalls = 0;
  const RunResult run = RunFromNote(File("timed.qnote"), "agent", timerCalls);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output, "12497500\n");
  EXPECT_GT(timerCalls, 5000);
}

TEST_F(MakeNoteCommand, TitleDefaultsToTheFileName) {
  const std::string source = Source("Nightly.lss", kSource);
  ASSERT_EQ(Run({"make-note", source, "--kind", "agent", "-o", File("a.qnote")}).exitCode, 0);
  EXPECT_EQ(Listing(File("a.qnote"))["title"], "Nightly");
  ASSERT_EQ(Run({"make-note", source, "--kind", "database-script", "-o", File("d.qnote")}).exitCode, 0);
  EXPECT_EQ(Listing(File("d.qnote"))["title"], "Database Script");
}

TEST_F(MakeNoteCommand, ACompileErrorWritesNothing) {
  const std::string source = Source("broken.lss", "Sub Initialize\n  Print (1\nEnd Sub\n");
  const ToolResult r = Run({"make-note", source, "--kind", "library", "-o", File("out.qnote")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(source + ":2:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("quillet make-note: "), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(File("out.qnote")));
}

TEST_F(MakeNoteCommand, BadUsageIsExitTwo) {
  const std::string source = Source("ok.lss", kSource);
  ToolResult r = Run({"make-note", source, "--kind", "view", "-o", File("out.qnote")});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("view"), std::string::npos) << r.err;
  r = Run({"make-note", source, "-o", File("out.qnote")});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  r = Run({"make-note", source, "--kind", "agent"});
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_FALSE(std::filesystem::exists(File("out.qnote")));
}

}  // namespace
}  // namespace quillet::testing
