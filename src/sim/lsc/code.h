// Instructions as code generation produces them (operands still symbolic:
// symbols, strings, jump labels) and their assembly into byte code through
// the instruction-set table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "instrument/opcode.h"
#include "sim/lsc/symbols.h"

namespace quillet::lsc {

// Opcode bytes the compiler emits; each equals the row of the same class name
// in the instruction-set table (checked by the tests).
enum Op : uint8_t {
  kOpOnErrorGoto0 = 10, kOpOnErrorGoto = 11, kOpOnErrorResume = 12, kOpResumeNext = 13, kOpResumeLabel = 15,
  kOpLine = 26, kOpStmtSep = 27, kOpExitSub = 28, kOpEndSub = 29,
  kOpCallProc = 35,
  kOpLoadProc = 41, kOpLoadCtor = 42, kOpLoadMethod = 44, kOpLoadMeProc = 47,
  kOpPop = 49, kOpDup = 50, kOpFor = 52, kOpForAll = 53, kOpNext = 54, kOpNextForAll = 55,
  kOpJZ = 56, kOpJNZ = 57, kOpJmp = 58, kOpOnGoto = 59, kOpGosub = 60, kOpOnGosub = 61, kOpReturn = 62,
  kOpPrint = 63, kOpPrintNoCR = 64, kOpLoadMe = 69,
  kOpGLoadObj = 71, kOpTLoadObj = 72, kOpPLoadObj = 73, kOpLLoadObj = 74, kOpMLoadObj = 76,
  kOpGLoadObjPtr = 91, kOpTLoadObjPtr = 92, kOpPLoadObjPtr = 93, kOpLLoadObjPtr = 94, kOpMLoadObjPtr = 95,
  kOpLoadElemFromExpr = 100, kOpElem = 103,
  kOpStringLiteral = 125, kOpNumericLiteral = 126,
  kOpNothing = 129, kOpTrue = 130, kOpFalse = 131,
  kOpInteger = 144,
  kOpUMinus = 159, kOpNot = 160,
  kOpLongJmp = 220,
  kOpAssign = 165, kOpSet = 166,
  kOpAdd = 168, kOpSub = 169, kOpMul = 170, kOpDiv = 171,
  kOpLt = 176, kOpLe = 177, kOpEq = 178, kOpGe = 179, kOpGt = 180, kOpNe = 181,
  kOpIntDiv = 188, kOpMod = 189, kOpExp = 190, kOpConcat = 191,
  kOpImp = 192, kOpEqv = 193, kOpXor = 194, kOpOr = 195, kOpAnd = 196,
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
