// Whole-module compilation: the image parses with the module model and
// round-trips byte for byte, and its tables, chains and hashes hold.
#include "sim/lsc/compiler.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "bytecode/opcodes.h"
#include "lsobject/code_tables_decode.h"
#include "lsobject/ls_script_module.h"
#include "lsobject/symbol_hashes.h"
#include "sim/lsc/code.h"
#include "sim/lsc/string_pool.h"
#include "sim/module_reader.h"

namespace quillet {
namespace {

const char* kProgram =
    "Option Public\n"                                                    // 1
    "Option Declare\n"                                                   // 2
    "Dim total As Long\n"                                                // 3
    "Dim names(1 To 3) As String\n"                                      // 4
    "Declare Sub Sleep Lib \"kernel32\" (ByVal ms As Long)\n"            // 5
    "Declare Function Tick Lib \"kernel32\" Alias \"GetTickCount\" () As Long\n"  // 6
    "Class Counter\n"                                                    // 7
    "  count As Integer\n"                                               // 8
    "  Sub New(ByVal start As Integer)\n"                                // 9
    "    count = start\n"                                                // 10
    "  End Sub\n"                                                        // 11
    "  Sub Delete\n"                                                     // 12
    "    Print \"bye\"\n"                                                // 13
    "  End Sub\n"                                                        // 14
    "  Function Bump() As Integer\n"                                     // 15
    "    count = count + 1\n"                                            // 16
    "    Bump = count\n"                                                 // 17
    "  End Function\n"                                                   // 18
    "End Class\n"                                                        // 19
    "Function Twice(ByVal v As Long) As Long\n"                          // 20
    "  Twice = v * 2\n"                                                  // 21
    "End Function\n"                                                     // 22
    "Sub Initialize\n"                                                   // 23
    "  Dim c As New Counter(1)\n"                                        // 24
    "  Dim i As Integer\n"                                               // 25
    "  On Error GoTo oops\n"                                             // 26
    "  For i = 1 To 3\n"                                                 // 27
    "    names(i) = \"n\" & i\n"                                         // 28
    "    total = total + Twice(c.Bump())\n"                              // 29
    "  Next\n"                                                           // 30
    "  Select Case total\n"                                              // 31
    "  Case 14, 18\n"                                                    // 32
    "    Print \"ok\"; total\n"                                          // 33
    "  Case Else\n"                                                      // 34
    "    Print \"odd\"\n"                                                // 35
    "  End Select\n"                                                     // 36
    "  Sleep 100000\n"                                                   // 37
    "  Exit Sub\n"                                                       // 38
    "oops:\n"                                                            // 39
    "  Resume Next\n"                                                    // 40
    "End Sub\n"                                                          // 41
    "Sub Terminate\n"                                                    // 42
    "End Sub\n";                                                         // 43

std::vector<uint8_t> CompileOk(const std::string& src) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  EXPECT_TRUE(CompileLotusScript(src, image, errors))
      << (errors.empty() ? "" : std::to_string(errors[0].line) + ":" + std::to_string(errors[0].column) + " " + errors[0].message);
  return image;
}

// The text of the string whose handle (offset) is `h`.
std::u16string StringAt(CLSScriptModule& m, uint16_t h) {
  auto data = m.StringTable().Data();
  if (h < 4 || h % 4 != 0 || h > data.size()) return u"<bad>";
  const uint16_t n = LoadU16(data.data() + h - 2);
  std::u16string s;
  for (uint16_t i = 0; i < n; ++i) s.push_back(LoadU16(data.data() + h + 2 * i));
  return s;
}

std::u16string NameOf(CLSScriptModule& m, uint16_t entry) {
  return StringAt(m, LoadU16(m.SymbolTable().Data().data() + entry + 8));
}

// Walks a scope record: sibling chain, count and every hash bucket.
void CheckScope(CLSScriptModule& m, const uint8_t* scope, std::set<uint16_t>* members = nullptr) {
  auto sym = m.SymbolTable().Data();
  std::vector<uint16_t> chain;
  for (uint16_t h = LoadU16(scope + 4); h != 0; h = LoadU16(sym.data() + h + 4)) {
    ASSERT_LT(h + 16u, sym.size());
    chain.push_back(h);
    ASSERT_LE(chain.size(), 1000u);
  }
  ASSERT_EQ(chain.size(), LoadU16(scope));
  if (!chain.empty()) {
    EXPECT_EQ(LoadU16(scope + 6), chain.back());
  }
  size_t hashed = 0;
  for (unsigned b = 0; b < 13; ++b) {
    uint16_t last = 0;
    for (uint16_t h = LoadU16(scope + 8 + 4 * b); h != 0; h = LoadU16(sym.data() + h + 6)) {
      EXPECT_EQ(lsc::NameHash(NameOf(m, h)) % 13, b);
      last = h;
      ++hashed;
      ASSERT_LE(hashed, chain.size());
    }
    EXPECT_EQ(LoadU16(scope + 8 + 4 * b + 2), last);
  }
  EXPECT_EQ(hashed, chain.size());
  if (members) members->insert(chain.begin(), chain.end());
}

TEST(LscCompiler, ModuleParsesAndRoundTripsByteForByte) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  EXPECT_EQ(m.Serialize(), image);
  EXPECT_EQ(m.ComputeChecksum(), LoadU32(m.SymbolTable().Data().data()));
  const CHeader& h = m.Header();
  EXPECT_EQ(h.U16(16), m.ByteCode().Length());
  EXPECT_EQ(h.U16(22), m.SymbolTable().Length());
  EXPECT_EQ(h.U16(24), m.StringTable().Length());
  EXPECT_EQ(h.U16(14), 4);  // two declarations with a library entry each
}

