// The eight control-structure marking passes. Every target is resolved through
// one InstructionIndex, and the two searches of the passes (the forward scan
// of a case dispatch, the backward search for an Else jump) use tables built
// once, so marking a procedure is O(n log n) instead of quadratic.
#include <cctype>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bytecode/opcode_jumps.h"
#include "bytecode/opcode_misc.h"
#include "bytecode/marking.h"
#include "util/ascii.h"

namespace quillet {
namespace {

constexpr std::string_view kEndIf = "End If";
constexpr std::string_view kEndSelect = "End Select";

// OpJmp kinds and mark values set here (see opcode_jumps.h, opcode_misc.h).
enum JumpKind : int { kBackEdge = 1, kSelectExit, kStructural, kOverElse, kAfterNext, kAfterNextForAll,
                      kAfterBackEdge, kCaseDispatch, kCaseReturn };
enum ConditionalMark : int32_t { kLoopBackEdge = 1, kTestedByBackEdge, kBeforePopOrDup, kIfTest, kIfTestEndKnown };
enum SeparatorMark : int32_t { kLoopHead = 1, kEndIfSep, kEndSelectSep, kCaseSep };

// Every instruction is looked at through its opcode; the instruction-set table
// gives each of these opcodes exactly one class.
bool Is(const COpCode& x, int code) { return x.opcode() == code; }
bool IsLineOrSep(const COpCode& x) { return Is(x, op::kLine) || Is(x, op::kStmtSep); }
OpJmp& Jmp(COpCode& x) { return static_cast<OpJmp&>(x); }
OpJZ& JZ(COpCode& x) { return static_cast<OpJZ&>(x); }
OpJNZ& JNZ(COpCode& x) { return static_cast<OpJNZ&>(x); }
OpStmtSep& Sep(COpCode& x) { return static_cast<OpStmtSep&>(x); }
OpLine& Line(COpCode& x) { return static_cast<OpLine&>(x); }
OpPop& Pop(COpCode& x) { return static_cast<OpPop&>(x); }

bool HasAnnotation(const OpLine& line, std::string_view text) {
  for (const auto& entry : line.annotations) {
    if (AsciiEqualNoCase(entry.second, text)) return true;
  }
  return false;
}

class Marker {
 public:
  Marker(InstructionList& list, const InstructionArrays& arrays, const LabelLookup& isLabel, int32_t procedure)
      : list_(list), n_(static_cast<long>(list.size())), index_(list, arrays), isLabel_(isLabel), procedure_(procedure) {
    // The passes that visit one kind of instruction walk its indices, found
    // once; pass 7 walks every instruction it has a rule for, in list order.
    for (long i = 0; i < n_; ++i) {
      switch (Op(i)) {
        case op::kJmp: jmps_.push_back(i); shapes_.push_back(i); break;
        case op::kJZ: jzs_.push_back(i); shapes_.push_back(i); break;
        case op::kJNZ: jnzs_.push_back(i); shapes_.push_back(i); break;
        case op::kDup: case op::kPop: shapes_.push_back(i); break;
        default: break;
      }
    }
  }

  void Run() {
    MarkNonLabelJumps();
    MarkConditionalBackEdges(op::kJZ);
    MarkConditionalBackEdges(op::kJNZ);
    MarkJumpBackEdges();
    ClassifyStructuralJumps();
    MarkCaseDispatches();
    MarkNeighbourShapes();
    MarkIfTests();
  }

 private:
  // The instruction at `i`; an index outside the list is the library's
  // out-of-range error, which the caller turns into a failed decode.
  COpCode& At(long i) const {
    if (i < 0 || i >= n_) throw std::out_of_range("instruction index outside the procedure");
    return *list_[static_cast<size_t>(i)];
  }
  // The opcode at `i`, from the index's array. REQUIRES: 0 <= i < n_.
  int Op(long i) const { return index_.Opcode(static_cast<size_t>(i)); }
  // Visits the OpJmp, OpJZ or OpJNZ instructions in list order.
  template <typename Visit>
  void ForEach(int code, Visit visit) {
    const std::vector<long>& at = code == op::kJmp ? jmps_ : code == op::kJZ ? jzs_ : jnzs_;
    for (const long i : at) visit(i, *list_[static_cast<size_t>(i)]);
  }

