// The marking over arrays alone against the marking of decoded instruction
// objects: on compiled procedures of every control structure, and on the
// same code with bytes corrupted, both must succeed or fail together and
// leave the same marks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bytecode/decoder.h"
#include "bytecode/marking.h"
#include "bytecode/opcodes.h"
#include "lsobject/code_tables_decode.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "util/bytes.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

// What the compact marks hold for one marked instruction object.
uint8_t MarkOf(const COpCode& x) {
  switch (x.opcode()) {
    case op::kJmp: return static_cast<uint8_t>(static_cast<const OpJmp&>(x).kind());
    case op::kJZ: return static_cast<uint8_t>(static_cast<const OpJZ&>(x).mark);
    case op::kJNZ: return static_cast<uint8_t>(static_cast<const OpJNZ&>(x).mark);
    case op::kStmtSep: return static_cast<uint8_t>(static_cast<const OpStmtSep&>(x).mark);
    case op::kPop: return static_cast<uint8_t>(static_cast<const OpPop&>(x).mark);
    case op::kLine: {
      const auto& line = static_cast<const OpLine&>(x);
      uint8_t flags = line.isCaseLine != 0 ? compact_marks::kCaseLine : 0;
      for (const auto& [at, text] : line.annotations)
        if (text == "End If") flags |= compact_marks::kEndIf;
      return flags;
    }
    default: return 0;
  }
}

struct Outcome {
  bool ok = false;
  std::vector<int32_t> offsets;
  std::vector<uint8_t> marks;
};

// The procedure at `start` decoded into objects and marked.
Outcome ByObjects(std::span<const uint8_t> code, int32_t start, const LabelLookup& isLabel) {
  Outcome o;
  InstructionList list;
  if (!DecodeProcedureCode(code, start, isLabel, 7, list)) return o;
  for (const auto& x : list) {
    o.offsets.push_back(x->offset);
    o.marks.push_back(MarkOf(*x));
  }
  o.ok = true;
  return o;
}

// The same procedure walked into arrays and marked without objects; with
// `everyIndex`, told to look at every instruction (a list of candidates that
// holds others besides those the passes visit).
Outcome ByArrays(std::span<const uint8_t> code, int32_t start, const LabelLookup& isLabel, bool everyIndex = false) {
  Outcome o;
  try {
    InstructionArrays arrays;
    if (WalkProcedure(code, start, start, &arrays) < 0) return o;
    if (everyIndex) {
      std::vector<uint32_t> all(arrays.offsets.size());
      for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint32_t>(i);
      MarkControlStructures(arrays, code, isLabel, 7, o.marks, all);
    } else {
      MarkControlStructures(arrays, code, isLabel, 7, o.marks);
    }
    o.offsets = arrays.offsets;
    o.ok = true;
  } catch (...) {
    o = Outcome{};
  }
  return o;
}

void ExpectSame(std::span<const uint8_t> code, int32_t start, const std::set<int32_t>& labels,
                const std::string& where) {
  const LabelLookup isLabel = [&](int32_t at) { return labels.contains(at); };
  const Outcome objects = ByObjects(code, start, isLabel);
  const Outcome arrays = ByArrays(code, start, isLabel);
  ASSERT_EQ(objects.ok, arrays.ok) << where;
  EXPECT_EQ(objects.offsets, arrays.offsets) << where;
  EXPECT_EQ(objects.marks, arrays.marks) << where;
  const Outcome everyIndex = ByArrays(code, start, isLabel, true);
  ASSERT_EQ(objects.ok, everyIndex.ok) << where << " (every index a candidate)";
  EXPECT_EQ(objects.marks, everyIndex.marks) << where << " (every index a candidate)";
}

// Control structures of every kind the marking recognises, as modules.
std::vector<std::string> Sources() {
  std::vector<std::string> sources = {
      "Sub Work(ByVal n As Integer)\n"
      "top:\n"
      "  If n > 1 Then\n    Print 1\n  ElseIf n > 0 Then\n    Print 2\n  Else\n    Print 3\n  End If\n"
      "  Select Case n\n  Case 1\n    Print 4\n  Case 2, 3\n    Print 5\n  Case Else\n    Print 6\n  End Select\n"
      "  Do While n < 3\n    n = n + 1\n  Loop\n"
      "  Do\n    n = n - 1\n  Loop Until n < 0\n"
      "  While n < 10\n    n = n + 2\n  Wend\n"
      "  Dim i As Integer\n  For i = 1 To 3\n    If i = 2 Then Exit For\n    Print i\n  Next\n"
      "  On n GoTo top, b\n"
      "b:\n  Print 7\n  GoTo c\n"
      "c:\n  If n = 99 Then GoTo top\n"
      "End Sub\n",
  };
  const fs::path examples = fs::path(QUILLET_SOURCE_DIR) / "examples";
  for (const auto& entry : fs::directory_iterator(examples)) {
    if (entry.path().extension() != ".lss") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    sources.push_back(text.str());
  }
  return sources;
}