TEST(LscCompiler, StringChainsReachEveryStringOnce) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  auto data = m.StringTable().Data();
  std::set<size_t> seen;
  for (unsigned b = 0; b < 7; ++b) {
    for (uint16_t p = m.Header().U16(40 + 2 * b); p != 0xFFFF; p = LoadU16(data.data() + p)) {
      ASSERT_LT(p + 4u, data.size());
      ASSERT_TRUE(seen.insert(p).second) << "string at " << p << " linked twice";
      EXPECT_EQ(lsc::NameHash(StringAt(m, p + 4)) % 7, b);
    }
  }
  size_t count = 0;
  for (size_t p = 0; p < data.size();) {
    ++count;
    const size_t n = LoadU16(data.data() + p + 2);
    p += (4 + 2 * n + 2 + 3) & ~size_t{3};
  }
  EXPECT_EQ(seen.size(), count);
}

TEST(LscCompiler, SymbolScopesHashAndLinkEveryEntry) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  const uint8_t* hdr = m.HeaderBytes().data();
  auto sym = m.SymbolTable().Data();
  std::set<uint16_t> module, classes;
  CheckScope(m, hdr + 60, &module);
  CheckScope(m, hdr + 180, &classes);
  EXPECT_EQ(module.size(), 7u);  // total, names, Sleep, Tick, Twice, Initialize, Terminate
  ASSERT_EQ(classes.size(), 1u);
  const uint8_t* cls = sym.data() + *classes.begin();
  EXPECT_EQ(LoadU16(cls), 11);
  EXPECT_EQ(NameOf(m, *classes.begin()), u"Counter");
  EXPECT_EQ(LoadU16(cls + 76), 4);  // one member variable
  EXPECT_EQ(LoadU16(cls + 88), 1);  // New takes one argument
  CheckScope(m, cls + 16);
  for (uint16_t p : module) {
    if (LoadU16(sym.data() + p) == 7 || LoadU16(sym.data() + p) == 8) {
      CheckScope(m, sym.data() + p + 16);
      CheckScope(m, sym.data() + p + 92);
    }
  }
  // The Initialize and Terminate handles name those subs.
  EXPECT_EQ(NameOf(m, m.Header().U16(26)), u"Initialize");
  EXPECT_EQ(NameOf(m, m.Header().U16(28)), u"Terminate");
}

