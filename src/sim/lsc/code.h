// Instructions as code generation produces them (operands still symbolic:
// symbols, strings, jump labels) and their assembly into byte code through
// the instruction-set table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bytecode/opcode.h"
#include "bytecode/opcode_numbers.h"
#include "sim/lsc/symbols.h"

namespace quillet::lsc {

// Opcode bytes the compiler emits, by their names in the instruction-set
// table.
enum Op : uint8_t {
  kOpOnErrorGoto0 = op::kOnErrorGoto0, kOpOnErrorGoto = op::kOnErrorGoto, kOpOnErrorResume = op::kOnErrorResume, kOpResumeNext = op::kResumeNext, kOpResumeLabel = op::kResumeLabel,
  kOpLine = op::kLine, kOpStmtSep = op::kStmtSep, kOpExitSub = op::kExitSub, kOpEndSub = op::kEndSub,
  kOpCallProc = op::kCallProc,
  kOpLoadProc = op::kLoadProc, kOpLoadCtor = op::kLoadCtor, kOpLoadMethod = op::kLoadMethod, kOpLoadMeProc = op::kLoadMeProc,
  kOpLoadBaseProc = op::kLoadBaseProc,
  kOpPop = op::kPop, kOpDup = op::kDup, kOpFor = op::kFor, kOpForAll = op::kForAll, kOpNext = op::kNext, kOpNextForAll = op::kNextForAll,
  kOpJZ = op::kJZ, kOpJNZ = op::kJNZ, kOpJmp = op::kJmp, kOpOnGoto = op::kOnGoto, kOpGosub = op::kGosub, kOpOnGosub = op::kOnGosub, kOpReturn = op::kReturn,
  kOpPrint = op::kPrint, kOpPrintNoCR = op::kPrintNoCR, kOpLoadMe = op::kLoadMe,
  kOpGLoadObj = op::kGLoadObj, kOpTLoadObj = op::kTLoadObj, kOpPLoadObj = op::kPLoadObj, kOpLLoadObj = op::kLLoadObj, kOpMLoadObj = op::kMLoadObj,
  kOpGLoadObjPtr = op::kGLoadObjPtr, kOpTLoadObjPtr = op::kTLoadObjPtr, kOpPLoadObjPtr = op::kPLoadObjPtr, kOpLLoadObjPtr = op::kLLoadObjPtr, kOpMLoadObjPtr = op::kMLoadObjPtr,
  kOpLoadElemFromExpr = op::kLoadElemFromExpr, kOpElem = op::kElemFirst,
  kOpStringLiteral = op::kStringLiteral, kOpNumericLiteral = op::kNumericLiteral,
  kOpNothing = op::kNothing, kOpTrue = op::kTrue, kOpFalse = op::kFalse,
  kOpInteger = op::kInteger,
  kOpUMinus = op::kUMinus, kOpNot = op::kNot,
  kOpLongJmp = op::kLongJmp,
  kOpAssign = op::kAssign, kOpSet = op::kSet,
  kOpAdd = op::kAdd, kOpSub = op::kSub, kOpMul = op::kMul, kOpDiv = op::kDiv,
  kOpLt = op::kLt, kOpLe = op::kLe, kOpEq = op::kEq, kOpGe = op::kGe, kOpGt = op::kGt, kOpNe = op::kNe,
  kOpIntDiv = op::kIntDiv, kOpMod = op::kMod, kOpExp = op::kExp, kOpConcat = op::kConcat,
  kOpImp = op::kImp, kOpEqv = op::kEqv, kOpXor = op::kXor, kOpOr = op::kOr, kOpAnd = op::kAnd,
  kOpLike = op::kLike, kOpIs = op::kIs,
  kOpResume0 = op::kResume0, kOpErrorStmt = op::kErrorStmt, kOpErrorStmtWithArg = op::kErrorStmtWithArg,
  kOpErrStmt = op::kErrStmt, kOpBuiltinDisp = op::kBuiltinDisp, kOpDefaultArg = op::kDefaultArg, kOpEnd = op::kEnd, kOpPrintTab = op::kPrintTab,
  kOpIsElement = op::kIsElement, kOpListTag = op::kListTag,
  kOpRedim = op::kRedim, kOpRedimPreserve = op::kRedimPreserve, kOpErase = op::kErase,
};

// One instruction before assembly. The 16-bit operand is `value`, or the
// handle of `sym` or of the string `text` when those are set; jump operands
// are labels of the same procedure. An OpJmp whose `sym` is a source label
// (a GoTo) becomes an OpLongJmp through that label when its distance does not
// fit 16 bits.
struct Instr {
  uint8_t op = 0;
  int32_t value = 0;
  const Symbol* sym = nullptr;
  bool hasText = false;
  std::string text;
  std::vector<int> targets;  // labels: one per relative target
  uint16_t extra = 0;        // OpOnErrorGoto: the error number it handles (0 all)
};

// The instructions of one procedure with their jump labels.
class CodeBuffer {
 public:
  int NewLabel() {
    labels_.push_back(-1);
    return static_cast<int>(labels_.size()) - 1;
  }
  // The label stands for the next instruction emitted.
  void Bind(int label) { labels_[label] = static_cast<int>(code_.size()); }
  Instr& Emit(uint8_t op, int32_t value = 0) {
    code_.push_back(Instr{});
    code_.back().op = op;
    code_.back().value = value;
    return code_.back();
  }
  Instr& EmitSym(uint8_t op, const Symbol* s) {
    Instr& i = Emit(op);
    i.sym = s;
    return i;
  }
  Instr& EmitText(uint8_t op, std::string text) {
    Instr& i = Emit(op);
    i.hasText = true;
    i.text = std::move(text);
    return i;
  }
  Instr& EmitJump(uint8_t op, int label) {
    Instr& i = Emit(op);
    i.targets.push_back(label);
    return i;
  }

  const std::vector<Instr>& code() const { return code_; }
  // Option Compare NoCase: comparisons take their second form, which the
  // runner makes ignore case.
  void UseTextComparisons() {
    for (Instr& i : code_) {
      if (i.op >= kOpLt && i.op <= kOpNe) i.op = static_cast<uint8_t>(i.op + (op::kLt2 - op::kLt));
    }
  }
  // Index of the instruction a label stands for (-1 while unbound).
  int LabelIndex(int label) const { return labels_[label]; }
  size_t LabelCount() const { return labels_.size(); }

 private:
  std::vector<Instr> code_;
  std::vector<int> labels_;
};

// Where symbol and string operands get their 16-bit handles.
class HandleSource {
 public:
  virtual ~HandleSource() = default;
  virtual uint16_t SymbolHandle(const Symbol& s) = 0;
  virtual uint16_t StringHandle(const std::string& text) = 0;
};

// Encodes `code` as one procedure's byte code. `offsets` receives the byte
// position of every instruction, relative to the procedure start. Fails with
// a message when a jump does not fit its signed 16-bit distance, a label is
// unbound or an opcode is not in the instruction set.
[[nodiscard]] bool Assemble(const CodeBuffer& code, HandleSource& handles, std::vector<uint8_t>& bytes,
                            std::vector<int>& offsets, std::string& error);

// The instruction objects of assembled byte code, read back through the
// instruction-set table (offsets relative to `bytes`). False when the bytes
// do not read as whole instructions.
[[nodiscard]] bool ReadInstructions(std::span<const uint8_t> bytes, InstructionList& list);

}  // namespace quillet::lsc
