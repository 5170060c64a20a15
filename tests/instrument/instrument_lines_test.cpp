// Procedure listings for line timing: the listing measured from an earlier
// walk's lengths equals the one walked afresh, on compiled, damaged and cut
// code; a listing that reads its prefix and the byte code where they stand
// gives the rewrite the same bytes as one decoded from a joined copy.
#include "instrument/instrument_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bytecode/code_extent.h"
#include "bytecode/opcode_numbers.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"

namespace quillet {
namespace {

// Loops, If blocks, a Select Case and a GoTo: every kind of notable
// instruction and jump the marking and the rewrite look at.
constexpr const char* kSource = R"(
Sub Loops(n As Integer)
  Dim i As Integer, total As Integer
  For i = 1 To n
    total = total + i
    If total > 10 Then
      total = total - 1
    ElseIf total < 0 Then
      total = 0
    Else
      total = total * 2
    End If
  Next
  Do While total > 0
    total = total - 3
  Loop
  Select Case n
    Case 1
      Print "one"
    Case 2, 3
      Print "few"
    Case Else
      Print "many"
  End Select
  If n = 0 Then GoTo Done
  Print total
Done:
  Print "end"
End Sub

Function Twice(x As Integer) As Integer
  Twice = x * 2
End Function
)";

class InstrumentLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<CompileError> errors;
    ASSERT_TRUE(CompileLotusScript(kSource, image_, errors)) << (errors.empty() ? "" : errors[0].message);
    ASSERT_TRUE(module_.Parse(image_));
    code_.assign(module_.ByteCode().Data().begin(), module_.ByteCode().Data().end());
    std::vector<ProcedureDescriptor> listed;
    module_.ListProcedures(listed);
    for (const ProcedureDescriptor& p : listed) {
      if (ProcedureCodeEnd(code_, p.codeOffset)) starts_.push_back(p.codeOffset);
    }
    ASSERT_GE(starts_.size(), 2u);
  }

  static bool NoLabel(int32_t) { return false; }

  static void ExpectSame(const ProcedureListing& a, const ProcedureListing& b) {
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::vector<int32_t>(a.arrays.offsets.begin(), a.arrays.offsets.end()),
              std::vector<int32_t>(b.arrays.offsets.begin(), b.arrays.offsets.end()));
    EXPECT_EQ(std::vector<int16_t>(a.arrays.opcodes.begin(), a.arrays.opcodes.end()),
              std::vector<int16_t>(b.arrays.opcodes.begin(), b.arrays.opcodes.end()));
    EXPECT_EQ(std::vector<uint32_t>(a.notable.begin(), a.notable.end()),
              std::vector<uint32_t>(b.notable.begin(), b.notable.end()));
    EXPECT_EQ(a.marks, b.marks);
    EXPECT_EQ(a.endOffset, b.endOffset);
    ASSERT_EQ(a.code.size(), b.code.size());
    for (size_t i = 0; i < a.code.size(); ++i) ASSERT_EQ(a.code[i], b.code[i]) << "byte " << i;
  }

  // The rewrite of a listing with a line call of made-up handles.
  static std::vector<uint8_t> Rewrite(const ProcedureListing& listing) {
    std::vector<uint32_t> calls;
    UninitVector<uint8_t> out;
    int32_t inserted = 0;
    const LineCall call = BuildLineCall(0x0123, TimerIdentity{0x11223344, 7, 0x55});
    EXPECT_EQ(InsertLineCalls(listing, LineBase{true, 0}, call, out, inserted, calls), 0u);
    EXPECT_FALSE(calls.empty());
    EXPECT_EQ(static_cast<size_t>(inserted), calls.size() * call.bytes.size());
    return std::vector<uint8_t>(out.begin(), out.end());
  }

  std::vector<uint8_t> image_;
  CLSScriptModule module_;
  std::vector<uint8_t> code_;
  std::vector<uint32_t> starts_;
};

