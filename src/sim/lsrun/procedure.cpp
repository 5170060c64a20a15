// Decoding a procedure and resolving its operands for the interpreter.
#include "sim/lsrun/procedure.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "bytecode/decoder.h"
#include "bytecode/opcodes.h"
#include "bytecode/module_errors.h"
#include "sim/lsrun/operators.h"
#include "sim/lsrun/ops.h"

namespace quillet::lsrun {
namespace {

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

// Decodes from `start` up to and including the OpEndSub with the byte-code
// decoder; its message says what did not decode.
bool Decode(std::span<const uint8_t> code, uint32_t start, InstructionList& list, std::string& error) {
  if (start >= code.size()) {
    error = "code offset " + Hex(start) + " lies outside the byte code";
    return false;
  }
  DecodeCursor cursor{code, static_cast<int32_t>(start), 0};
  try {
    for (;;) {
      std::unique_ptr<COpCode> in = DecodeNext(cursor);
      const bool end = in->opcode() == op::kEndSub;
      list.push_back(std::move(in));
      if (end) return true;
    }
  } catch (const CIllegalArgumentException& e) {
    error = e.Message();
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
  }
}

template <OperandLayout L>
const OperandFields<L>* Fields(const COpCode& in) {
  return dynamic_cast<const OperandFields<L>*>(&in);
}

uint16_t HandleOperand(const COpCode& in) {
  if (auto f = Fields<OperandLayout::kU16>(in)) return f->operand;
  if (auto f = dynamic_cast<const OpForAll*>(&in)) return f->operand;
  if (auto f = dynamic_cast<const OpNextForAll*>(&in)) return LoadU16(f->skipped.data());
  return 0;
}

uint8_t SubOperand(const COpCode& in) {
  auto f = Fields<OperandLayout::kU8>(in);
  return f ? f->subOperand : 0;
}

// The absolute byte target of a single-target jump.
bool JumpTarget(const COpCode& in, int32_t& target) {
  if (dynamic_cast<const OpLongJmp*>(&in)) return false;
  if (auto j = dynamic_cast<const OpJmp*>(&in)) return (target = j->target(), true);
  if (auto j = dynamic_cast<const OpForAll*>(&in)) return (target = j->target(), true);
  if (auto j = dynamic_cast<const OpNextForAll*>(&in)) return (target = j->target(), true);
  if (auto j = dynamic_cast<const OpOnErrorGoto*>(&in)) return (target = j->target(), true);
  if (auto f = Fields<OperandLayout::kRel16>(in)) return (target = in.offset + in.branchSize() + f->relTarget, true);
  return false;
}

// A numeric literal's text: a Long, or with a fraction or exponent a Double;
// a trailing suffix (! # @ & %) gives the type.
bool ParseNumber(std::string text, Value& out) {
  if (text.empty()) return false;
  const char suffix = text.back();
  if (suffix == '!' || suffix == '#' || suffix == '@' || suffix == '&' || suffix == '%') {
    text.pop_back();
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') return false;
    Value typed = Value::Double(d);
    const SlotType type = suffix == '!' ? SlotType::kSingle : suffix == '@' ? SlotType::kCurrency
                          : suffix == '&' ? SlotType::kLong : suffix == '%' ? SlotType::kInteger : SlotType::kDouble;
    return Convert(typed, type, out) == 0;
  }
  char* end = nullptr;
  errno = 0;
  const long long i = std::strtoll(text.c_str(), &end, 10);
  if (*end == '\0' && errno == 0 && i >= INT32_MIN && i <= INT32_MAX) {
    out = Value::Long(static_cast<int32_t>(i));
    return true;
  }
  const double d = std::strtod(text.c_str(), &end);
  if (*end != '\0') return false;
  out = Value::Double(d);
  return true;
}

class Preparer {
 public:
  Preparer(const ModuleView& view, const ProcedureInfo& info, size_t globalSlots, Procedure& out, std::string& error)
      : view_(view), info_(info), globalSlots_(globalSlots), out_(out), error_(error) {}

  bool Run();

