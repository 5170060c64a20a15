// Module instrumentation through compiled LotusScript: growth and placement of
// the injected code, lines left alone, jumps kept on their targets, refused
// procedures left as they were, filters, the end-of-run part and recognition
// of rewritten modules.
#include "instrument/module_instrument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bytecode/code_extent.h"
#include "bytecode/decoder.h"
#include "instrument/instrument_lines.h"
#include "bytecode/opcodes.h"
#include "instrument/timer_class.h"
#include "lsobject/code_tables_decode.h"
#include "lsobject/symbol_entries.h"
#include "sim/lsc/compiler.h"
#include "sim/scoped_sim_host.h"

namespace quillet {
namespace {

class ModuleInstrumentTest : public ::testing::Test {
 protected:
  // Compiles and parses `source`; the test fails when either fails.
  void Load(const std::string& source) {
    std::vector<uint8_t> image;
    std::vector<CompileError> errors;
    ASSERT_TRUE(CompileLotusScript(source, image, errors)) << (errors.empty() ? "" : errors[0].message);
    ASSERT_TRUE(module_.Parse(image));
    module_.ItemInfo().ItemName = "$ScriptLib_O";
    module_.ItemInfo().NoteId = 0x00012345;
    context_.ItemName = "$ScriptLib_O";
    context_.Title = "Lib";
    context_.NoteId = 0x00012345;
  }

  Status32 Instrument(int32_t flags) {
    context_.Flags = flags;
    return InstrumentModule(module_, context_, profile_);
  }

  ProcedureDescriptor Procedure(const std::string& name) {
    std::vector<ProcedureDescriptor> list;
    module_.ListProcedures(list);
    for (const auto& p : list) {
      if (module_.Symbols().ProcedureName(module_.StringTable(), p.symbol, p.owner, p.flags) == name) return p;
    }
    ADD_FAILURE() << "no procedure " << name;
    return {};
  }

  // The procedure's code, decoded and marked up to its end; `end` receives
  // the offset after its OpEndSub.
  InstructionList Decode(const std::string& name, int32_t* end = nullptr) {
    const ProcedureDescriptor p = Procedure(name);
    InstructionList list;
    const SymbolView symbols = module_.Symbols();
    const LabelLookup isLabel = [&](int32_t at) {
      return symbols.FindLabel(module_.LabelOffsets(), p.symbol, static_cast<uint32_t>(at)) != 0;
    };
    EXPECT_TRUE(DecodeProcedureCode(module_.ByteCode().Data(), static_cast<int32_t>(p.codeOffset), isLabel,
                                    static_cast<int32_t>(p.symbol), list));
    if (end != nullptr) *end = static_cast<int32_t>(ProcedureCodeEnd(module_.ByteCode().Data(), p.codeOffset).value_or(0));
    return list;
  }

  // The procedure's bytes through its OpEndSub.
  std::vector<uint8_t> Code(const std::string& name) {
    int32_t end = 0;
    Decode(name, &end);
    const auto data = module_.ByteCode().Data();
    return {data.begin() + Procedure(name).codeOffset, data.begin() + end};
  }

  // The line arguments of the line-timer calls in the procedure, in order.
  std::vector<int> LineArguments(const std::string& name) {
    const InstructionList list = Decode(name);
    std::vector<int> args;
    for (size_t i = 0; i + 9 < list.size(); ++i) {
      auto* load = dynamic_cast<OpLoadProc*>(list[i].get());
      if (load == nullptr || load->operand != profile_.LineTimerHandle) continue;
      args.push_back(static_cast<const OpInteger&>(*list[i + 7]).value);
    }
    return args;
  }