TEST_F(InstrumentLinesTest, ListingMeasuredFromAWalkEqualsTheWalkedOne) {
  CodeWalks walks;
  for (const uint32_t start : starts_) {
    ASSERT_TRUE(walks.Walk(code_, start));
    ProcedureListing measured, walked;
    ASSERT_TRUE(DecodeForLines(code_, static_cast<int32_t>(start), {}, NoLabel, 1, measured, walks.Lengths(start)));
    ASSERT_TRUE(DecodeForLines(code_, static_cast<int32_t>(start), {}, NoLabel, 1, walked));
    ExpectSame(measured, walked);
    // Every line marker and jump is among the notable instructions.
    size_t lines = 0;
    for (size_t i = 0; i < measured.size(); ++i) {
      const int16_t opcode = measured.arrays.opcodes[i];
      if (opcode != op::kLine && opcode != op::kJmp && opcode != op::kJZ && opcode != op::kJNZ) continue;
      lines += opcode == op::kLine;
      EXPECT_TRUE(std::binary_search(measured.notable.begin(), measured.notable.end(), static_cast<uint32_t>(i)));
    }
    EXPECT_GT(lines, 0u);
  }
}

TEST_F(InstrumentLinesTest, LengthsOfOtherBytesFallBackToAWalk) {
  // Lengths found at another procedure do not lead to this one's end: the
  // listing is walked afresh and comes out the same.
  CodeWalks walks;
  ASSERT_TRUE(walks.Walk(code_, starts_[1]));
  ProcedureListing measured, walked;
  ASSERT_TRUE(DecodeForLines(code_, static_cast<int32_t>(starts_[0]), {}, NoLabel, 1, measured,
                             walks.Lengths(starts_[1])));
  ASSERT_TRUE(DecodeForLines(code_, static_cast<int32_t>(starts_[0]), {}, NoLabel, 1, walked));
  ExpectSame(measured, walked);
}

TEST_F(InstrumentLinesTest, CutOrDamagedCodeGivesNoListing) {
  CodeWalks walks;
  const uint32_t start = starts_[0];
  ASSERT_TRUE(walks.Walk(code_, start));
  const std::span<const uint8_t> lengths = walks.Lengths(start);
  const size_t end = *ProcedureCodeEnd(code_, start);

  // Cut just before the OpEndSub: with the lengths and without.
  const std::vector<uint8_t> cut(code_.begin(), code_.begin() + static_cast<std::ptrdiff_t>(end - 1));
  ProcedureListing listing;
  EXPECT_FALSE(DecodeForLines(cut, static_cast<int32_t>(start), {}, NoLabel, 1, listing, lengths));
  EXPECT_EQ(listing.size(), 0u);
  EXPECT_TRUE(listing.notable.empty());
  EXPECT_EQ(listing.code.size(), 0u);
  EXPECT_FALSE(DecodeForLines(cut, static_cast<int32_t>(start), {}, NoLabel, 1, listing));

  // A byte outside the instruction set in the middle, the old lengths
  // still offered: refused as a fresh walk refuses it.
  std::vector<uint8_t> damaged = code_;
  const size_t middle = start + (end - start) / 2;
  damaged[middle] = 0xFF;
  ProcedureListing walked;
  const bool fresh = DecodeForLines(damaged, static_cast<int32_t>(start), {}, NoLabel, 1, walked);
  EXPECT_EQ(DecodeForLines(damaged, static_cast<int32_t>(start), {}, NoLabel, 1, listing, lengths), fresh);
  if (fresh) ExpectSame(listing, walked);  // the byte was an operand
}

TEST_F(InstrumentLinesTest, PrefixedListingRewritesAsAJoinedCopy) {
  // A prefix that decodes on its own: a line call.
  const std::vector<uint8_t> prefix = BuildLineCall(0x0042, TimerIdentity{1, 2, 3}).bytes;
  for (const uint32_t start : starts_) {
    const size_t end = *ProcedureCodeEnd(code_, start);
    std::vector<uint8_t> joined(prefix);
    joined.insert(joined.end(), code_.begin() + start, code_.begin() + static_cast<std::ptrdiff_t>(end));

    ProcedureListing inPlace, copied;
    ASSERT_TRUE(DecodeForLines(code_, static_cast<int32_t>(start), prefix, NoLabel, 1, inPlace));
    ASSERT_TRUE(DecodeForLines(joined, 0, {}, NoLabel, 1, copied));
    EXPECT_EQ(inPlace.code.head().data(), prefix.data());  // read where it stands, not copied
    EXPECT_EQ(inPlace.code.tail().data(), code_.data() + start);
    ExpectSame(inPlace, copied);
    EXPECT_EQ(Rewrite(inPlace), Rewrite(copied));
  }
}

}  // namespace
}  // namespace quillet