 private:
  bool Fail(const COpCode& in, const std::string& what) {
    error_ = what + " at offset " + Hex(static_cast<uint32_t>(in.offset));
    return false;
  }
  bool IndexOf(const COpCode& in, int32_t target, int32_t& index);
  bool Variable(const COpCode& in, VariableInfo& v);
  bool Translate(size_t i, const COpCode& in, Insn& x);
  // The simple load `x` as a fused step reads it.
  SimpleLoad Simple(const Insn& x);
  // Whether instruction `i` starts a call whose arguments are all simple
  // loads up to its OpCallProc, with no jump into it; then its arguments and
  // span.
  bool SimpleCall(size_t i, std::vector<SimpleLoad>& args, int32_t& span);
  void FuseNativeCalls();
  void FuseAssignments();
  void CountMarkers();
  void ConvertConstants(uint32_t declaration, NativeCall& call) const;
  void ConvertConstants(uint32_t classOffset, Construction& make) const;
  // `args` converted to `types` when every one is a constant that converts.
  bool ConvertedConstants(const std::vector<SimpleLoad>& args, const std::vector<SlotType>& types,
                          std::vector<Value>& converted) const;
  void ChainAssignments();
  bool Targeted(size_t from, size_t to) const;
  template <int Op>
  bool TargetList(const COpCode& in, const OnTargetList<Op>& list, Insn& x) {
    std::vector<int32_t> targets;
    for (int k = 0; k < list.count(); ++k) {
      int32_t index = 0;
      if (!IndexOf(in, list.target(k), index)) return false;
      targets.push_back(index);
    }
    x.a = static_cast<int32_t>(out_.targetLists.size());
    out_.targetLists.push_back(std::move(targets));
    return true;
  }