  sim::ScopedSimHost host_;
  CLSScriptModule module_;
  ItemContext context_;
  CLSProfileApp profile_{"nquillet", "", 0};
};

const char* kThreeLines =
    "Sub Work\n"        // 1
    "  Print 1\n"       // 2
    "  Print 2\n"       // 3
    "  Print 3\n"       // 4
    "End Sub\n";        // 5

TEST_F(ModuleInstrumentTest, ThreeLineSubGrowsByEntryCodeAndOneCallPerLine) {
  Load(kThreeLines);
  const size_t before = Code("Work").size();
  ASSERT_EQ(Instrument(0x0003), 0u);
  EXPECT_EQ(Code("Work").size(), before + 27 + 3 * 29);

  const InstructionList list = Decode("Work");
  // Entry code: the timer instance is made first, with the module key and
  // the procedure's own handle.
  ASSERT_GE(list.size(), 11u);
  EXPECT_EQ(static_cast<const OpLine&>(*list[0]).line, OpLine::kSyntheticLine);
  EXPECT_EQ(static_cast<const OpLoadCtor&>(*list[2]).operand, profile_.TimerClassHandle);
  const uint32_t key = ModuleKey(module_);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*list[3]).value), key & 0xFFFF);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*list[4]).value), key >> 16);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*list[5]).value), Procedure("Work").symbol);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*list[6]).value), 0x2345);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*list[7]).value), 0x0001);

  // Line arguments count from the procedure's line-table entry.
  const int32_t lookedUp = module_.LineNumbers().LookupLine(static_cast<uint16_t>(Procedure("Work").name));
  const int base = lookedUp < 0 ? 0 : lookedUp + 1;
  ASSERT_GE(lookedUp, 0) << "the compiler records the Sub's line";
  std::vector<int> expected;
  for (int line : {2, 3, 4}) expected.push_back(line - base + 1);
  EXPECT_EQ(LineArguments("Work"), expected);

  ASSERT_EQ(profile_.Data.Procedures().size(), 1u);
  const ProcedureInfo& info = *profile_.Data.Procedures().begin()->second;
  EXPECT_EQ(info.FullName, "Work");
  EXPECT_EQ(info.Key, key);
  EXPECT_EQ(info.ModuleDisplayName, "$ScriptLib_O");
  EXPECT_TRUE(profile_.Messages.empty());
}

TEST_F(ModuleInstrumentTest, LinesThatStartWithJumpsCaseClausesAndTheEndGetNoCall) {
  Load("Sub Work(ByVal n As Integer)\n"  // 1
       "  If n > 1 Then\n"               // 2  timed
       "    Print 1\n"                   // 3  timed
       "  Else\n"                        // 4  (jump, no line marker of its own)
       "    Print 2\n"                   // 5  timed
       "  End If\n"                      // 6
       "  Select Case n\n"               // 7  timed
       "  Case 1\n"                      // 8  Case clause: none
       "    Print 3\n"                   // 9  timed
       "  End Select\n"                  // 10
       "  Do\n"                          // 11
       "    n = n + 1\n"                 // 12 timed
       "  Loop Until n > 5\n"            // 13
       "End Sub\n");                     // 14 last instructions: none
  const InstructionList before = Decode("Work");
  std::vector<int> timedLines, untimed;
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i]->opcode() != 26) continue;
    (ShouldTimeLine(before, i) ? timedLines : untimed).push_back(static_cast<const OpLine&>(*before[i]).line);
  }
  ASSERT_EQ(Instrument(0x0002), 0u);
  EXPECT_EQ(LineArguments("Work").size(), timedLines.size());
  // The Case clause and the End Sub line are never timed.
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), 8), untimed.end());
  EXPECT_NE(std::find(untimed.begin(), untimed.end(), 14), untimed.end());
  EXPECT_EQ(std::find(timedLines.begin(), timedLines.end(), 8), timedLines.end());
  EXPECT_NE(std::find(timedLines.begin(), timedLines.end(), 3), timedLines.end());
}

