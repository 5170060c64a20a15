// The one-pass rewrite against the straightforward one: every line call
// inserted into the byte code on its own, the procedures and labels after it
// moved each time, the jumps patched in the byte code, a snapshot taken and
// restored around each procedure. Both must give the same module, byte for
// byte.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bytecode/decoder.h"
#include "instrument/instrument_lines.h"
#include "instrument/module_instrument.h"
#include "bytecode/opcodes.h"
#include "instrument/timer_class.h"
#include "instrument/timer_class_code.h"
#include "lsobject/code_tables_decode.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

// Copies of the sections a procedure's rewrite may change.
struct Snapshot {
  explicit Snapshot(CLSScriptModule& m)
      : header(m.Header().Data().begin(), m.Header().Data().end()),
        symbols(m.SymbolTable().Data().begin(), m.SymbolTable().Data().end()),
        code(m.ByteCode().Data().begin(), m.ByteCode().Data().end()),
        labels(m.LabelOffsets().Data().begin(), m.LabelOffsets().Data().end()) {}
  void Restore(CLSScriptModule& m) const {
    std::copy(header.begin(), header.end(), m.Header().MutableData().begin());
    ASSERT_TRUE(m.SymbolTable().SetData(symbols));
    ASSERT_TRUE(m.ByteCode().SetData(code));
    if (!labels.empty()) {
      ASSERT_TRUE(m.LabelOffsets().SetData(labels));
    }
  }
  std::vector<uint8_t> header, symbols, code, labels;
};

bool IsJump(int op) {
  for (int j : {58, 57, 56, 11, 52, 53, 54, 55, 15, 60, 59, 61})
    if (op == j) return true;
  return false;
}

// Re-aims one 16-bit slot in the byte code; the end of the procedure moves
// by everything inserted, any other target must be an instruction.
bool MoveSlot(std::vector<uint8_t>& data, const std::map<int32_t, int32_t>& shift, int32_t end, int32_t total,
              int32_t jump, int32_t newSlot, int32_t oldFrom, int32_t newFrom) {
  const int32_t t = oldFrom + static_cast<int16_t>(LoadU16(data.data() + newSlot));
  int32_t s = 0;
  if (t == end) {
    s = total;
  } else {
    auto it = shift.find(t);
    if (it == shift.end()) return false;
    s = it->second;
  }
  const int32_t value = t + s - newFrom;
  if ((t < jump) ? value >= 0 : value < 0) return false;
  if (value < INT16_MIN || value > INT16_MAX) return false;
  StoreU16(data.data() + newSlot, static_cast<uint16_t>(value));
  return true;
}