TEST(LscCompiler, ProceduresStartAtTheirCodeOffsetAndLabelsAtTheirLines) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  auto sym = m.SymbolTable().Data();
  auto code = m.ByteCode().Data();
  const uint16_t init = m.Header().U16(26);
  const uint32_t at = LoadU32(sym.data() + init + 84);
  ByteReader reader(code);
  ASSERT_TRUE(reader.Seek(at));
  InstructionList list;
  while (true) {
    std::unique_ptr<COpCode> in;
    ASSERT_EQ(ReadInstruction(reader, in), ReadResult::kOk);
    if (in->opcode() == lsc::kOpEndSub) break;
    list.push_back(std::move(in));
  }
  ASSERT_FALSE(list.empty());
  ASSERT_EQ(list[0]->opcode(), lsc::kOpLine);
  EXPECT_EQ(static_cast<OpLine&>(*list[0]).line, 24);
  // The label "oops" resolves to the line marker of line 39.
  const uint8_t* labels = sym.data() + init + 92;
  ASSERT_EQ(LoadU16(labels), 1);
  const uint16_t label = LoadU16(labels + 4);
  EXPECT_EQ(NameOf(m, label), u"oops");
  const uint16_t target = LoadU16(sym.data() + label + 12);
  EXPECT_EQ(code[target], lsc::kOpLine);
  EXPECT_EQ(LoadU16(code.data() + target + 1), 39);
  // Locals: c and i, 4 bytes each; no parameters.
  EXPECT_EQ(LoadU16(sym.data() + init + 88), 8);
  EXPECT_EQ(LoadU16(sym.data() + init + 76), 0);
}

TEST(LscCompiler, LineNumberTableKeysProceduresByNameHandle) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  auto lines = m.LineNumbers().Data();
  auto sym = m.SymbolTable().Data();
  std::map<uint16_t, uint16_t> pairs;
  for (size_t p = 4; p + 4 <= lines.size(); p += 4) pairs[LoadU16(lines.data() + p)] = LoadU16(lines.data() + p + 2);
  const uint16_t init = m.Header().U16(26);
  EXPECT_EQ(pairs.at(LoadU16(sym.data() + init + 8)), 23);
  EXPECT_EQ(pairs.at(0), 0);  // class methods count from line 0
}

TEST(LscCompiler, DeclarationsCarryLibraryAliasAndParameterWords) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  auto sym = m.SymbolTable().Data();
  std::vector<uint16_t> decls;
  for (uint16_t h = m.Header().U16(64); h != 0; h = LoadU16(sym.data() + h + 4)) {
    if (LoadU16(sym.data() + h) == 15) decls.push_back(h);
  }
  ASSERT_EQ(decls.size(), 2u);
  const uint8_t* sleep = sym.data() + decls[0];
  EXPECT_EQ(NameOf(m, decls[0]), u"Sleep");
  EXPECT_EQ(StringAt(m, LoadU16(sleep + 20)), u"Sleep");
  EXPECT_EQ(LoadU16(sleep + 34), 1);
  EXPECT_EQ(LoadU16(sleep + 40), 0x0802);  // Long by value
  EXPECT_EQ(LoadU16(sleep + 42), 25);      // pad word after an odd count
  const uint8_t* lib = sym.data() + LoadU16(sleep + 24);
  EXPECT_EQ(LoadU16(lib), 26);
  EXPECT_EQ(StringAt(m, LoadU16(lib + 4)), u"kernel32");
  EXPECT_EQ(StringAt(m, LoadU16(sym.data() + decls[1] + 20)), u"GetTickCount");
  EXPECT_EQ(LoadU16(sym.data() + decls[1] + 36), 2);  // returns a Long
}

