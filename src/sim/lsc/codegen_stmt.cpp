// Code of statements. Every source line with code starts with OpLine, every
// statement ends with OpStmtSep, compound statements end with a separator of
// their own and the End Sub line with its OpLine, so that no jump ever
// targets the end of the procedure.
#include "sim/lsc/codegen.h"
#include "sim/lsc/module_writer.h"
#include "sim/lsrun/value.h"

namespace quillet::lsc {

void ProcCodegen::Line(int line) {
  if (line == lastLine_) return;
  ForceLine(line);
}

void ProcCodegen::ForceLine(int line) {
  out_.Emit(kOpLine, line);
  lastLine_ = line;
}

int ProcCodegen::LabelOf(const std::string& name) {
  const std::string u = UpperName(name);
  for (size_t i = 0; i < proc_.labels.size(); ++i) {
    if (UpperName(proc_.labels[i]->name) == u) return labels_[i];
  }
  return -1;  // the resolver has refused unknown labels
}

const Symbol* ProcCodegen::LabelSymbol(const std::string& name) const {
  const std::string u = UpperName(name);
  for (const Symbol* l : proc_.labels) {
    if (UpperName(l->name) == u) return l;
  }
  return nullptr;
}

void ProcCodegen::GenBlock(const Block& block) {
  for (const StmtPtr& s : block) GenStmt(*s);
}

// If c1 Then / ElseIf c2 Then / Else / End If:
//   OpLine; c1; OpJZ A1; body1
//   OpLine(ElseIf); OpJmp END; A1: c2; OpJZ A2; body2
//   OpLine(Else); OpJmp END; A2: else-body
//   END: OpStmtSep
void ProcCodegen::GenIf(const Stmt& s) {
  const int end = out_.NewLabel();
  int next = -1;
  for (size_t k = 0; k < s.arms.size(); ++k) {
    const Arm& arm = s.arms[k];
    Line(arm.line);
    if (k > 0) {
      out_.EmitJump(kOpJmp, end);
      out_.Bind(next);
    }
    GenExpr(*arm.cond);
    next = out_.NewLabel();
    out_.EmitJump(kOpJZ, next);
    GenBlock(arm.body);
  }
  if (s.hasElse) {
    Line(s.elseLine);
    out_.EmitJump(kOpJmp, end);
    out_.Bind(next);
    GenBlock(s.elseBody);
  } else {
    out_.Bind(next);
  }
  out_.Bind(end);
  Sep();
}

// Select Case x / Case v1, v2 / Case v3 / Case Else / End Select:
//   OpLine; x
//   OpLine(Case); OpDup; v1; =; OpJNZ M1; OpDup; v2; =; OpJZ N1; M1: OpPop; body1
//   OpJmp END; N1: OpStmtSep
//   OpLine(Case); OpDup; v3; =; OpJZ N2; OpPop; body2
//   OpJmp END; N2: OpPop          (the exit: no Case matched)
//   else-body
//   END: OpStmtSep
namespace {

uint8_t CompareOpcode(const std::string& op) {
  if (op == "<>") return kOpNe;
  if (op == "<") return kOpLt;
  if (op == "<=") return kOpLe;
  if (op == ">") return kOpGt;
  if (op == ">=") return kOpGe;
  return kOpEq;
}

}  // namespace

void ProcCodegen::GenSelect(const Stmt& s) {
  Line(s.line);
  GenExpr(*s.value);
  const int end = out_.NewLabel();
  for (size_t k = 0; k < s.arms.size(); ++k) {
    const Arm& arm = s.arms[k];
    Line(arm.line);
    const int match = out_.NewLabel();
    const int next = out_.NewLabel();
    for (size_t v = 0; v < arm.values.size(); ++v) {
      const Expr& value = *arm.values[v];
      const bool last = v + 1 == arm.values.size();
      const bool isTest = value.kind == ExprKind::kBinary && !value.left;
      const bool range = value.kind == ExprKind::kBinary && value.op == "TO";
      if (range) {
        // low To high: below low goes on to the next value (or Case).
        const int skip = last ? next : out_.NewLabel();
        out_.Emit(kOpDup);
        GenExpr(*value.left);
        out_.Emit(kOpGe);
        out_.EmitJump(kOpJZ, skip);
        out_.Emit(kOpDup);
        GenExpr(*value.right);
        out_.Emit(kOpLe);
        out_.EmitJump(last ? kOpJZ : kOpJNZ, last ? next : match);
        if (!last) out_.Bind(skip);
        continue;
      }
      out_.Emit(kOpDup);
      GenExpr(isTest ? *value.right : value);
      out_.Emit(isTest ? CompareOpcode(value.op) : static_cast<uint8_t>(kOpEq));
      out_.EmitJump(last ? kOpJZ : kOpJNZ, last ? next : match);
    }
    out_.Bind(match);
    out_.Emit(kOpPop);
    GenBlock(arm.body);
    out_.EmitJump(kOpJmp, end);
    out_.Bind(next);
    // Between Case clauses a separator keeps the next clause's OpDup from
    // following a jump directly.
    if (k + 1 < s.arms.size()) Sep();
  }
  out_.Emit(kOpPop);
  GenBlock(s.elseBody);
  out_.Bind(end);
  Sep();
}

// While c / Wend and Do While|Until c / Loop:
//   OpLine; HEAD: OpStmtSep; c; OpJZ|OpJNZ EXIT; body; OpLine(Wend); OpJmp HEAD; EXIT: OpStmtSep
void ProcCodegen::GenWhile(const Stmt& s) {
  const int head = out_.NewLabel();
  const int exit = out_.NewLabel();
  Line(s.line);
  out_.Bind(head);
  Sep();
  GenExpr(*s.value);
  out_.EmitJump(s.kind == StmtKind::kDo && s.doUntil ? kOpJNZ : kOpJZ, exit);
  loops_.push_back({s.kind == StmtKind::kDo ? ExitKind::kDo : ExitKind::kSub, exit});
  GenBlock(s.body);
  loops_.pop_back();
  Line(s.endLine);
  out_.EmitJump(kOpJmp, head);
  out_.Bind(exit);
  Sep();
}

// Do / Loop While|Until c (and Do / Loop):
//   OpLine; HEAD: OpStmtSep; body; OpLine(Loop); c; OpJNZ|OpJZ HEAD (or OpJmp HEAD); EXIT: OpStmtSep
void ProcCodegen::GenDo(const Stmt& s) {
  if (s.doTestAtTop) return GenWhile(s);
  const int head = out_.NewLabel();
  const int exit = out_.NewLabel();
  Line(s.line);
  out_.Bind(head);
  Sep();
  loops_.push_back({ExitKind::kDo, exit});
  GenBlock(s.body);
  loops_.pop_back();
  Line(s.endLine);
  if (s.value) {
    GenExpr(*s.value);
    out_.EmitJump(s.doUntil ? kOpJZ : kOpJNZ, head);
  } else {
    out_.EmitJump(kOpJmp, head);
  }
  out_.Bind(exit);
  Sep();
}

// For v = a To b Step c / Next:
//   OpLine; &v; a; b; c; OpFor EXIT; HEAD: body; OpLine(Next); OpNext HEAD; EXIT: OpStmtSep
void ProcCodegen::GenFor(const Stmt& s) {
  const int head = out_.NewLabel();
  const int exit = out_.NewLabel();
  Line(s.line);
  GenPtr(*s.target);
  GenExpr(*s.value);
  GenExpr(*s.limit);
  if (s.step) {
    GenExpr(*s.step);
  } else {
    out_.Emit(kOpInteger, 1);
  }
  out_.EmitJump(kOpFor, exit);
  out_.Bind(head);
  loops_.push_back({ExitKind::kFor, exit});
  GenBlock(s.body);
  loops_.pop_back();
  Line(s.endLine);
  out_.EmitJump(kOpNext, head);
  out_.Bind(exit);
  Sep();
}

// ForAll v In a / End ForAll:
//   OpLine; a; OpForAll v EXIT; HEAD: body; OpLine(End ForAll); OpNextForAll v HEAD; EXIT: OpStmtSep
void ProcCodegen::GenForAll(const Stmt& s) {
  const int head = out_.NewLabel();
  const int exit = out_.NewLabel();
  Line(s.line);
  GenExpr(*s.value);
  out_.EmitJump(kOpForAll, exit).sym = s.target->sym;
  out_.Bind(head);
  loops_.push_back({ExitKind::kForAll, exit});
  GenBlock(s.body);
  loops_.pop_back();
  Line(s.endLine);
  out_.EmitJump(kOpNextForAll, head).sym = s.target->sym;
  out_.Bind(exit);
  Sep();
}

void ProcCodegen::GenExit(const Stmt& s) {
  if (s.exitKind == ExitKind::kSub || s.exitKind == ExitKind::kFunction || s.exitKind == ExitKind::kProperty) {
    out_.Emit(kOpExitSub);
    return;
  }
  for (auto it = loops_.rbegin(); it != loops_.rend(); ++it) {
    if (it->kind == s.exitKind) {
      out_.EmitJump(kOpJmp, it->exitLabel);
      return;
    }
  }
}

// Only "As New" locals have code: &v; OpLoadCtor C; args; OpCallProc; OpSet.
void ProcCodegen::GenDim(const Stmt& s) {
  bool any = false;
  for (const VarDecl& d : s.decls) {
    if (!d.autoNew || !d.sym || !d.sym->classType) continue;
    if (!any) Line(s.line);
    if (any) Sep();
    any = true;
    GenVariable(*d.sym, true);
    out_.EmitSym(kOpLoadCtor, d.sym->classType);
    for (const ExprPtr& a : d.newArgs) GenExpr(*a);
    out_.Emit(kOpCallProc);
    out_.Emit(kOpSet);
  }
  if (any) Sep();
}

// With o / body / End With:
//   OpLine; hidden ref; o; OpSet; OpStmtSep; body
//   OpLine(End With); hidden ref; OpNothing; OpSet; OpStmtSep
// The End With line lets go of the object, as the block's end does.
void ProcCodegen::GenWith(const Stmt& s) {
  Line(s.line);
  GenPtr(*s.target);
  GenExpr(*s.value);
  out_.Emit(kOpSet);
  Sep();
  GenBlock(s.body);
  Line(s.endLine);
  GenPtr(*s.target);
  out_.Emit(kOpNothing);
  out_.Emit(kOpSet);
  Sep();
}

void ProcCodegen::GenStmt(const Stmt& s) {
  switch (s.kind) {
    case StmtKind::kIf:
      return GenIf(s);
    case StmtKind::kSelect:
      return GenSelect(s);
    case StmtKind::kWhile:
      return GenWhile(s);
    case StmtKind::kDo:
      return GenDo(s);
    case StmtKind::kFor:
      return GenFor(s);
    case StmtKind::kForAll:
      return GenForAll(s);
    case StmtKind::kDim:
      return GenDim(s);
    case StmtKind::kWith:
      return GenWith(s);
    case StmtKind::kSequence:
      return GenBlock(s.body);
    case StmtKind::kLabel:
      // A label always has a line marker of its own to stand for.
      out_.Bind(LabelOf(s.labels[0]));
      ForceLine(s.line);
      return;
    default:
      break;
  }
  Line(s.line);
  switch (s.kind) {
    case StmtKind::kAssign:
    case StmtKind::kSet:
      GenPtr(*s.target);
      GenExpr(*s.value);
      out_.Emit(s.kind == StmtKind::kSet ? kOpSet : kOpAssign);
      break;
    case StmtKind::kCall:
      GenCall(*s.target, true);
      break;
    case StmtKind::kPrint:
      for (const ExprPtr& item : s.items) GenExpr(*item);
      out_.Emit(s.printNoNewline ? kOpPrintNoCR : kOpPrint, static_cast<int32_t>(s.items.size()));
      break;
    case StmtKind::kExit:
      GenExit(s);
      break;
    case StmtKind::kGoTo:
      out_.EmitJump(kOpJmp, LabelOf(s.labels[0])).sym = LabelSymbol(s.labels[0]);
      break;
    case StmtKind::kGoSub:
      out_.EmitJump(kOpGosub, LabelOf(s.labels[0]));
      break;
    case StmtKind::kReturn:
      out_.Emit(kOpReturn);
      break;
    case StmtKind::kOnGoTo:
    case StmtKind::kOnGoSub: {
      GenExpr(*s.value);
      Instr& in = out_.Emit(s.kind == StmtKind::kOnGoTo ? kOpOnGoto : kOpOnGosub);
      for (const std::string& l : s.labels) in.targets.push_back(LabelOf(l));
      break;
    }
    case StmtKind::kOnErrorGoTo: {
      Instr& in = out_.EmitJump(kOpOnErrorGoto, LabelOf(s.labels[0]));
      in.sym = LabelSymbol(s.labels[0]);
      in.extra = static_cast<uint16_t>(s.errorNumber);
      break;
    }
    case StmtKind::kOnErrorGoTo0:
      out_.Emit(kOpOnErrorGoto0, s.errorNumber);
      break;
    case StmtKind::kOnErrorResumeNext:
      out_.Emit(kOpOnErrorResume, s.errorNumber);
      break;
    case StmtKind::kResume0:
      out_.Emit(kOpResume0);
      break;
    case StmtKind::kEnd:
      out_.Emit(kOpEnd);
      break;
    case StmtKind::kReDim:
      // The array's reference, its bounds; the operand is the element type.
      // The operand is the element type with the number of dimensions.
      GenVariable(*s.target->sym, true);
      for (const ExprPtr& bound : s.items) GenExpr(*bound);
      out_.Emit(s.preserve ? kOpRedimPreserve : kOpRedim,
                static_cast<int32_t>(ElementTypeWord(*s.target->sym) | (s.items.size() / 2 - 1) << lsrun::type_word::kRedimDimsShift));
      break;
    case StmtKind::kErase:
      if (s.target->hasArgs) {
        GenPtr(*s.target);  // the element's reference: Erase takes it out of its list
      } else {
        GenVariable(*s.target->sym, true);
      }
      out_.Emit(kOpErase);
      break;
    case StmtKind::kError:
      GenExpr(*s.value);
      if (!s.items.empty()) GenExpr(*s.items[0]);
      out_.Emit(s.items.empty() ? kOpErrorStmt : kOpErrorStmtWithArg);
      break;
    case StmtKind::kErrSet:
      GenExpr(*s.value);
      out_.Emit(kOpErrStmt);
      break;
    case StmtKind::kResumeNext:
      out_.Emit(kOpResumeNext);
      break;
    case StmtKind::kResumeLabel:
      out_.EmitJump(kOpResumeLabel, LabelOf(s.labels[0]));
      break;
    default:
      break;
  }
  Sep();
}

void ProcCodegen::Run(std::vector<int>& labelIndex) {
  for (size_t i = 0; i < proc_.labels.size(); ++i) labels_.push_back(out_.NewLabel());
  GenBlock(proc_.proc->body);
  // The End Sub line has a marker too: every jump target then has an
  // instruction after it, and an empty procedure is a line and its end.
  Line(proc_.proc->endLine);
  out_.Emit(kOpEndSub);
  labelIndex.clear();
  for (int l : labels_) labelIndex.push_back(out_.LabelIndex(l));
}

void GenerateProcedure(const Symbol& proc, CodeBuffer& out, std::vector<int>& labelIndex) {
  ProcCodegen(proc, out).Run(labelIndex);
}

}  // namespace quillet::lsc
