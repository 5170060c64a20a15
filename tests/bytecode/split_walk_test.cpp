// Long procedure walks, which run several guessed walks side by side, against
// the one-instruction-after-another walk: the same lengths and the same end
// for compiled code, damaged code and random bytes, from any start.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bytecode/decoder.h"
#include "bytecode/marking.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

// The byte code of a module of `blocks` repetitions of straight-line code or
// of If/Select/For structures, with a short procedure after the long one.
Bytes LongCode(int blocks, bool structured) {
  std::string source = "Sub Initialize\n  Dim total As Long\n  Dim i As Integer\n";
  for (int k = 0; k < blocks; ++k) {
    const std::string n = std::to_string(k % 97);
    if (structured) {
      source += "  If total > " + n + " Then\n    total = total - " + n + "\n  Else\n    total = 1\n  End If\n";
      source += "  Select Case total Mod 3\n  Case 1\n    total = total + 1\n  End Select\n";
      source += "  For i = 1 To 2\n    total = total + i\n  Next\n";
    } else {
      source += "  total = total + " + n + " * 3 - 1\n  Print total; \"x\"\n";
    }
  }
  source += "End Sub\nSub Other\n  Print 1\nEnd Sub\n";
  Bytes image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) return {};
  CLSScriptModule module;
  if (!module.Parse(image)) return {};
  const std::span<const uint8_t> code = module.ByteCode().Data();
  return Bytes(code.begin(), code.end());
}

// The lengths-only walk (split when long) against the walk that lists the
// instructions too (always one after another).
void ExpectSameWalk(const Bytes& code, size_t start, const std::string& what) {
  Bytes split, serial;
  InstructionArrays arrays;
  const int32_t splitEnd = WalkProcedure(code, static_cast<int32_t>(start), 0, nullptr, &split);
  const int32_t serialEnd = WalkProcedure(code, static_cast<int32_t>(start), 0, &arrays, &serial);
  ASSERT_EQ(splitEnd, serialEnd) << what << " from " << start;
  if (serialEnd >= 0) {
    ASSERT_EQ(split, serial) << what << " from " << start;
  }
}

TEST(SplitWalk, CompiledCodeWalksAsOneInstructionAfterAnother) {
  for (const bool structured : {false, true}) {
    const Bytes code = LongCode(structured ? 900 : 3000, structured);
    ASSERT_GT(code.size(), size_t{64} << 10);
    Bytes lengths;
    ASSERT_GE(WalkProcedure(code, 0, 0, nullptr, &lengths), 0);  // the long procedure decodes
    std::mt19937 random(structured ? 3 : 4);
    ExpectSameWalk(code, 0, "whole");
    for (int k = 0; k < 40; ++k) ExpectSameWalk(code, random() % code.size(), "compiled");
  }
}

TEST(SplitWalk, DamagedCodeEndsOrFailsWhereTheSerialWalkDoes) {
  const Bytes code = LongCode(3000, false);
  ASSERT_FALSE(code.empty());
  std::mt19937 random(19);
  for (int k = 0; k < 60; ++k) {
    Bytes damaged = code;
    // A few bytes anywhere: unknown opcodes, stray OpEndSubs, operands cut.
    for (int m = 0; m < 1 + k % 6; ++m) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    ExpectSameWalk(damaged, k % 4 == 0 ? 0 : random() % 64, "damaged " + std::to_string(k));
  }
  // Cut short: no OpEndSub before the end.
  ExpectSameWalk(Bytes(code.begin(), code.begin() + static_cast<long>(code.size() / 2)), 0, "cut");
}

TEST(SplitWalk, RandomBytesWalkAsOneInstructionAfterAnother) {
  std::mt19937 random(26);
  for (int k = 0; k < 80; ++k) {
    Bytes bytes(20000 + random() % 60000);
    // Mostly small byte values, which are opcodes with short operands.
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 16 != 0 ? random() % 48 : random());
    ExpectSameWalk(bytes, random() % 128, "random " + std::to_string(k));
  }
}

}  // namespace
}  // namespace quillet