  // 1. Jumps that are no GoTo to a label are structural.
  void MarkNonLabelJumps() {
    ForEach(op::kJmp, [&](long, COpCode& x) {
      if (!isLabel_(Jmp(x).target())) Jmp(x).setKind(kStructural);
    });
  }

  // 2, 3. A conditional jump back to a separator closes a loop.
  void MarkConditionalBackEdges(int code) {
    ForEach(code, [&](long, COpCode& x) {
      const int32_t target = code == op::kJZ ? JZ(x).target() : JNZ(x).target();
      if (target >= x.offset) return;
      COpCode& head = index_.InstructionAt(target);
      if (!Is(head, op::kStmtSep)) return;
      (code == op::kJZ ? JZ(x).mark : JNZ(x).mark) = kLoopBackEdge;
      Sep(head).mark = kLoopHead;
    });
  }

  // 4. An unconditional jump back to a separator closes a loop; the loop head
  // is marked when a statement starts there, else the loop's test is.
  void MarkJumpBackEdges() {
    ForEach(op::kJmp, [&](long, COpCode& x) {
      OpJmp& jmp = Jmp(x);
      if (jmp.target() >= jmp.offset) return;
      COpCode& head = index_.InstructionAt(jmp.target());
      if (!Is(head, op::kStmtSep)) return;
      jmp.setKind(kBackEdge);
      const int i = index_.IndexAt(jmp.target());
      if (IsLineOrSep(At(i + 1))) {
        Sep(head).mark = kLoopHead;
        return;
      }
      const int test = index_.NextConditionalJumpAfter(i);
      if (test < 0) return;
      COpCode& c = At(test);
      (Is(c, op::kJZ) ? JZ(c).mark : JNZ(c).mark) = kTestedByBackEdge;
    });
  }

  // 5. A structural jump landing right after a loop end leaves that loop.
  void ClassifyStructuralJumps() {
    ForEach(op::kJmp, [&](long, COpCode& x) {
      OpJmp& jmp = Jmp(x);
      if (jmp.kind() != kStructural) return;
      COpCode& before = At(index_.IndexAt(jmp.target()) - 1);
      if (Is(before, op::kNext)) {
        jmp.setKind(kAfterNext);
      } else if (Is(before, op::kNextForAll)) {
        jmp.setKind(kAfterNextForAll);
      } else if ((Is(before, op::kJmp) && Jmp(before).kind() == kBackEdge) ||
                 (Is(before, op::kJNZ) && JNZ(before).mark == kLoopBackEdge) ||
                 (Is(before, op::kJZ) && JZ(before).mark == kLoopBackEdge)) {
        jmp.setKind(kAfterBackEdge);
      }
    });
  }

  // 6. A structural jump whose target code runs, without a statement boundary
  // or conditional jump, into a jump back to just after it dispatches a Case.
  void MarkCaseDispatches() {
    if (jmps_.empty()) return;
    // stop[k]: the first index >= k holding an instruction that ends the scan
    // (line, separator or any jump), n when none does.
    std::vector<long> stop(static_cast<size_t>(n_) + 1, n_);
    for (long k = n_; k-- > 0;) {
      const int x = Op(k);
      const bool ends = x == op::kLine || x == op::kStmtSep || x == op::kJZ || x == op::kJNZ || x == op::kJmp;
      stop[static_cast<size_t>(k)] = ends ? k : stop[static_cast<size_t>(k) + 1];
    }
    ForEach(op::kJmp, [&](long i, COpCode& x) {
      OpJmp& jmp = Jmp(x);
      if (jmp.kind() != kStructural) return;
      long j = index_.IndexAt(jmp.target());
      if (Is(At(j), op::kStmtSep)) ++j;
      const long k = stop[static_cast<size_t>(j)];
      if (k >= n_ || !Is(At(k), op::kJmp)) return;
      OpJmp& back = Jmp(At(k));
      if (back.target() != At(i + 1).offset) return;
      std::vector<int32_t> clause;
      clause.reserve(static_cast<size_t>(k - j));
      for (long c = j; c < k; ++c) clause.push_back(At(c).offset);
      jmp.setCaseTargets(clause, 1, procedure_);
      back.setKind(kCaseReturn);
    });
  }

