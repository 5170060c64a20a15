// `quillet note-items` on note files made by the design-note kit, and on
// files that are not note files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lsobject/ls_script_module.h"
#include "sim/sim_note_file.h"
#include "support/design_note_kit.h"
#include "tools/tool_run.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

constexpr char kSource[] =
    "Sub Initialize\n"
    "  Print Twice(2)\n"
    "End Sub\n"
    "Function Twice(n As Integer) As Integer\n"
    "  Twice = n * 2\n"
    "End Function\n";

class NoteItemsCommandTest : public testing::ToolTest {
 protected:
  std::string Write(const sim::NoteFile& note, const std::string& name) {
    const std::vector<uint8_t> bytes = sim::WriteNoteFile(note);
    WriteText(File(name), std::string(bytes.begin(), bytes.end()));
    return File(name);
  }
  static size_t ProcedureCount(const kit::Bytes& image) {
    CLSScriptModule module;
    EXPECT_TRUE(module.Parse(image));
    std::vector<ProcedureDescriptor> procedures;
    static_cast<void>(module.ListProcedures(procedures));
    return procedures.size();
  }
};

// A title is host text: bytes that are no valid UTF-8 must not stop the JSON.
TEST_F(NoteItemsCommandTest, ATitleThatIsNoValidUtf8StillListsAsJson) {
  sim::NoteFile note = kit::ScriptLibraryNote("Utilities", kSource);
  note.items[0] = sim::SimItemSpec::Text("$TITLE", "Caf\xE9\x01");
  const testing::ToolResult r = Run({"note-items", Write(note, "lib.qnote"), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(Json::accept(r.out)) << r.out;
  const Json listing = Json::parse(r.out);
  EXPECT_EQ(listing["title"].get<std::string>().rfind("Caf", 0), 0u) << listing["title"];
  EXPECT_EQ(listing["items"].size(), 1u);
}

// The text view is for a terminal: a title's control bytes (an escape
// sequence) are shown by value, not sent raw.
TEST_F(NoteItemsCommandTest, ATitlesControlBytesAreEscapedInTheTextView) {
  sim::NoteFile note = kit::ScriptLibraryNote("Utilities", kSource);
  note.items[0] = sim::SimItemSpec::Text("$TITLE", "Lib\x1B[2J\x7F");
  const testing::ToolResult r = Run({"note-items", Write(note, "lib.qnote")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Script Library \"Lib\\x1B[2J\\x7F\" (design kind 11"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\x1B'), std::string::npos) << r.out;
}

TEST_F(NoteItemsCommandTest, LibrarySplitOverItemsIsOneModule) {
  const kit::Bytes image = kit::CompileScript(kSource);
  const std::string path = Write(kit::ScriptLibraryNote("Utilities", kSource, 3), "lib.qnote");
  const testing::ToolResult r = Run({"note-items", path, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json listing = Json::parse(r.out);
  EXPECT_EQ(listing["kindName"], "Script Library");
  EXPECT_EQ(listing["designKind"], 11);
  EXPECT_EQ(listing["title"], "Utilities");
  ASSERT_EQ(listing["items"].size(), 1u);
  const Json& item = listing["items"][0];
  EXPECT_EQ(item["name"], "$ScriptLib_O");
  ASSERT_EQ(item["pieces"].size(), 3u);
  EXPECT_EQ(item["pieces"][0].get<size_t>() + item["pieces"][1].get<size_t>() + item["pieces"][2].get<size_t>(),
            image.size());
  EXPECT_EQ(item["module"]["length"], image.size());
  EXPECT_EQ(item["module"]["procedures"], ProcedureCount(image));
  EXPECT_EQ(item["module"]["instrumented"], false);
}

TEST_F(NoteItemsCommandTest, AgentTextListingNamesKindTitleAndPrefix) {
  sim::NoteFile agent = kit::AgentNote("Nightly", kSource);
  const size_t actionSize = agent.items.back().value.size();
  const testing::ToolResult r = Run({"note-items", Write(agent, "agent.qnote")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Agent \"Nightly\" (design kind 7, note class 0x0200)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("$AssistAction_Ex: type 0x0014, 1 item, " + std::to_string(actionSize) + " bytes, module " +
                       std::to_string(actionSize) + " bytes"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("action prefix"), std::string::npos) << r.out;
}

TEST_F(NoteItemsCommandTest, NoteWithoutScriptSaysSo) {
  const testing::ToolResult r =
      Run({"note-items", Write(kit::DesignNote(kNoteClassForm, "Plain", "U"), "plain.qnote")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Subform \"Plain\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("no script items"), std::string::npos) << r.out;
}

TEST_F(NoteItemsCommandTest, DamagedFilesAreRefused) {
  const std::vector<uint8_t> good = sim::WriteNoteFile(kit::DatabaseScriptNote(kSource));
  WriteText(File("cut.qnote"), std::string(good.begin(), good.end() - 1));
  testing::ToolResult r = Run({"note-items", File("cut.qnote")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("note file refused at byte"), std::string::npos) << r.err;
  r = Run({"note-items", File("absent.qnote")});
  EXPECT_EQ(r.exitCode, 1);
  r = Run({"note-items"});
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace quillet