// Each original instruction's new position, found by walking both listings
// in step (the injected pieces all start with a synthetic line marker).
TEST_F(ModuleInstrumentTest, JumpsStillLandOnTheirInstructionsOrTheirLineCalls) {
  Load("Sub Work(ByVal n As Integer)\n"
       "top:\n"
       "  If n > 1 Then\n"
       "    Print 1\n"
       "    Print 2\n"
       "  End If\n"
       "  While n < 3\n"
       "    n = n + 1\n"
       "  Wend\n"
       "  On n GoTo top, b\n"
       "b:\n"
       "  Print 4\n"
       "  Exit Sub\n"
       "a:\n"
       "  Print 5\n"
       "  GoTo b\n"
       "  GoTo a\n"
       "End Sub\n");
  const InstructionList before = Decode("Work");
  std::map<int32_t, size_t> indexAt;
  for (size_t i = 0; i < before.size(); ++i) indexAt[before[i]->offset] = i;
  ASSERT_EQ(Instrument(0x0002), 0u);
  const InstructionList after = Decode("Work");

  // Map old index -> new offset; a timed line maps to its line call.
  std::vector<int32_t> newOffset(before.size());
  size_t j = 0;
  for (size_t i = 0; i < before.size(); ++i, ++j) {
    if (ShouldTimeLine(before, i) && before[i]->opcode() == 26) {
      newOffset[i] = after[j]->offset;
      j += 11;  // the line call's instructions
    } else {
      newOffset[i] = after[j]->offset;
    }
    ASSERT_EQ(after[j]->opcode(), before[i]->opcode()) << i;
  }
  const int32_t newEnd = after.back()->offset + 3;  // every procedure here ends on an OpLine
  auto targetOf = [&](int32_t target, int32_t oldEnd) {
    return target == oldEnd ? newEnd : newOffset[indexAt.at(target)];
  };
  const int32_t oldEnd = before.back()->offset + 3;
  j = 0;
  int jumps = 0;
  for (size_t i = 0; i < before.size(); ++i, ++j) {
    if (ShouldTimeLine(before, i) && before[i]->opcode() == 26) j += 11;
    if (auto* jz = dynamic_cast<OpJZ*>(before[i].get())) {
      EXPECT_EQ(static_cast<OpJZ&>(*after[j]).target(), targetOf(jz->target(), oldEnd));
      ++jumps;
    } else if (auto* jmp = dynamic_cast<OpJmp*>(before[i].get())) {
      EXPECT_EQ(static_cast<OpJmp&>(*after[j]).target(), targetOf(jmp->target(), oldEnd));
      ++jumps;
    } else if (auto* on = dynamic_cast<OpOnGoto*>(before[i].get())) {
      auto& moved = static_cast<OpOnGoto&>(*after[j]);
      ASSERT_EQ(on->count(), 2);
      for (int k = 0; k < 2; ++k) EXPECT_EQ(moved.target(k), targetOf(on->target(k), oldEnd));
      // One target lies before the other in the code: both directions kept.
      EXPECT_NE(on->target(0) < on->offset, on->target(1) < on->offset);
      ++jumps;
    }
  }
  EXPECT_GE(jumps, 5);
}

TEST_F(ModuleInstrumentTest, JumpThatNoLongerFitsLeavesTheProcedureAsItWas) {
  // An On ... GoSub whose forward target ends up more than 32 KiB away.
  std::string source = "Sub Far(ByVal n As Integer)\n  On n GoSub back, ahead\nback:\n  Return\n";
  for (int i = 0; i < 1200; ++i) source += "  Print " + std::to_string(i) + "\n";
  source += "ahead:\n  Return\nEnd Sub\nSub Near\n  Print 1\n  Print 2\nEnd Sub\n";
  Load(source);
  const std::vector<uint8_t> far = Code("Far");
  const size_t nearBefore = Code("Near").size();
  ASSERT_EQ(Instrument(0x0002), 0u);
  EXPECT_EQ(Code("Far"), far);
  EXPECT_EQ(Code("Near").size(), nearBefore + 2 * 29);
  ASSERT_EQ(profile_.Messages.size(), 1u);
  EXPECT_EQ(profile_.Messages[0], "Instrument Lines: Jump too big: Lib : $ScriptLib_O:Far.");
  // Registered all the same: only its line calls were refused.
  EXPECT_EQ(profile_.Data.Procedures().size(), 2u);
}