Status32 ReferenceLines(CLSScriptModule& m, const ProcedureDescriptor& p, CLSProfileApp& profile) {
  const SymbolView symbols = m.Symbols();
  const uint32_t c = symbols.CodeOffset(p.symbol);
  InstructionList list;
  const LabelLookup isLabel = [&](int32_t at) {
    return symbols.FindLabel(m.LabelOffsets(), p.symbol, static_cast<uint32_t>(at)) != 0;
  };
  if (!DecodeProcedureCode(m.ByteCode().Data(), static_cast<int32_t>(c), isLabel, static_cast<int32_t>(p.symbol), list))
    return kErrCouldNotLoadFunction;
  LineBase base = p.owner == 0 ? LineBase::From(m.LineNumbers().LookupLine(static_cast<uint16_t>(p.name)), false)
                               : LineBase::From(m.LineNumbers().LookupLine(0), true);
  if (p.owner != 0 && !HasSourceLines(list)) return kErrNoLines;
  // The OpEndSub follows the last instruction directly.
  DecodeCursor cursor{m.ByteCode().Data(), list.back()->offset, 0};
  (void)DecodeNext(cursor);
  const int32_t end = cursor.position;

  Snapshot snapshot(m);
  LineCall call = BuildLineCall(static_cast<uint16_t>(profile.LineTimerHandle),
                                TimerIdentity{ModuleKey(m), static_cast<uint16_t>(p.symbol), m.ItemInfo().NoteId});
  int32_t total = 0;
  std::map<int32_t, int32_t> shift;
  for (size_t i = 0; i < list.size(); ++i) {
    shift[list[i]->offset] = total;
    if (list[i]->opcode() != 26 || !ShouldTimeLine(list, i)) continue;
    const auto line = static_cast<const OpLine&>(*list[i]).line;
    if (base.open) base = LineBase{false, line - 2};
    call.SetLine(static_cast<uint16_t>(line - base.base + 1));
    const auto at = static_cast<uint32_t>(list[i]->offset + total);
    EXPECT_EQ(m.ByteCode().InsertBytes(static_cast<int32_t>(at), call.bytes), kLineCallLength);
    // A label on the timed line now stands for its line call.
    EXPECT_TRUE(m.RelocateLabels([&](uint32_t p) { return p > at ? p + static_cast<uint32_t>(kLineCallLength) : p; }));
    total += kLineCallLength;
  }
  std::vector<uint8_t> data(m.ByteCode().Data().begin(), m.ByteCode().Data().end());
  for (const auto& j : list) {
    if (!IsJump(j->opcode())) continue;
    const int32_t at = j->offset + shift[j->offset];
    bool ok = true;
    if (j->opcode() == 59 || j->opcode() == 61) {
      for (int k = 0; ok && k < data[static_cast<size_t>(at) + 1]; ++k)
        ok = MoveSlot(data, shift, end, total, j->offset, at + 2 + 2 * k, j->offset + 4 + 2 * k, at + 4 + 2 * k);
    } else {
      const int32_t b = j->branchSize();
      ok = MoveSlot(data, shift, end, total, j->offset, at + b - 2, j->offset + b, at + b);
    }
    if (!ok) {
      snapshot.Restore(m);
      return kErrJumpTooBig;
    }
  }
  EXPECT_TRUE(m.ByteCode().SetData(data));
  m.RelocateProcedures(c, total);
  return 0;
}

Status32 ReferenceInstrument(CLSScriptModule& m, const ItemContext& context, CLSProfileApp& profile) {
  const Status32 r = BuildTimerClass(m, context, profile);
  if (r != 0) return r;
  std::vector<ProcedureDescriptor> procedures;
  m.ListProcedures(procedures);
  for (const auto& p : procedures) {
    if (!IsProfiledProcedure(m, p, profile)) continue;
    Status32 code = 0;
    if (context.Flags & 1) {
      const uint32_t v = m.AddLocalVariable(p.symbol, kTimerVariableName, static_cast<uint32_t>(profile.TimerClassHandle));
      const TimerIdentity id{ModuleKey(m), static_cast<uint16_t>(p.symbol), m.ItemInfo().NoteId};
      if (!m.InsertAtProcedureStart(p.symbol, BuildEntryCode(static_cast<uint16_t>(v),
                                                             static_cast<uint16_t>(profile.TimerClassHandle), id)))
        code = kErrJumpTooBig;
    }
    if (code == 0) {
      RegisterProcedure(m, p, context, profile);
      if ((context.Flags & 2) && !(context.Flags & 0x80)) code = ReferenceLines(m, p, profile);
    }
    if (code != 0) profile.Messages.push_back(std::to_string(code));
  }
  return 0;
}

