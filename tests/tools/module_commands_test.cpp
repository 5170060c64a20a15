// `quillet compile`, `dump`, `roundtrip` and `run` on the examples and on
// damaged modules, through the built binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "tools/tool_run.h"
#include "util/bytes.h"

namespace quillet {
namespace {

using Json = nlohmann::json;

class ModuleCommandsTest : public testing::ToolTest {
 protected:
  static std::string Example(const std::string& name) { return std::string(QUILLET_SOURCE_DIR) + "/examples/" + name; }

  // Compiles `source` text into a module file and returns its path.
  std::string CompileText(const std::string& source, const std::string& name = "m") {
    WriteText(File(name + ".lss"), source);
    const testing::ToolResult r = Run({"compile", File(name + ".lss"), "-o", File(name + ".lso")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return File(name + ".lso");
  }
  std::string CompileExample(const std::string& name) {
    const std::string out = File(name + ".lso");
    const testing::ToolResult r = Run({"compile", Example(name + ".lss"), "-o", out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return out;
  }
  Json DumpJson(const std::string& path) {
    const testing::ToolResult r = Run({"dump", path, "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? Json::parse(r.out) : Json();
  }
  static const Json* Procedure(const Json& dump, const std::string& name) {
    for (const Json& p : dump["procedures"])
      if (p["name"] == name) return &p;
    return nullptr;
  }
};

TEST_F(ModuleCommandsTest, EverySubcommandHasHelp) {
  for (const char* command : {"report", "diff", "dump", "roundtrip", "compile", "instrument", "instrument-note", "run",
                              "note-items", "client", "server"}) {
    const testing::ToolResult r = Run({command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << command;
    EXPECT_NE(Run({"--help"}).out.find(std::string("  ") + command + " "), std::string::npos) << command;
  }
  const testing::ToolResult none = Run({});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_FALSE(none.err.empty());
  const testing::ToolResult unknown = Run({"frobnicate", File("r.zvk")});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(unknown.err, "quillet: unknown command \"frobnicate\"; quillet --help lists the commands\n");
  const testing::ToolResult option = Run({"--frobnicate"});
  EXPECT_EQ(option.exitCode, 2);
  EXPECT_EQ(option.err, "quillet: unknown option \"--frobnicate\"; quillet --help lists the commands\n");
  const testing::ToolResult missing = Run({"dump"});
  EXPECT_EQ(missing.exitCode, 2);
}

TEST_F(ModuleCommandsTest, DumpJsonDescribesTheSlowLoopModule) {
  const Json d = DumpJson(CompileExample("slow_loop"));
  ASSERT_TRUE(d.is_object());
  for (const char* key : {"header", "checksum", "sections", "strings", "symbols", "procedures", "classes",
                          "declarations"})
    EXPECT_TRUE(d.contains(key)) << key;
  EXPECT_EQ(d["header"]["length"], 512);
  EXPECT_EQ(d["checksum"]["stored"], d["checksum"]["computed"]);
  EXPECT_EQ(d["checksum"]["matches"], true);

  std::set<std::string> texts;
  for (const Json& s : d["strings"]) {
    EXPECT_EQ(s["offset"].get<int>() % 4, 0);
    texts.insert(s["text"]);
  }
  EXPECT_TRUE(texts.count("SlowHelper") && texts.count("Initialize") && texts.count("sum "));

  // The header's byte-code length is the byte-code section's.
  int64_t codeLength = -1;
  for (const Json& s : d["sections"])
    if (s["name"] == "byte code") codeLength = s["length"];
  EXPECT_EQ(d["header"]["byte_code_length32"], codeLength);

  const Json* helper = Procedure(d, "SlowHelper");
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(helper->at("decoded"), true);
  const Json& code = helper->at("instructions");
  ASSERT_FALSE(code.empty());
  EXPECT_EQ(code[0]["name"], "OpLine");
  EXPECT_EQ(code[0]["opcode"], 26);
  EXPECT_EQ(code[0]["offset"], helper->at("code_offset"));
  // The For loop: OpFor jumps past the loop to an instruction of the
  // procedure, OpNext back into it.
  std::set<int64_t> offsets;
  for (const Json& ins : code) offsets.insert(ins["offset"].get<int64_t>());
  bool sawFor = false;
  for (const Json& ins : code) {
    if (ins["name"] != "OpFor" && ins["name"] != "OpNext") continue;
    sawFor = true;
    ASSERT_TRUE(ins.contains("target")) << ins.dump();
    EXPECT_TRUE(offsets.count(ins["target"].get<int64_t>())) << ins.dump();
  }
  EXPECT_TRUE(sawFor);
  // Calls name their callee.
  bool namedCall = false;
  for (const Json& ins : Procedure(d, "Initialize")->at("instructions"))
    namedCall = namedCall || (ins["name"] == "OpLoadProc" && ins.value("symbol", "") == "SlowHelper");
  EXPECT_TRUE(namedCall);
}

TEST_F(ModuleCommandsTest, DumpShowsClassesMarksAndDeclarations) {
  const Json classes = DumpJson(CompileExample("class_methods"));
  ASSERT_EQ(classes["classes"].size(), 1u);
  EXPECT_EQ(classes["classes"][0]["name"], "Account");
  const Json& methods = classes["classes"][0]["methods"];
  for (const char* m : {"Deposit", "Withdraw", "GET_Total"})
    EXPECT_NE(std::find(methods.begin(), methods.end(), m), methods.end()) << m;
  EXPECT_NE(Procedure(classes, "Account::Deposit"), nullptr);

  // Select Case: the marking finds the Case lines and the End Select.
  const Json select = DumpJson(CompileExample("select_case"));
  const Json* describe = Procedure(select, "Describe");
  ASSERT_NE(describe, nullptr);
  int caseLines = 0;
  bool endSelect = false;
  for (const Json& ins : describe->at("instructions")) {
    caseLines += ins.value("case_line", false) ? 1 : 0;
    endSelect = endSelect || (ins["name"] == "OpStmtSep" && ins["mark"] == 3);
  }
  EXPECT_EQ(caseLines, 3);
  EXPECT_TRUE(endSelect);

  const Json declared = DumpJson(CompileText("Declare Sub Beep Lib \"sound.dll\" Alias \"BeepA\" ()\n"
                                             "Sub Initialize\n  Beep\nEnd Sub\n"));
  ASSERT_EQ(declared["declarations"].size(), 1u);
  EXPECT_EQ(declared["declarations"][0]["name"], "Beep");
  EXPECT_EQ(declared["declarations"][0]["alias"], "BeepA");
  EXPECT_EQ(declared["declarations"][0]["library"], "sound.dll");

  // A Property's two accessors share kind 9 and a name: the dump tells them
  // apart by their flags, as symbols, methods, procedures and callees.
  const Json property = DumpJson(CompileText("Class Box\n  Private v As Long\n"
                                             "  Property Get Value As Long\n    Value = v\n  End Property\n"
                                             "  Property Set Value As Long\n    v = Value\n  End Property\nEnd Class\n"
                                             "Sub Initialize\n  Dim b As New Box\n  b.Value = b.Value + 1\nEnd Sub\n"));
  std::vector<std::string> kinds;
  for (const Json& sym : property["symbols"])
    if (sym["kind"] == 9) kinds.push_back(sym["kind_name"]);
  EXPECT_EQ(kinds, (std::vector<std::string>{"property get", "property set"}));
  EXPECT_EQ(property["classes"][0]["methods"], Json::parse(R"(["GET_Value", "SET_Value"])"));
  ASSERT_NE(Procedure(property, "Box::GET_Value"), nullptr);
  ASSERT_NE(Procedure(property, "Box::SET_Value"), nullptr);
  std::vector<std::string> callees;
  for (const Json& ins : Procedure(property, "Initialize")->at("instructions"))
    if (ins["name"] == "OpLoadMethod") callees.push_back(ins.value("symbol", ""));
  EXPECT_EQ(callees, (std::vector<std::string>{"SET_Value", "GET_Value"}));
}

TEST_F(ModuleCommandsTest, RoundtripKeepsAConsistentModuleAndRepairsTheChecksum) {
  const std::string module = CompileExample("string_building");
  testing::ToolResult r = Run({"roundtrip", module, File("again.lso")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadText(File("again.lso")), ReadText(module));

  // Change one byte-code byte (a literal's value): the stored checksum no
  // longer matches; a round trip computes and stores the new one.
  std::string bytes = ReadText(module);
  const Json before = DumpJson(module);
  int64_t literal = -1;
  for (const Json& ins : Procedure(before, "BuildRow")->at("instructions"))
    if (ins["name"] == "OpInteger" && literal < 0) literal = ins["offset"].get<int64_t>() + 1;
  ASSERT_GE(literal, 0);
  // The byte code is one record: type 4, length, placement 0, then the data.
  size_t record = 0;
  for (size_t p = 0; p + 8 <= bytes.size();) {
    const uint16_t type = LoadU16(reinterpret_cast<const uint8_t*>(bytes.data()) + p);
    const uint16_t length = LoadU16(reinterpret_cast<const uint8_t*>(bytes.data()) + p + 2);
    if (type == 4) {
      record = p;
      break;
    }
    p += 4 + length;
  }
  ASSERT_GT(record, 0u);
  bytes[record + 8 + static_cast<size_t>(literal)] ^= 0x01;
  WriteText(File("changed.lso"), bytes);
  const Json changed = DumpJson(File("changed.lso"));
  EXPECT_EQ(changed["checksum"]["matches"], false);
  EXPECT_NE(changed["checksum"]["stored"], changed["checksum"]["computed"]);
  r = Run({"roundtrip", File("changed.lso"), File("fixed.lso")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Json fixed = DumpJson(File("fixed.lso"));
  EXPECT_EQ(fixed["checksum"]["matches"], true);
  EXPECT_EQ(fixed["checksum"]["stored"], changed["checksum"]["computed"]);
}

TEST_F(ModuleCommandsTest, DamagedModulesAreRefusedCleanly) {
  const std::string good = ReadText(CompileExample("select_case"));
  WriteText(File("text.lso"), std::string(400, 'x'));
  for (const std::string& name : {std::string("text.lso"), std::string("absent.lso")}) {
    for (const char* command : {"dump", "roundtrip"}) {
      const testing::ToolResult r =
          command == std::string("dump") ? Run({"dump", File(name)}) : Run({"roundtrip", File(name), File("o.lso")});
      EXPECT_EQ(r.exitCode, 1) << command << " " << name;
      EXPECT_NE(r.err.find("quillet " + std::string(command)), std::string::npos) << r.err;
    }
  }
  // Cut at every 97th byte and with a byte flipped: never a crash, and a
  // refused image always says why.
  for (size_t n = 0; n < good.size(); n += 97) {
    std::string damaged = good;
    damaged[n] = static_cast<char>(damaged[n] ^ 0x5A);
    for (const std::string& image : {good.substr(0, n), damaged}) {
      WriteText(File("bad.lso"), image);
      const testing::ToolResult r = Run({"dump", File("bad.lso"), "--json"});
      ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << n << ": " << r.exitCode << " " << r.err;
      if (r.exitCode == 0) {
        EXPECT_TRUE(Json::accept(r.out)) << n;
      } else {
        EXPECT_FALSE(r.err.empty()) << n;
      }
    }
  }
}

TEST_F(ModuleCommandsTest, RefusalsShowTheOffsetAndField) {
  const std::string good = ReadText(CompileExample("select_case"));
  // The first record (after an agent's 14-byte prefix, if any) is the
  // header of 512 bytes: cut into its body.
  const auto* bytes = reinterpret_cast<const uint8_t*>(good.data());
  const size_t first = LoadU16(bytes) == 0x0281 ? 14 : 0;
  ASSERT_EQ(LoadU16(bytes + first), 1u);
  const std::string bodyAt = std::to_string(first + 4);
  WriteText(File("cut.lso"), good.substr(0, 400));
  for (const char* command : {"dump", "roundtrip"}) {
    const testing::ToolResult r = command == std::string("dump") ? Run({"dump", File("cut.lso")})
                                                                 : Run({"roundtrip", File("cut.lso"), File("o.lso")});
    EXPECT_EQ(r.exitCode, 1) << command;
    EXPECT_NE(r.err.find("module refused at byte " + bodyAt + ", header record body: length "), std::string::npos)
        << command << ": " << r.err;
  }
  WriteText(File("short.lso"), good.substr(0, 120));
  const testing::ToolResult r = Run({"dump", File("short.lso")});
  EXPECT_NE(r.err.find("module refused at byte 0, image length: 120 bytes"), std::string::npos) << r.err;
  // A source file given for a module: its first bytes, "' ", read as a
  // record type the format does not name, shown by its number.
  WriteText(File("source.lso"), "' " + std::string(400, 'x'));
  const testing::ToolResult source = Run({"dump", File("source.lso")});
  EXPECT_NE(source.err.find("module refused at byte 4, type 8231 record body: length 30840 runs past"),
            std::string::npos)
      << source.err;
}

// Source or a report given where a compiled module belongs: the refusal
// says what the file is and which command reads it.
TEST_F(ModuleCommandsTest, SourceAndReportFilesGivenAsModulesSayWhatTheyAre) {
  const std::string source = Example("select_case.lss");
  const std::string report = File("run.zvk");
  ASSERT_EQ(Run({"run", source, "--profile", "--report", report}).exitCode, 0);
  const std::string sourceHint = "; it is LotusScript source: compile it with 'quillet compile'";
  const std::string reportHint = "; it is a report file: show it with 'quillet report'";
  const std::vector<std::vector<std::string>> commands = {
      {"dump", source}, {"roundtrip", source, File("o.lso")}, {"instrument", source, File("o.lso")},
      {"dump", report}, {"roundtrip", report, File("o.lso")}, {"instrument", report, File("o.lso")},
      {"run", report},  {"run", report, "--profile"},         {"report", report, "--module", report}};
  for (const std::vector<std::string>& args : commands) {
    const testing::ToolResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << args[0] << " " << args[1];
    const bool isReport = args[1] == report;
    EXPECT_NE(r.err.find(isReport ? reportHint : sourceHint), std::string::npos) << args[0] << ": " << r.err;
    EXPECT_NE(r.err.find("not a compiled LotusScript module"), std::string::npos) << args[0] << ": " << r.err;
  }
  // A module that is only damaged gets no hint.
  WriteText(File("text.lso"), std::string(400, 'x'));
  const testing::ToolResult damaged = Run({"dump", File("text.lso")});
  EXPECT_EQ(damaged.err.find("; it is"), std::string::npos) << damaged.err;
}

TEST_F(ModuleCommandsTest, CompileReportsErrorsWithPositions) {
  WriteText(File("bad.lss"), "Sub Initialize\n  x = = 1\nEnd Sub\n");
  const testing::ToolResult r = Run({"compile", File("bad.lss"), "-o", File("bad.lso")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find(File("bad.lss") + ":2:"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(File("bad.lso")));
}

TEST_F(ModuleCommandsTest, RunPrintsOutputAndFailsOnRuntimeErrors) {
  testing::ToolResult r = Run({"run", Example("slow_loop.lss")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("sum ", 0), 0u) << r.out;

  // The same module as an image runs the same way.
  const testing::ToolResult image = Run({"run", CompileExample("slow_loop")});
  ASSERT_EQ(image.exitCode, 0) << image.err;
  EXPECT_EQ(image.out, r.out);

  const std::string module = CompileText(
      "Sub Hello\n  Print \"hello\"\nEnd Sub\n"
      "Sub Broken\n  Dim a(3) As Long\n  a(7) = 1\nEnd Sub\n"
      "Sub Initialize\n  Print \"init\"\nEnd Sub\n");
  r = Run({"run", module, "--entry", "hello"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "hello\n");
  r = Run({"run", module});
  EXPECT_EQ(r.out, "init\n");
  r = Run({"run", module, "--entry", "Broken"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("quillet run"), std::string::npos);
  r = Run({"run", module, "--entry", "Nowhere"});
  EXPECT_EQ(r.exitCode, 1);
}

}  // namespace
}  // namespace quillet