TEST_F(ModuleInstrumentTest, BindEventsFollowsTheFilter) {
  const char* source = "Sub Bindevents\n  Print 1\n  Print 2\nEnd Sub\nSub Other\n  Print 3\nEnd Sub\n";
  Load(source);
  const auto bind = Code("Bindevents");
  profile_.FilterBindEvents = 1;
  ASSERT_EQ(Instrument(0x0003), 0u);
  EXPECT_EQ(Code("Bindevents"), bind);
  EXPECT_EQ(profile_.Data.Procedures().size(), 1u);

  module_.Reset();
  profile_.Data.Clear();
  profile_.FunctionTimerHandle = profile_.LineTimerHandle = profile_.TimerClassHandle = kNoSymbolHandle;
  Load(source);
  profile_.FilterBindEvents = 0;
  ASSERT_EQ(Instrument(0x0003), 0u);
  EXPECT_EQ(Code("Bindevents").size(), bind.size() + 27 + 2 * 29);
  EXPECT_EQ(profile_.Data.Procedures().size(), 2u);
}

TEST_F(ModuleInstrumentTest, EndOfRunAtTerminateAddsTheSubWhenMissing) {
  Load(kThreeLines);
  ASSERT_EQ(module_.Header().U16(header::kTerminateSub), 0);
  ASSERT_EQ(module_.Header().U16(header::kInitializeSub), 0);
  ASSERT_EQ(Instrument(0x0101), 0u);
  const uint32_t terminate = Procedure("Terminate").symbol;
  ASSERT_NE(terminate, 0u);
  // Timed like any other: it begins with the entry code.
  const InstructionList code = Decode("Terminate");
  ASSERT_GT(code.size(), 2u);
  EXPECT_EQ(code[2]->opcode(), 42);
  // DELETE: the type-2 call, then the test against Terminate and the type-5 call.
  const InstructionList del = Decode("CKVXTimerManager::DELETE");
  ASSERT_EQ(del.size(), 9u + 5u + 9u + 1u);
  EXPECT_EQ(static_cast<const OpInteger&>(*del[7]).value, timer_type::kExit);
  EXPECT_EQ(static_cast<uint16_t>(static_cast<const OpInteger&>(*del[11]).value), terminate);
  EXPECT_EQ(static_cast<const OpJZ&>(*del[13]).relTarget, 25);
  EXPECT_EQ(static_cast<const OpInteger&>(*del[21]).value, timer_type::kEndOfRun);
  EXPECT_EQ(module_.Symbols().Field16(Procedure("CKVXTimerManager::DELETE").symbol, symbol::kSystemMarker), 11);
}

TEST_F(ModuleInstrumentTest, TimerClassIsNeverInstrumentedNorRegistered) {
  Load(kThreeLines);
  ASSERT_EQ(Instrument(0x0003), 0u);
  // NEW: exactly its 75-byte body before the empty body it was made with.
  EXPECT_EQ(Code("CKVXTimerManager::NEW").size(), 75u + 4u);
  EXPECT_EQ(Code("CKVXTimerManager::DELETE").size(), 25u + 4u);
  for (const auto& [key, info] : profile_.Data.Procedures()) EXPECT_EQ(info->FullName.find("CKVXTimerManager"), std::string::npos);
  EXPECT_TRUE(profile_.Messages.empty());
}

TEST_F(ModuleInstrumentTest, RewrittenModuleIsRecognisedByItsClassAndOnlyRegistered) {
  Load(kThreeLines);
  EXPECT_FALSE(IsInstrumentedModule(module_));
  ASSERT_EQ(Instrument(0x0003), 0u);
  const std::vector<uint8_t> image = module_.Serialize();

  CLSScriptModule again;
  ASSERT_TRUE(again.Parse(image));
  EXPECT_TRUE(IsInstrumentedModule(again));
  CLSProfileApp second("nquillet", "", 0);
  RegisterModule(again, context_, second);
  ASSERT_EQ(second.Data.Procedures().size(), 1u);
  EXPECT_EQ(second.Data.Procedures().begin()->second->FullName, "Work");
  EXPECT_EQ(second.Data.Procedures().begin()->first.Key, ModuleKey(again));
}