  // 7. Shapes recognised from an instruction and its neighbours.
  void MarkNeighbourShapes() {
    for (const long j : shapes_) {
      const int next = j + 1 < n_ ? Op(j + 1) : -1;
      switch (Op(j)) {
        case op::kJZ:
          if (next == op::kPop) JZ(At(j)).mark = kBeforePopOrDup;
          break;
        case op::kJNZ:
          if (next == op::kDup) JNZ(At(j)).mark = kBeforePopOrDup;
          break;
        case op::kJmp:
          if (next == op::kPop) {
            COpCode& x = At(j);
            Jmp(x).setKind(kSelectExit);
            COpCode& end = index_.InstructionAt(Jmp(x).target());
            if (Is(end, op::kLine)) {
              Line(end).AddAnnotation(x.offset, std::string(kEndSelect));
            } else if (Is(end, op::kStmtSep)) {
              Sep(end).mark = kEndSelectSep;
            }
          }
          break;
        case op::kDup:
          if (j > 1) {
            COpCode& twoBack = At(j - 2);
            if (!Is(twoBack, op::kJmp) || Jmp(twoBack).kind() == kCaseDispatch) {
              COpCode& clause = At(j - 1);
              if (Is(clause, op::kLine)) {
                Line(clause).isCaseLine = 1;
              } else if (Is(clause, op::kStmtSep)) {
                Sep(clause).mark = kCaseSep;
              }
            }
          }
          break;
        case op::kPop:
          if (j > 0 && Op(j - 1) != op::kJmp && Op(j - 1) != op::kJZ) Pop(At(j)).mark = 1;
          break;
        default:
          break;
      }
    }
  }

  // 8. Forward tests followed by a statement are If tests; the statement where
  // the If ends gets "End If" (a line) or mark 2 (a separator).
  void MarkIfTests() {
    // Jumps of kind 4 by target; only this pass sets or clears kind 4.
    std::unordered_map<int32_t, std::set<long>> overElse;
    for (const long j : jzs_) {
      if (j + 1 >= n_) break;
      OpJZ& z = JZ(At(j));
      if (!IsLineOrSep(At(j + 1)) || z.target() < z.offset || z.mark != 0) continue;
      z.mark = kIfTest;
      const long t = index_.IndexAt(z.target());
      COpCode& before = At(t - 1);
      const bool overElsePart = Is(before, op::kJmp) && Jmp(before).kind() == kStructural;
      const long e = overElsePart ? index_.IndexAt(Jmp(before).target()) - 1 : t;
      COpCode& end = At(e);
      if (!IsLineOrSep(end)) {
        z.mark = 0;
        continue;
      }
      if (overElsePart) {
        Jmp(before).setKind(kOverElse);
        overElse[Jmp(before).target()].insert(t - 1);
      }
      if (e + 1 < n_) {
        const auto found = overElse.find(At(e + 1).offset);
        if (found != overElse.end()) {
          auto below = found->second.lower_bound(t - 1);
          if (below != found->second.begin()) {
            --below;
            Jmp(At(*below)).setKind(kStructural);
            found->second.erase(below);
          }
        }
      }
      if (Is(end, op::kLine)) {
        if (HasAnnotation(Line(end), kEndIf)) {
          z.mark = kIfTestEndKnown;
        } else {
          Line(end).AddAnnotation(z.offset, std::string(kEndIf));
        }
      } else if (Sep(end).mark == kEndIfSep) {
        z.mark = kIfTestEndKnown;
      } else {
        Sep(end).mark = kEndIfSep;
      }
    }
  }

  InstructionList& list_;
  const long n_;
  const InstructionIndex index_;
  const LabelLookup& isLabel_;
  const int32_t procedure_;
  std::vector<long> jmps_, jzs_, jnzs_;  // indices of each kind of jump
  std::vector<long> shapes_;             // indices of jumps, OpDup and OpPop
};

}  // namespace

void MarkControlStructures(InstructionList& list, const LabelLookup& isLabel, int32_t procedure) {
  MarkControlStructures(list, InstructionArrays::Of(list), isLabel, procedure);
}

void MarkControlStructures(InstructionList& list, const InstructionArrays& arrays, const LabelLookup& isLabel,
                           int32_t procedure) {
  if (arrays.offsets.size() != list.size() || arrays.opcodes.size() != list.size()) {
    return MarkControlStructures(list, isLabel, procedure);  // arrays of another list: read them again
  }
  Marker(list, arrays, isLabel, procedure).Run();
}

}  // namespace quillet