TEST(LscCompiler, ErrorsComeBackWithPositionsAndNoImage) {
  std::vector<uint8_t> image{1, 2, 3};
  std::vector<CompileError> errors;
  EXPECT_FALSE(CompileLotusScript("Sub S\n  x = \nEnd Sub\n", image, errors));
  EXPECT_TRUE(image.empty());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_FALSE(CompileLotusScript("Option Declare\nSub S\n  y = 1\nEnd Sub\n", image, errors));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 3);
  EXPECT_EQ(errors[0].column, 3);
}

// A binary file given as source must not bury its first error under one per
// byte: a run of unexpected characters is one error, and the count is capped.
TEST(LscCompiler, UnexpectedCharactersDoNotFloodTheErrors) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  EXPECT_FALSE(CompileLotusScript("Sub S\n  Print \x01\x02\x7F 1 \x03\nEnd Sub\n", image, errors));
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_EQ(errors[0].column, 9);
  EXPECT_EQ(errors[0].message, "unexpected character byte 0x01");
  EXPECT_EQ(errors[1].column, 15);
  EXPECT_EQ(errors[1].message, "unexpected character byte 0x03");

  std::string binary;
  uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    binary += static_cast<char>(seed >> 24);
  }
  binary[0] = '\x01';
  EXPECT_FALSE(CompileLotusScript(binary, image, errors));
  EXPECT_EQ(errors.size(), kMaxCompileErrors);
  EXPECT_EQ(errors[0].line, 1);
  EXPECT_EQ(errors[0].column, 1);
  EXPECT_EQ(errors[0].message, "unexpected character byte 0x01");
}