// A damaged module whose Sub Inner starts inside Sub Outer's code: rewriting
// either would split or move the other's code, so neither is rewritten nor
// registered, each gets a warning, and the rest of the module is timed.
TEST_F(ModuleInstrumentTest, ProceduresSharingCodeAreLeftAsTheyWere) {
  Load("Sub Outer\n  Print 1\n  Print 2\n  Print 3\nEnd Sub\n"
       "Sub Inner\n  Print 4\nEnd Sub\n"
       "Sub Apart\n  Print 5\n  Print 6\nEnd Sub\n");
  const InstructionList outer = Decode("Outer");
  ASSERT_GT(outer.size(), 4u);
  const uint32_t outerStart = Procedure("Outer").codeOffset;
  const uint32_t inside = static_cast<uint32_t>(outer[outer.size() / 2]->offset);
  const SymbolView symbols = module_.Symbols();
  symbols.SetU32(uint64_t{symbols.Resolve(Procedure("Inner").symbol)} + symbol::kCodeOffset, inside);
  const std::vector<uint8_t> outerCode = Code("Outer");
  const std::vector<uint8_t> innerCode = Code("Inner");
  const size_t apartBefore = Code("Apart").size();

  ASSERT_EQ(Instrument(0x0003), 0u);
  EXPECT_EQ(Code("Outer"), outerCode);
  EXPECT_EQ(Code("Inner"), innerCode);
  // Inner still starts at the same instruction of Outer.
  EXPECT_EQ(Procedure("Inner").codeOffset - Procedure("Outer").codeOffset, inside - outerStart);
  EXPECT_EQ(Code("Apart").size(), apartBefore + 27 + 2 * 29);
  std::vector<std::string> messages = profile_.Messages;
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(messages, (std::vector<std::string>{"Instrument Lines: Could not load function Lib : $ScriptLib_O:Inner.",
                                                "Instrument Lines: Could not load function Lib : $ScriptLib_O:Outer."}));
  EXPECT_EQ(profile_.Data.Procedures().size(), 1u);
}

// A refusal after part of the rewrite was done (the declarations are added
// before the class turns out to be unusable: here a class of the timer
// class's name without a constructor) leaves the module as it was.
TEST_F(ModuleInstrumentTest, RefusedModuleSerialisesToTheSameBytes) {
  Load("Class CKVXTimerManager\n  Sub Work\n    Print 1\n  End Sub\nEnd Class\n"
       "Sub Main\n  Print 2\nEnd Sub\n");
  const std::vector<uint8_t> before = module_.Serialize();
  const size_t symbolsBefore = module_.SymbolTable().Data().size();
  EXPECT_EQ(Instrument(0x0003), kErrCouldNotCreateClass);
  EXPECT_EQ(module_.SymbolTable().Data().size(), symbolsBefore);
  EXPECT_EQ(module_.Serialize(), before);
}

TEST(ModuleDisplayNameTest, PrefersDisplayNameThenKnownItems) {
  sim::ScopedSimHost host;
  ItemContext c;
  c.ItemName = "$$SCRIPT_O";
  c.Title = "Form";
  EXPECT_EQ(ModuleDisplayName(c), "(Globals)");
  c.ItemName = "$$$FORMSCRIPT_O";
  EXPECT_EQ(ModuleDisplayName(c), "Form");
  c.ItemName = "$$script_o";  // exact comparison
  EXPECT_EQ(ModuleDisplayName(c), "$$script_o");
  c.DisplayName = "Body/Button 1";
  EXPECT_EQ(ModuleDisplayName(c), "Body/Button 1");
}

}  // namespace
}  // namespace quillet