const char* kProgram =
    "Dim total As Long\n"
    "Class Counter\n"
    "  count As Integer\n"
    "  Sub New(ByVal start As Integer)\n"
    "    count = start\n"
    "  End Sub\n"
    "  Function Bump() As Integer\n"
    "    count = count + 1\n"
    "    Bump = count\n"
    "  End Function\n"
    "End Class\n"
    "Function Twice(ByVal v As Long) As Long\n"
    "  Twice = v * 2\n"
    "End Function\n"
    "Sub Jumps(ByVal n As Integer)\n"
    "top:\n"
    "  If n > 3 Then Exit Sub\n"
    "  On n GoSub one, two\n"
    "  n = n + 1\n"
    "  On n GoTo top, fin\n"
    "one:\n"
    "  Print \"one\"\n"
    "  Return\n"
    "two:\n"
    "  Print \"two\"\n"
    "  Return\n"
    "fin:\n"
    "End Sub\n"
    "Sub Initialize\n"
    "  Dim c As New Counter(1)\n"
    "  Dim i As Integer\n"
    "  On Error GoTo oops\n"
    "  For i = 1 To 3\n"
    "    total = total + Twice(c.Bump())\n"
    "  Next\n"
    "  Do While total < 100\n"
    "    total = total * 2\n"
    "  Loop\n"
    "  Select Case total\n"
    "  Case 14, 18\n"
    "    Print \"ok\"; total\n"
    "  Case Else\n"
    "    Print \"odd\"\n"
    "  End Select\n"
    "  If total > 1 Then\n"
    "    Print 1\n"
    "  ElseIf total > 2 Then\n"
    "    Print 2\n"
    "  Else\n"
    "    Print 3\n"
    "  End If\n"
    "  Jumps 1\n"
    "  Exit Sub\n"
    "oops:\n"
    "  Resume Next\n"
    "End Sub\n";

class ReferenceTest : public ::testing::TestWithParam<int32_t> {
 protected:
  sim::ScopedSimHost host_;
};

// Both rewrites of `source` under the test's flags give the same module.
void ExpectSameRewrite(const std::string& source, int32_t flags) {
  std::vector<uint8_t> image;
  std::vector<CompileError> errors;
  ASSERT_TRUE(CompileLotusScript(source, image, errors)) << errors[0].line << " " << errors[0].message;
  ItemContext context;
  context.ItemName = "$ScriptLib_O";
  context.Flags = flags;

  CLSScriptModule fast, slow;
  ASSERT_TRUE(fast.Parse(image));
  ASSERT_TRUE(slow.Parse(image));
  fast.ItemInfo().NoteId = slow.ItemInfo().NoteId = 0x20004;
  CLSProfileApp fastProfile("nquillet", "", 0), slowProfile("nquillet", "", 0);
  ASSERT_EQ(InstrumentModule(fast, context, fastProfile), 0u);
  ASSERT_EQ(ReferenceInstrument(slow, context, slowProfile), 0u);

  EXPECT_EQ(fast.ByteCode().Length(), slow.ByteCode().Length());
  CLSScriptModule original;
  ASSERT_TRUE(original.Parse(image));
  EXPECT_GT(fast.ByteCode().Length(), original.ByteCode().Length() + 75);
  EXPECT_EQ(fast.Serialize(), slow.Serialize());
  EXPECT_EQ(fastProfile.Messages.size(), slowProfile.Messages.size());
  EXPECT_EQ(fastProfile.Data.Procedures().size(), slowProfile.Data.Procedures().size());
}

TEST_P(ReferenceTest, OnePassRewriteEqualsInsertionOneByOne) {
  ExpectSameRewrite(kProgram, GetParam());
}

// With line calls the second procedure's labels pass 64 KiB: both rewrites
// move them into the label-offset table, in the same order.
TEST_P(ReferenceTest, LabelsMovedIntoTheTableAgree) {
  std::string source = "Sub Filler\n";
  for (int i = 0; i < 2000; ++i) source += "  Print " + std::to_string(i) + "\n";
  source +=
      "End Sub\n"
      "Sub Tail\n"
      "  On Error GoTo oops\n"
      "back:\n"
      "  Print 1\n"
      "  GoTo back\n"
      "oops:\n"
      "  Resume back\n"
      "End Sub\n";
  ExpectSameRewrite(source, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Flags, ReferenceTest, ::testing::Values(0x0001, 0x0002, 0x0003, 0x0023, 0x0103, 0x0083));

}  // namespace
}  // namespace quillet