  const ModuleView& view_;
  const ProcedureInfo& info_;
  size_t globalSlots_;
  Procedure& out_;
  std::string& error_;
  std::vector<int32_t> targets_;  // every instruction a jump goes to
};

bool Preparer::IndexOf(const COpCode& in, int32_t target, int32_t& index) {
  auto it = std::lower_bound(out_.offsets.begin(), out_.offsets.end(), target);
  if (it == out_.offsets.end() || *it != target) return Fail(in, "jump to " + Hex(static_cast<uint32_t>(target)) + ", not the start of an instruction of the procedure,");
  index = static_cast<int32_t>(it - out_.offsets.begin());
  targets_.push_back(index);
  return true;
}

bool Preparer::Variable(const COpCode& in, VariableInfo& v) {
  if (!view_.ReadVariable(view_.Resolve(HandleOperand(in)), v)) return Fail(in, "operand is not a variable entry");
  return true;
}

bool Preparer::Translate(size_t i, const COpCode& in, Insn& x) {
  VariableInfo v;
  switch (x.op) {
    case op::kLine:
      x.line = static_cast<const OpLine&>(in).line;
      return true;
    case op::kGLoadObj:
    case op::kGLoadObjPtr:
      if (!Variable(in, v)) return false;
      if (v.slot / 4u >= globalSlots_) return Fail(in, "module variable slot out of range");
      x.a = v.slot / 4;
      x.type = v.isArray || v.isList ? SlotType::kVariant : v.type;
      return true;
    case op::kLLoadObj:
    case op::kLLoadObjPtr:
      if (view_.Resolve(HandleOperand(in)) == info_.offset && info_.returnsValue) {
        x.a = kResultSlot;
        x.type = info_.resultType;
        return true;
      }
      if (!Variable(in, v)) return false;
      if (v.slot / 4u >= info_.frameSlots) return Fail(in, "local variable slot beyond the frame");
      x.a = v.slot / 4;
      x.type = v.isArray || v.isList ? SlotType::kVariant : v.type;
      return true;
    case op::kPLoadObj:
    case op::kPLoadObjPtr:
      if (!Variable(in, v)) return false;
      if (v.slot >= info_.paramCount) return Fail(in, "parameter index beyond the parameters");
      x.a = v.slot;
      x.type = v.type;
      return true;
    case op::kTLoadObj:
    case op::kTLoadObjPtr:
    case op::kMLoadObj:
    case op::kMLoadObj2:
    case op::kMLoadObjPtr:
      if (!Variable(in, v)) return false;
      x.a = v.slot / 4;
      x.type = v.type;
      return true;
    case op::kAssignLocal:
      // The local whose frame slot is the operand (4 bytes a slot).
      x.a = SubOperand(in);
      if (x.a >= info_.frameSlots) return Fail(in, "local slot beyond the frame");
      return true;
    case op::kLoadProc:
    case op::kLoadCtor:
    case op::kLoadMethod:
    case op::kLoadMeProc:
    case op::kLoadBaseProc:
      x.sym = view_.Resolve(HandleOperand(in));
      x.b = view_.KindAt(x.sym);
      return true;
    case op::kStringLiteral:
    case op::kNumericLiteral: {
      std::string text;
      if (!view_.Text(HandleOperand(in), text)) return Fail(in, "literal names no valid string");
      Value c = Value::String(text);
      if (x.op == op::kNumericLiteral && !ParseNumber(text, c)) return Fail(in, "numeric literal \"" + text + "\" is not a number");
      x.a = static_cast<int32_t>(out_.constants.size());
      out_.constants.push_back(std::move(c));
      return true;
    }
    case op::kInteger:
      if (auto f = Fields<OperandLayout::kS16>(in)) x.a = f->value;
      return true;
    case op::kOnErrorGoto0:
    case op::kOnErrorResume:
      x.b = HandleOperand(in);  // the error number, 0 for every error
      return true;
    case op::kListTag:
      if (!Variable(in, v)) return false;
      if (v.slot / 4u >= info_.frameSlots) return Fail(in, "ListTag of a variable that is not a local of the frame");
      x.c = v.slot / 4;
      return true;
    case op::kRedim:
    case op::kRedimPreserve:
      x.type = SlotTypeOf(HandleOperand(in));  // the element type word
      x.a = ((HandleOperand(in) >> type_word::kRedimDimsShift) & type_word::kRedimDimsMask) + 1;
      x.b = x.type == SlotType::kRecord ? (HandleOperand(in) & type_word::kRecordIndexMask) : -1;
      return true;
    case op::kBuiltinDisp:
    case op::kSByte:
    case op::kPrint:
    case op::kPrintNoCR:
    case op::kLoadElemFromExpr:
      x.a = SubOperand(in);
      return true;
    case op::kLongJmp:
    case op::kOnErrorGoto: {
      // A GoTo through the long jump and On Error GoTo go where the label
      // entry says, as the runtime does; an On Error GoTo naming no label
      // takes its relative target (below).
      uint16_t label = 0;
      if (auto j = dynamic_cast<const OpLongJmp*>(&in)) label = j->longOperand;
      if (auto e = dynamic_cast<const OpOnErrorGoto*>(&in)) {
        label = e->operand;
        x.b = LoadU16(e->skipped.data());  // the error number, 0 for every error
      }
      if (label == 0 && x.op == op::kOnErrorGoto) break;
      uint32_t position = 0;
      if (!view_.LabelPosition(label, position)) return Fail(in, "label operand names no label entry");
      if (position > static_cast<uint32_t>(INT32_MAX)) return Fail(in, "label position beyond the byte code");
      return IndexOf(in, static_cast<int32_t>(position), x.a);
    }
    case op::kOnGoto:
      return TargetList(in, static_cast<const OpOnGoto&>(in), x);
    case op::kOnGosub:
      return TargetList(in, static_cast<const OpOnGosub&>(in), x);
    default:
      break;
  }
  if (x.op >= op::kElemFirst && x.op <= op::kElemLast) {
    x.a = HandleOperand(in);  // the number of subscripts
    return true;
  }
  int32_t target = 0;
  if (!JumpTarget(in, target)) return true;  // no operands the runtime uses
  if (!IndexOf(in, target, x.a)) return false;
  if (x.op == op::kFor) x.b = out_.loopStates++;
  if (x.op == op::kForAll) {
    x.b = out_.forAllStates++;
    if (!Variable(in, v)) return false;
    if (v.slot / 4u >= info_.frameSlots) return Fail(in, "ForAll variable is not a local of the frame");
    x.c = v.slot / 4;
  }
  if (x.op == op::kNext || x.op == op::kNextForAll) {
    // The body starts right after the loop's entry instruction.
    const uint8_t entry = x.op == op::kNext ? op::kFor : op::kForAll;
    if (x.a < 1 || static_cast<size_t>(x.a) > i || out_.code[x.a - 1].op != entry) {
      return Fail(in, x.op == op::kNext ? "Next without its For" : "End ForAll without its ForAll");
    }
    x.b = out_.code[x.a - 1].b;
    x.c = out_.code[x.a - 1].c;
  }
  return true;
}

bool Preparer::Run() {
  if (!info_.hasCode) {
    error_ = "procedure has no code in this module";
    return false;
  }
  InstructionList list;
  if (!Decode(view_.ByteCode(), info_.codeOffset, list, error_)) return false;
  for (const auto& in : list) out_.offsets.push_back(in->offset);
  out_.code.resize(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    Insn& x = out_.code[i];
    // The byte itself: classes standing for several opcodes keep variants apart.
    x.op = view_.ByteCode()[static_cast<size_t>(list[i]->offset)];
    if (!Translate(i, *list[i], x)) return false;
    if (x.op == op::kEndSub) x.fused = Fused::kEnd;
  }
  std::sort(targets_.begin(), targets_.end());
  FuseNativeCalls();
  FuseAssignments();
  CountMarkers();
  ChainAssignments();
  return true;
}

void Preparer::CountMarkers() {
  // From the end, so each marker extends the run that follows it.
  constexpr uint16_t kMaxRun = 0xFFFF;
  int32_t line = -1;
  for (size_t i = out_.code.size(); i-- > 0;) {
    Insn& x = out_.code[i];
    if (x.op != op::kLine && x.op != op::kStmtSep) continue;
    const Insn* after = i + 1 < out_.code.size() ? &out_.code[i + 1] : nullptr;
    const bool extends = after != nullptr && after->markers > 0 && after->markers < kMaxRun;
    x.markers = extends ? static_cast<uint16_t>(after->markers + 1) : 1;
    line = extends ? after->a : -1;
    if (line < 0 && x.op == op::kLine && x.line != 0xFFFF) line = x.line;
    x.a = line;
  }
}


// A load that reads a slot and cannot change anything.
bool IsSimpleLoad(uint8_t op) {
  switch (op) {
    case op::kInteger:
    case op::kStringLiteral:
    case op::kNumericLiteral:
    case op::kGLoadObj:
    case op::kLLoadObj:
    case op::kPLoadObj:
    case op::kTLoadObj:
      return true;
    default:
      return false;
  }
}

SimpleLoad Preparer::Simple(const Insn& x) {
  if (x.op != op::kInteger) return {x.op, x.a};
  out_.constants.push_back(Value::Integer(static_cast<int16_t>(x.a)));
  return {op::kNumericLiteral, static_cast<int32_t>(out_.constants.size() - 1)};
}

// Whether a jump goes to an instruction in (from, to].
bool Preparer::Targeted(size_t from, size_t to) const {
  auto t = std::upper_bound(targets_.begin(), targets_.end(), static_cast<int32_t>(from));
  return t != targets_.end() && *t <= static_cast<int32_t>(to);
}

bool Preparer::SimpleCall(size_t i, std::vector<SimpleLoad>& args, int32_t& span) {
  const size_t n = out_.code.size();
  size_t j = i + 1;
  while (j < n && IsSimpleLoad(out_.code[j].op)) ++j;
  if (j >= n || out_.code[j].op != op::kCallProc || Targeted(i, j)) return false;
  for (size_t k = i + 1; k < j; ++k) args.push_back(Simple(out_.code[k]));
  span = static_cast<int32_t>(j - i);
  return true;
}

void Preparer::FuseNativeCalls() {
  for (Insn& x : out_.code) {
    const size_t i = static_cast<size_t>(&x - out_.code.data());
    NativeCall call;
    if (x.op == op::kLoadProc && view_.KindAt(x.sym) == kind::kDeclaration && SimpleCall(i, call.args, call.span)) {
      ConvertConstants(x.sym, call);
      out_.nativeCalls.push_back(std::move(call));
      x.c = static_cast<int32_t>(out_.nativeCalls.size());
      x.fused = Fused::kNativeCall;
    }
    Construction make;
    if (x.op == op::kLoadCtor && view_.KindAt(x.sym) == kind::kClass && SimpleCall(i, make.args, make.span)) {
      ConvertConstants(x.sym, make);
      out_.constructions.push_back(std::move(make));
      x.c = static_cast<int32_t>(out_.constructions.size());
      x.fused = Fused::kConstruct;
    }
  }
}

void Preparer::ConvertConstants(uint32_t declaration, NativeCall& call) const {
  DeclarationInfo decl;
  if (!view_.ReadDeclaration(declaration, decl)) return;
  call.constant = ConvertedConstants(call.args, decl.paramTypes, call.converted);
}

void Preparer::ConvertConstants(uint32_t classOffset, Construction& make) const {
  // The New that runs: the class's own or its nearest base's.
  ClassInfo cls;
  for (size_t depth = 0; classOffset != 0 && depth < kMaxClassChain; ++depth, classOffset = cls.base) {
    if (!view_.ReadClass(classOffset, cls)) return;
    if (cls.ctor == 0) continue;
    ProcedureInfo ctor;
    if (!view_.ReadProcedure(cls.ctor, ctor)) return;
    make.constant = ConvertedConstants(make.args, ctor.paramTypes, make.converted);
    return;
  }
}

bool Preparer::ConvertedConstants(const std::vector<SimpleLoad>& args, const std::vector<SlotType>& types,
                                  std::vector<Value>& converted) const {
  if (types.size() != args.size()) return false;
  std::vector<Value> values(args.size());
  for (size_t k = 0; k < args.size(); ++k) {
    const SimpleLoad& a = args[k];
    if (a.op != op::kStringLiteral && a.op != op::kNumericLiteral) return false;
    // A constant that does not convert raises its error when the call runs.
    if (Convert(out_.constants[static_cast<size_t>(a.a)], types[k], values[k]) != 0) return false;
  }
  converted = std::move(values);
  return true;
}

void Preparer::FuseAssignments() {
  const size_t n = out_.code.size();
  for (size_t i = 0; i + 2 < n; ++i) {
    Insn& x = out_.code[i];
    // Set x = New C(...): the reference load, the fused New and OpSet.
    const Insn& make = out_.code[i + 1];
    if (IsReferenceLoad(x.op) && make.op == op::kLoadCtor && make.c > 0) {
      const size_t set = i + 1 + static_cast<size_t>(out_.constructions[make.c - 1].span) + 1;
      if (set < n && out_.code[set].op == op::kSet && !Targeted(i, set)) {
        x.b = make.c;
        x.fused = Fused::kSetNew;
        out_.constructions[make.c - 1].stored = true;
      }
      continue;
    }
    if (!IsReferenceLoad(x.op) || !IsSimpleLoad(out_.code[i + 1].op) || out_.code[i + 2].op != op::kAssign || Targeted(i, i + 2)) {
      continue;
    }
    out_.assignments.push_back({Simple(out_.code[i + 1])});
    x.c = static_cast<int32_t>(out_.assignments.size());
    x.fused = Fused::kAssignment;
  }
}

void Preparer::ChainAssignments() {
  // From the end, so each assignment extends the run after it. A jump into
  // the run lands on an assignment that starts a run of its own, or on a
  // marker before one: entering there runs the rest as it would have.
  const size_t n = out_.code.size();
  for (size_t i = n; i-- > 0;) {
    const Insn& x = out_.code[i];
    if (x.fused != Fused::kAssignment) continue;
    size_t j = i + 3;
    int32_t between = 0;
    if (j < n && out_.code[j].markers > 0) {
      between = out_.code[j].markers;
      j += static_cast<size_t>(between);
    }
    if (j >= n || out_.code[j].fused != Fused::kAssignment) continue;
    const Assignment& after = out_.assignments[static_cast<size_t>(out_.code[j].c - 1)];
    Assignment& a = out_.assignments[static_cast<size_t>(x.c - 1)];
    a.run = after.run + 1;
    a.runSteps = 3 + between + after.runSteps;
    a.between = between;
    a.lineAfter = between > 0 ? out_.code[i + 3].a : -1;
  }
}

}  // namespace

int32_t Procedure::NextStatement(int32_t i) const {
  const int32_t n = static_cast<int32_t>(code.size());
  for (int32_t j = i + 1; j < n; ++j) {
    if (code[j].op == op::kLine || code[j - 1].op == op::kStmtSep) return j;
  }
  return n - 1;
}

int32_t Procedure::StatementStart(int32_t i) const {
  for (int32_t j = i; j > 0; --j) {
    if (code[j].op == op::kLine || code[j - 1].op == op::kStmtSep) return j;
  }
  return 0;
}

bool PrepareProcedure(const ModuleView& view, const ProcedureInfo& info, size_t globalSlots, Procedure& out,
                      std::string& error) {
  out = Procedure{};
  out.info = info;
  return Preparer(view, info, globalSlots, out, error).Run();
}

namespace {

bool IsFixedScalar(const VariableInfo& v) {
  if (v.isArray || v.isList) return false;
  switch (v.type) {
    case SlotType::kInteger:
    case SlotType::kLong:
    case SlotType::kDouble:
    case SlotType::kSingle:
    case SlotType::kCurrency:
    case SlotType::kBoolean:
    case SlotType::kByte:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool IsLean(const Procedure& proc) {
  if (proc.loopStates != 0 || proc.forAllStates != 0 || !proc.freshLocals.empty()) return false;
  // A local of a fixed scalar type never holds a counted value; a Variant,
  // String or object local may, and its release may run a destructor.
  for (const VariableInfo& v : proc.info.locals) {
    if (!IsFixedScalar(v)) return false;
  }
  for (const Value& v : proc.localDefaults) {
    if (v.type() >= Value::Type::kString) return false;
  }
  for (const Insn& in : proc.code) {
    switch (in.op) {
      case op::kGosub:
      case op::kOnGosub:
      case op::kOnErrorGoto:
      case op::kOnErrorGoto0:
      case op::kOnErrorResume:
        return false;
      default:
        break;
    }
  }
  return true;
}

}  // namespace quillet::lsrun