TEST(LscCompiler, EmptyAndMinimalModulesStillParse) {
  for (const char* src : {"", "Option Public\n", "Sub Initialize\nEnd Sub\n"}) {
    const std::vector<uint8_t> image = CompileOk(src);
    CLSScriptModule m;
    ASSERT_TRUE(m.Parse(image)) << src;
    EXPECT_EQ(m.Serialize(), image) << src;
  }
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// Every prefix of a real program either compiles to a module that parses or
// fails with positioned errors; none reaches an internal error.
TEST(LscCompiler, EveryPrefixOfAProgramCompilesOrFailsCleanly) {
  const std::string full = kProgram;
  for (size_t n = 0; n <= full.size(); ++n) {
    std::vector<uint8_t> image;
    std::vector<CompileError> errors;
    const std::string prefix = full.substr(0, n);
    if (CompileLotusScript(prefix, image, errors)) {
      CLSScriptModule m;
      EXPECT_TRUE(m.Parse(image)) << n;
    } else {
      ASSERT_FALSE(errors.empty()) << n;
      EXPECT_GE(errors[0].line, 1) << n << ": " << errors[0].message;
      EXPECT_EQ(errors[0].message.find("internal"), std::string::npos) << n << ": " << errors[0].message;
    }
  }
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

TEST(LscCompiler, PassesTheIndependentImageCheck) {
  for (const char* src : {kProgram, "", "Sub Initialize\nEnd Sub\n"}) {
    const std::vector<uint8_t> image = CompileOk(src);
    EXPECT_EQ(sim::CheckModuleImage(image), std::vector<std::string>{}) << src;
  }
}

// Types, derived classes, properties and arrays of several dimensions keep
// the module format: the image checks, round-trips, and carries a Type's
// flag, a derived class's base and a bounds text where they belong.
TEST(LscCompiler, LanguageExtensionsKeepTheModuleFormat) {
  const char* src =
      "Option Compare NoCase\n"
      "Type Point\n  X As Integer\nEnd Type\n"
      "Dim grid(1 To 3, 0 To 4) As Point\n"
      "Class A\n  Property Get P As Integer\n    P = 1\n  End Property\n"
      "  Property Set P As Integer\n  End Property\nEnd Class\n"
      "Class B As A\n  Sub New\n  End Sub\nEnd Class\n"
      "Sub Initialize\n  grid(2, 3).X = 5\n  Dim b As New B\n  b.P = b.P + 1\n  If \"a\" = \"A\" Then Print A..P\nEnd Sub\n";
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  ASSERT_FALSE(CompileLotusScript(src, image, errors));  // A..P outside a class
  EXPECT_EQ(errors[0].line, 21);
  std::string fixed = src;
  fixed.replace(fixed.find(" Then Print A..P"), 16, " Then Print 1");
  image = CompileOk(fixed);
  EXPECT_EQ(sim::CheckModuleImage(image), std::vector<std::string>{});
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  EXPECT_EQ(m.Serialize(), image);
  auto sym = m.SymbolTable().Data();
  const uint16_t grid = m.Header().U16(64);
  ASSERT_EQ(NameOf(m, grid), u"grid");
  EXPECT_EQ(LoadU16(sym.data() + grid + 10), 0x3600);  // array, bounds text, the first Type
  EXPECT_EQ(StringAt(m, LoadU16(sym.data() + grid + 14)), u"1:3,0:4");
  std::map<std::u16string, uint16_t> classes;
  for (uint16_t h = m.Header().U16(184); h != 0; h = LoadU16(sym.data() + h + 4)) classes[NameOf(m, h)] = h;
  ASSERT_EQ(classes.size(), 3u);
  EXPECT_EQ(LoadU16(sym.data() + classes[u"Point"] + 2), 1);  // a Type
  EXPECT_EQ(LoadU16(sym.data() + classes[u"A"] + 2), 0);
  EXPECT_EQ(LoadU16(sym.data() + classes[u"B"] + 12), classes[u"A"]);
  EXPECT_EQ(LoadU16(sym.data() + classes[u"B"] + 76), LoadU16(sym.data() + classes[u"A"] + 76));
}

// Every procedure decodes and marks; Initialize's Case line and Select exit
// come out as such.
// Property accessors: kind 9, the Get with flags 0x0400 and its Set with
// 0x0600 directly after it (the Set written first in the source, and the
// Get's local placed after both entries), outside the class's sibling and
// hash chains; a Set without a Get stays in the chain. The library lists
// both sides apart, and rebuilding the hash tables changes no byte.
TEST(LscCompiler, PropertyAccessorsLieAsTheModuleWalkReachesThem) {
  const char* src =
      "Class Box\n"
      "  Private mValue As Long\n"
      "  Property Set Value As Long\n"
      "    mValue = Value\n"
      "  End Property\n"
      "  Property Get Value As Long\n"
      "    Dim twice As Long\n"
      "    twice = mValue * 2\n"
      "    Value = twice \\ 2\n"
      "  End Property\n"
      "  Property Set Limit As Integer\n"
      "  End Property\n"
      "  Sub Clear\n"
      "  End Sub\n"
      "End Class\n"
      "Sub Initialize\n"
      "  Dim b As New Box\n"
      "  b.Value = 3\n"
      "  b.Limit = b.Value\n"
      "End Sub\n";
  const std::vector<uint8_t> image = CompileOk(src);
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(sim::CheckModuleImage(image), std::vector<std::string>{});
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  EXPECT_EQ(m.Serialize(), image);
  auto sym = m.SymbolTable().Data();
  const uint16_t box = m.Header().U16(184);
  ASSERT_EQ(NameOf(m, box), u"Box");

  std::set<uint16_t> chained;
  CheckScope(m, sym.data() + box + 16, &chained);
  std::map<std::u16string, uint16_t> members;
  for (uint16_t h : chained) members[NameOf(m, h)] = h;
  ASSERT_EQ(members.size(), 4u);  // mValue, Value (the Get), Limit, Clear
  const uint16_t get = members[u"Value"];
  const uint16_t set = static_cast<uint16_t>(get + 152);
  EXPECT_EQ(LoadU16(sym.data() + get), 9);
  EXPECT_EQ(LoadU16(sym.data() + get + 2), 0x0400);
  ASSERT_LT(set + 152u, sym.size());
  EXPECT_EQ(LoadU16(sym.data() + set), 9);
  EXPECT_EQ(LoadU16(sym.data() + set + 2), 0x0600);
  EXPECT_EQ(NameOf(m, set), u"Value");
  EXPECT_EQ(chained.count(set), 0u);
  EXPECT_EQ(LoadU16(sym.data() + set + 4), 0);  // no sibling
  EXPECT_EQ(LoadU16(sym.data() + set + 6), 0);  // no hash link
  EXPECT_EQ(LoadU16(sym.data() + set + 12), box);
  // Each side keeps its own variables: the Get its local, the Set its value.
  std::set<uint16_t> getLocals, setLocals;
  CheckScope(m, sym.data() + get + 16, &getLocals);
  CheckScope(m, sym.data() + set + 16, &setLocals);
  ASSERT_EQ(getLocals.size(), 1u);
  EXPECT_EQ(NameOf(m, *getLocals.begin()), u"twice");
  EXPECT_GT(*getLocals.begin(), set);
  ASSERT_EQ(setLocals.size(), 1u);
  EXPECT_EQ(NameOf(m, *setLocals.begin()), u"Value");
  EXPECT_EQ(LoadU16(sym.data() + *setLocals.begin() + 2), 1);  // a parameter
  EXPECT_EQ(LoadU16(sym.data() + set + 76), 1);
  EXPECT_EQ(LoadU16(sym.data() + get + 76), 0);
  // A Set without a Get is an ordinary chain member.
  const uint16_t limit = members[u"Limit"];
  EXPECT_EQ(LoadU16(sym.data() + limit), 9);
  EXPECT_EQ(LoadU16(sym.data() + limit + 2), 0x0600);
  EXPECT_EQ(LoadU16(sym.data() + members[u"Clear"]), 8);
  EXPECT_EQ(LoadU16(sym.data() + box + 10), 1);  // one member variable

  std::vector<ProcedureDescriptor> listed;
  m.ListProcedures(listed);
  std::map<std::string, uint32_t> names;
  for (const ProcedureDescriptor& d : listed)
    names[m.Symbols().ProcedureName(m.StringTable(), d.symbol, d.owner, d.flags)] = d.symbol;
  EXPECT_EQ(names, (std::map<std::string, uint32_t>{{"Box::GET_Value", get},
                                                     {"Box::SET_Value", set},
                                                     {"Box::SET_Limit", limit},
                                                     {"Box::Clear", members[u"Clear"]},
                                                     {"Initialize", m.Header().U16(26)}}));
  const std::vector<uint8_t> written(sym.begin(), sym.end());
  RebuildScopeHashes(m.Symbols(), m.Header(), m.StringTable());
  const auto rebuilt = m.SymbolTable().Data();
  EXPECT_EQ(std::vector<uint8_t>(rebuilt.begin(), rebuilt.end()), written)
      << "the compiler's hash tables differ from the library's";
}

TEST(LscCompiler, EveryProcedureDecodesAndMarks) {
  const std::vector<uint8_t> image = CompileOk(kProgram);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  auto sym = m.SymbolTable().Data();
  std::vector<uint16_t> procs;
  for (uint16_t h = m.Header().U16(64); h != 0; h = LoadU16(sym.data() + h + 4)) {
    if (LoadU16(sym.data() + h) == 7 || LoadU16(sym.data() + h) == 8) procs.push_back(h);
  }
  const uint16_t cls = m.Header().U16(184);
  for (uint16_t h = LoadU16(sym.data() + cls + 20); h != 0; h = LoadU16(sym.data() + h + 4)) {
    if (LoadU16(sym.data() + h) == 7 || LoadU16(sym.data() + h) == 8) procs.push_back(h);
  }
  ASSERT_EQ(procs.size(), 6u);  // Twice, Initialize, Terminate, New, Delete, Bump
  for (uint16_t p : procs) {
    std::set<int32_t> labels;
    for (uint16_t l = LoadU16(sym.data() + p + 96); l != 0; l = LoadU16(sym.data() + l + 4)) {
      labels.insert(LoadU16(sym.data() + l + 12));
    }
    InstructionList list;
    ASSERT_TRUE(DecodeProcedureCode(m.ByteCode().Data(), static_cast<int32_t>(LoadU32(sym.data() + p + 84)),
                                    [&](int32_t off) { return labels.count(off) != 0; }, p, list))
        << "procedure at " << p;
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front()->opcode(), lsc::kOpLine);
    if (p != m.Header().U16(26)) continue;
    bool caseLine = false, selectExit = false;
    for (const auto& in : list) {
      if (auto* l = dynamic_cast<OpLine*>(in.get()); l && l->line == 32) caseLine = l->isCaseLine == 1;
      if (auto* j = dynamic_cast<OpJmp*>(in.get()); j && j->kind() == 2) selectExit = true;
    }
    EXPECT_TRUE(caseLine);
    EXPECT_TRUE(selectExit);
  }
  // Module-level procedures count lines from their declaration line.
  EXPECT_EQ(m.LineNumbers().LookupLine(LoadU16(sym.data() + m.Header().U16(26) + 8)), 23);
  EXPECT_EQ(m.LineNumbers().LookupLine(0), 0);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

TEST(LscCompiler, NonAsciiLiteralsAreStoredAsUtf16) {
  const std::vector<uint8_t> image = CompileOk("Sub S\n  Print \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF\"\nEnd Sub\n");
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  bool found = false;
  auto data = m.StringTable().Data();
  for (size_t p = 0; p + 4 <= data.size();) {
    const uint16_t n = LoadU16(data.data() + p + 2);
    found = found || StringAt(m, static_cast<uint16_t>(p + 4)) == std::u16string{0xE9, 0x20AC, 0xD83D, 0xDE00, 0xFF};
    p += (4 + 2 * size_t{n} + 2 + 3) & ~size_t{3};
  }
  EXPECT_TRUE(found);  // a stray 0xFF byte stands for U+00FF
  EXPECT_EQ(sim::CheckModuleImage(image), std::vector<std::string>{});
}

// Byte code beyond 64 KiB: labels go through the label-offset table and the
// module takes format level 4 with its segment-size records.
TEST(LscCompiler, LabelsBeyondSixtyFourKilobytesUseTheLabelTable) {
  std::string src;
  for (int p = 0; p < 6; ++p) {
    src += "Sub Filler" + std::to_string(p) + "\n";
    for (int i = 0; i < 600; ++i) src += "  x = x + 1 : y = y & \"a\"\n";
    src += "End Sub\n";
  }
  src += "Sub Last\n  GoTo done\n  Print 1\ndone:\n  Print 2\nEnd Sub\n";
  const std::vector<uint8_t> image = CompileOk(src);
  CLSScriptModule m;
  ASSERT_TRUE(m.Parse(image));
  ASSERT_GT(m.ByteCode().Length(), 0x10000);
  EXPECT_EQ(m.Serialize(), image);
  EXPECT_EQ(sim::CheckModuleImage(image), std::vector<std::string>{});
  EXPECT_EQ(m.Header().U16(4), 4);
  ASSERT_EQ(m.LabelOffsets().Length(), 4);  // the one label of the module
  auto sym = m.SymbolTable().Data();
  uint16_t last = 0;
  for (uint16_t h = m.Header().U16(64); h != 0; h = LoadU16(sym.data() + h + 4)) {
    if (NameOf(m, h) == u"Last") last = h;
  }
  ASSERT_NE(last, 0);
  const uint16_t label = LoadU16(sym.data() + last + 96);
  EXPECT_EQ(LoadU16(sym.data() + label + 12), 0);  // index 0 of the table
  const uint32_t offset = LoadU32(m.LabelOffsets().Data().data());
  ASSERT_LT(offset + 3, static_cast<uint32_t>(m.ByteCode().Length()));
  EXPECT_EQ(m.ByteCode().Data()[offset], lsc::kOpLine);
  EXPECT_EQ(LoadU16(m.ByteCode().Data().data() + offset + 1), 3616);  // 6 x 602 filler lines, then Sub Last, GoTo, Print, done:
}

}  // namespace
}  // namespace quillet