struct Compiled {
  std::vector<uint8_t> code;
  std::vector<int32_t> starts;
  std::vector<std::set<int32_t>> labels;  // of each procedure: code offsets of its labels
};

Compiled Compile(const std::string& source) {
  Compiled c;
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) return c;
  CLSScriptModule module;
  if (!module.Parse(image)) return c;
  std::vector<ProcedureDescriptor> procedures;
  module.ListProcedures(procedures);
  const std::span<const uint8_t> data = module.ByteCode().Data();
  c.code.assign(data.begin(), data.end());
  for (const ProcedureDescriptor& p : procedures) {
    c.starts.push_back(static_cast<int32_t>(p.codeOffset));
    std::set<int32_t>& labels = c.labels.emplace_back();
    for (uint32_t at = p.codeOffset; at < data.size(); ++at) {
      if (module.Symbols().FindLabel(module.LabelOffsets(), p.symbol, at) != 0) labels.insert(static_cast<int32_t>(at));
    }
  }
  return c;
}

TEST(CompactMarking, MarksCompiledProceduresAsTheObjectsAreMarked) {
  int procedures = 0;
  for (const std::string& source : Sources()) {
    const Compiled c = Compile(source);
    ASSERT_FALSE(c.starts.empty()) << source.substr(0, 60);
    for (size_t k = 0; k < c.starts.size(); ++k) {
      const int32_t start = c.starts[k];
      ExpectSame(c.code, start, c.labels[k], "its labels at " + std::to_string(start));
      ExpectSame(c.code, start, {}, "no labels at " + std::to_string(start));
      // Every instruction offset a label: every jump a GoTo.
      std::set<int32_t> all;
      InstructionArrays arrays;
      if (WalkProcedure(c.code, start, start, &arrays) >= 0) all.insert(arrays.offsets.begin(), arrays.offsets.end());
      ExpectSame(c.code, start, all, "all labels at " + std::to_string(start));
      ++procedures;
    }
  }
  EXPECT_GT(procedures, 10);
}

TEST(CompactMarking, CorruptedCodeFailsOrMarksAlike) {
  std::mt19937 random(19);
  const Compiled c = Compile(Sources().front());
  ASSERT_FALSE(c.starts.empty());
  const int32_t start = c.starts.front();
  InstructionArrays arrays;
  ASSERT_GE(WalkProcedure(c.code, start, 0, &arrays), 0);
  const auto pick = [&](std::initializer_list<uint8_t> from) { return *(from.begin() + random() % from.size()); };
  int failures = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> code = c.code;
    for (int k = 0, n = 1 + round % 3; k < n; ++k) {
      const size_t at = static_cast<size_t>(start + arrays.offsets[random() % arrays.offsets.size()]);
      switch (code[at]) {
        case op::kJZ: case op::kJNZ: case op::kJmp:
          // Another kind of jump, or the same a few bytes off its target.
          code[at] = pick({op::kJZ, op::kJNZ, op::kJmp});
          StoreU16(code.data() + at + 1, static_cast<uint16_t>(LoadU16(code.data() + at + 1) + random() % 9 - 4));
          break;
        case op::kStmtSep: case op::kPop: case op::kDup: case op::kErr:
          // Another one-byte instruction: other shapes around the jumps.
          code[at] = pick({op::kStmtSep, op::kPop, op::kDup, op::kErr});
          break;
        default:
          if (round % 5 == 0) code[at] = static_cast<uint8_t>(random());  // anything, often no instruction
          break;
      }
    }
    ExpectSame(code, start, c.labels.front(), "round " + std::to_string(round));
    if (!ByArrays(code, start, [&](int32_t at) { return c.labels.front().contains(at); }).ok) ++failures;
  }
  // Both outcomes were reached.
  EXPECT_GT(failures, 100);
  EXPECT_LT(failures, 2900);
}

}  // namespace
}  // namespace quillet
