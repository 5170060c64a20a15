// The eight control-structure marking passes. Every target is resolved through
// one InstructionIndex, and the two searches of the passes (the forward scan
// of a case dispatch, the backward search for an Else jump) use tables built
// once, so marking a procedure is O(n log n) instead of quadratic.
#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

#include "bytecode/opcode_jumps.h"
#include "bytecode/opcode_misc.h"
#include "bytecode/marking.h"
#include "util/ascii.h"
#include "util/bytes.h"
#include "util/near_search.h"

namespace quillet {
namespace {

constexpr std::string_view kEndIf = "End If";
constexpr std::string_view kEndSelect = "End Select";

// OpJmp kinds and mark values set here (see opcode_jumps.h, opcode_misc.h).
enum JumpKind : int { kBackEdge = 1, kSelectExit, kStructural, kOverElse, kAfterNext, kAfterNextForAll,
                      kAfterBackEdge, kCaseDispatch, kCaseReturn };
enum ConditionalMark : int32_t { kLoopBackEdge = 1, kTestedByBackEdge, kBeforePopOrDup, kIfTest, kIfTestEndKnown };
enum SeparatorMark : int32_t { kLoopHead = 1, kEndIfSep, kEndSelectSep, kCaseSep };

bool HasAnnotation(const OpLine& line, std::string_view text) {
  for (const auto& entry : line.annotations) {
    if (AsciiEqualNoCase(entry.second, text)) return true;
  }
  return false;
}

// The marks kept on the instruction objects of a decoded list. Each accessor
// is given the index of an instruction of the class it names (the passes
// check the opcode first; the instruction-set table gives each of these
// opcodes exactly one class).
class ObjectMarks {
 public:
  explicit ObjectMarks(InstructionList& list) : list_(list) {}

  int32_t Offset(long i) const { return At(i).offset; }
  int32_t Target(long i) const {
    COpCode& x = At(i);
    switch (x.opcode()) {
      case op::kJZ: return static_cast<OpJZ&>(x).target();
      case op::kJNZ: return static_cast<OpJNZ&>(x).target();
      default: return Jmp(i).target();
    }
  }
  int Kind(long i) const { return Jmp(i).kind(); }
  void SetKind(long i, int kind) { Jmp(i).setKind(kind); }
  void SetCaseTargets(long i, const std::vector<int32_t>& clause, int32_t extra, int value) {
    Jmp(i).setCaseTargets(clause, extra, value);
  }
  int32_t ConditionalMark(long i) const { return ConditionalMarkOf(At(i)); }
  void SetConditionalMark(long i, int32_t mark) { ConditionalMarkOf(At(i)) = mark; }
  int32_t SeparatorMark(long i) const { return static_cast<OpStmtSep&>(At(i)).mark; }
  void SetSeparatorMark(long i, int32_t mark) { static_cast<OpStmtSep&>(At(i)).mark = mark; }
  void MarkPop(long i) { static_cast<OpPop&>(At(i)).mark = 1; }
  void MarkCaseLine(long i) { Line(i).isCaseLine = 1; }
  bool HasEndIf(long i) const { return HasAnnotation(Line(i), kEndIf); }
  void Annotate(long i, int32_t at, std::string_view text) { Line(i).AddAnnotation(at, std::string(text)); }

 private:
  COpCode& At(long i) const { return *list_[static_cast<size_t>(i)]; }
  OpJmp& Jmp(long i) const { return static_cast<OpJmp&>(At(i)); }
  OpLine& Line(long i) const { return static_cast<OpLine&>(At(i)); }
  static int32_t& ConditionalMarkOf(COpCode& x) {
    return x.opcode() == op::kJZ ? static_cast<OpJZ&>(x).mark : static_cast<OpJNZ&>(x).mark;
  }

  InstructionList& list_;
};

// The same marks in one byte per instruction, over code decoded into arrays
// only: a jump's kind, a conditional jump's, separator's or OpPop's mark, or
// a line marker's two flags. Targets are read from the code bytes.
class CompactMarkStore {
 public:
  CompactMarkStore(const InstructionArrays& arrays, const JoinedCode& code, std::vector<uint8_t>& words)
      : arrays_(arrays), code_(code), words_(words) {
    words_.assign(arrays.offsets.size(), 0);
  }

  int32_t Offset(long i) const { return arrays_.offsets[static_cast<size_t>(i)]; }
  // Every jump marked here has the kRel16 layout: the target counts from the
  // end of its 3 bytes.
  int32_t Target(long i) const {
    const auto at = static_cast<size_t>(Offset(i));
    if (at + kJumpLength > code_.size()) throw std::out_of_range("jump outside the code");
    return Offset(i) + kJumpLength + static_cast<int16_t>(code_.U16At(at + 1));
  }
  int Kind(long i) const { return Word(i); }
  void SetKind(long i, int kind) { Word(i) = static_cast<uint8_t>(kind); }
  void SetCaseTargets(long i, const std::vector<int32_t>&, int32_t, int) { Word(i) = kCaseDispatch; }
  int32_t ConditionalMark(long i) const { return Word(i); }
  void SetConditionalMark(long i, int32_t mark) { Word(i) = static_cast<uint8_t>(mark); }
  int32_t SeparatorMark(long i) const { return Word(i); }
  void SetSeparatorMark(long i, int32_t mark) { Word(i) = static_cast<uint8_t>(mark); }
  void MarkPop(long i) { Word(i) = 1; }
  void MarkCaseLine(long i) { Word(i) |= compact_marks::kCaseLine; }
  bool HasEndIf(long i) const { return (Word(i) & compact_marks::kEndIf) != 0; }
  void Annotate(long i, int32_t, std::string_view text) {
    if (AsciiEqualNoCase(text, kEndIf)) Word(i) |= compact_marks::kEndIf;
  }

 private:
  static constexpr int32_t kJumpLength = 3;
  uint8_t& Word(long i) const { return words_[static_cast<size_t>(i)]; }

  const InstructionArrays& arrays_;
  const JoinedCode& code_;
  std::vector<uint8_t>& words_;
};

// The index lists of the passes an instruction joins, by opcode: jumps of
// each kind, the shapes of pass 7 (jumps, OpDup, OpPop) and the stops of the
// case-dispatch scan (lines, separators, jumps).
enum Role : uint8_t { kJmpRole = 1, kJzRole = 2, kJnzRole = 4, kShapeRole = 8, kStopRole = 16 };

constexpr std::array<uint8_t, 256> kRoles = [] {
  std::array<uint8_t, 256> roles{};
  roles[op::kJmp] = kJmpRole | kShapeRole | kStopRole;
  roles[op::kJZ] = kJzRole | kShapeRole | kStopRole;
  roles[op::kJNZ] = kJnzRole | kShapeRole | kStopRole;
  roles[op::kDup] = roles[op::kPop] = kShapeRole;
  roles[op::kLine] = roles[op::kStmtSep] = kStopRole;
  return roles;
}();

// The indices of the instructions with a role, in order. Kept apart from the
// passes so that its loop holds nothing else.
[[gnu::noinline]] std::vector<uint32_t> IndicesWithRole(std::span<const int16_t> opcodes) {
  const int16_t* ops = opcodes.data();
  const size_t n = opcodes.size();
  std::vector<uint32_t> found;
  for (size_t i = 0; i < n; ++i) {
    const auto code = static_cast<uint16_t>(ops[i]);
    if (code < kRoles.size() && kRoles[code] != 0) found.push_back(static_cast<uint32_t>(i));
  }
  return found;
}

// The eight passes over one store of marks; every instruction is looked at
// through its opcode in the index's array.
template <class Store>
class Marker {
 public:
  // `candidates`: ascending indices including every instruction with a role.
  Marker(Store& store, const InstructionIndex& index, long n, const LabelLookup& isLabel, int32_t procedure,
         std::span<const uint32_t> candidates)
      : s_(store), n_(n), index_(index), isLabel_(isLabel), procedure_(procedure) {
    // The passes that visit one kind of instruction walk its indices, found
    // once; pass 7 walks every instruction it has a rule for, in list order.
    const std::span<const int16_t> ops = index_.Opcodes().first(static_cast<size_t>(n_));
    std::vector<long> jmps, jzs, jnzs, shapes, stops;
    for (std::vector<long>* list : {&shapes, &stops}) list->reserve(candidates.size());
    for (const uint32_t c : candidates) {
      if (c >= ops.size()) break;
      const auto code = static_cast<uint16_t>(ops[c]);
      const uint8_t role = code < kRoles.size() ? kRoles[code] : 0;
      if (role == 0) continue;
      const long i = c;
      if ((role & kJmpRole) != 0) jmps.push_back(i);
      if ((role & kJzRole) != 0) jzs.push_back(i);
      if ((role & kJnzRole) != 0) jnzs.push_back(i);
      if ((role & kShapeRole) != 0) shapes.push_back(i);
      if ((role & kStopRole) != 0) stops.push_back(i);
    }
    jmps_ = std::move(jmps);
    jzs_ = std::move(jzs);
    jnzs_ = std::move(jnzs);
    shapes_ = std::move(shapes);
    stops_ = std::move(stops);
  }

  void Run() {
    MarkNonLabelJumps();
    MarkConditionalBackEdges(jzs_);
    MarkConditionalBackEdges(jnzs_);
    MarkJumpBackEdges();
    ClassifyStructuralJumps();
    MarkCaseDispatches();
    MarkNeighbourShapes();
    MarkIfTests();
  }

 private:
  // `i` when it indexes an instruction; an index outside the list is the
  // library's out-of-range error, which the caller turns into a failed decode.
  long At(long i) const {
    if (i < 0 || i >= n_) throw std::out_of_range("instruction index outside the procedure");
    return i;
  }
  // The opcode at `i`, from the index's array. REQUIRES: 0 <= i < n_.
  int Op(long i) const { return index_.Opcode(static_cast<size_t>(i)); }
  bool Is(long i, int code) const { return Op(i) == code; }
  bool IsLineOrSep(long i) const { return Is(i, op::kLine) || Is(i, op::kStmtSep); }

  // 1. Jumps that are no GoTo to a label are structural.
  void MarkNonLabelJumps() {
    for (const long i : jmps_) {
      if (!isLabel_(s_.Target(i))) s_.SetKind(i, kStructural);
    }
  }

  // 2, 3. A conditional jump back to a separator closes a loop.
  void MarkConditionalBackEdges(const std::vector<long>& jumps) {
    for (const long i : jumps) {
      const int32_t target = s_.Target(i);
      if (target >= s_.Offset(i)) continue;
      const long head = index_.InstructionIndexAt(target, static_cast<int>(i));
      if (!Is(head, op::kStmtSep)) continue;
      s_.SetConditionalMark(i, kLoopBackEdge);
      s_.SetSeparatorMark(head, kLoopHead);
    }
  }

  // 4. An unconditional jump back to a separator closes a loop; the loop head
  // is marked when a statement starts there, else the loop's test is.
  void MarkJumpBackEdges() {
    for (const long x : jmps_) {
      const int32_t target = s_.Target(x);
      if (target >= s_.Offset(x)) continue;
      const long head = index_.InstructionIndexAt(target, static_cast<int>(x));
      if (!Is(head, op::kStmtSep)) continue;
      s_.SetKind(x, kBackEdge);
      const int i = index_.IndexAt(target, static_cast<int>(head));
      if (IsLineOrSep(At(i + 1))) {
        s_.SetSeparatorMark(head, kLoopHead);
        continue;
      }
      const long test = NextConditionalJumpAfter(i);
      if (test < 0) continue;
      s_.SetConditionalMark(At(test), kTestedByBackEdge);
    }
  }

  // The first OpJZ or OpJNZ after index `i`, or -1: from the lists of each,
  // rather than the index's own, which would have to walk every instruction.
  long NextConditionalJumpAfter(long i) const {
    const auto jz = std::upper_bound(jzs_.begin(), jzs_.end(), i);
    const auto jnz = std::upper_bound(jnzs_.begin(), jnzs_.end(), i);
    if (jz == jzs_.end()) return jnz == jnzs_.end() ? -1 : *jnz;
    return jnz == jnzs_.end() ? *jz : std::min(*jz, *jnz);
  }

  // 5. A structural jump landing right after a loop end leaves that loop.
  void ClassifyStructuralJumps() {
    for (const long x : jmps_) {
      if (s_.Kind(x) != kStructural) continue;
      const long before = At(index_.IndexAt(s_.Target(x), static_cast<int>(x)) - 1);
      if (Is(before, op::kNext)) {
        s_.SetKind(x, kAfterNext);
      } else if (Is(before, op::kNextForAll)) {
        s_.SetKind(x, kAfterNextForAll);
      } else if ((Is(before, op::kJmp) && s_.Kind(before) == kBackEdge) ||
                 ((Is(before, op::kJNZ) || Is(before, op::kJZ)) && s_.ConditionalMark(before) == kLoopBackEdge)) {
        s_.SetKind(x, kAfterBackEdge);
      }
    }
  }

  // 6. A structural jump whose target code runs, without a statement boundary
  // or conditional jump, into a jump back to just after it dispatches a Case.
  void MarkCaseDispatches() {
    auto self = stops_.begin();  // the jump's own place among the stops
    for (const long i : jmps_) {
      while (self != stops_.end() && *self < i) ++self;  // the jumps come in order, each a stop itself
      if (s_.Kind(i) != kStructural) continue;
      long j = index_.IndexAt(s_.Target(i), static_cast<int>(i));
      if (Is(At(j), op::kStmtSep)) ++j;
      // The first instruction at or after j that ends the scan (line,
      // separator or any jump), n when none does; searched from the jump,
      // which its target lies near.
      const auto stop = LowerBoundNear(stops_.begin(), stops_.end(), self, j);
      const long k = stop == stops_.end() ? n_ : *stop;
      if (k >= n_ || !Is(At(k), op::kJmp)) continue;
      if (s_.Target(k) != s_.Offset(At(i + 1))) continue;
      std::vector<int32_t> clause;
      clause.reserve(static_cast<size_t>(k - j));
      for (long c = j; c < k; ++c) clause.push_back(s_.Offset(At(c)));
      s_.SetCaseTargets(i, clause, 1, procedure_);
      s_.SetKind(k, kCaseReturn);
    }
  }

  // 7. Shapes recognised from an instruction and its neighbours.
  void MarkNeighbourShapes() {
    for (const long j : shapes_) {
      const int next = j + 1 < n_ ? Op(j + 1) : -1;
      switch (Op(j)) {
        case op::kJZ:
          if (next == op::kPop) s_.SetConditionalMark(j, kBeforePopOrDup);
          break;
        case op::kJNZ:
          if (next == op::kDup) s_.SetConditionalMark(j, kBeforePopOrDup);
          break;
        case op::kJmp:
          if (next == op::kPop) {
            s_.SetKind(j, kSelectExit);
            const long end = index_.InstructionIndexAt(s_.Target(j), static_cast<int>(j));
            if (Is(end, op::kLine)) {
              s_.Annotate(end, s_.Offset(j), kEndSelect);
            } else if (Is(end, op::kStmtSep)) {
              s_.SetSeparatorMark(end, kEndSelectSep);
            }
          }
          break;
        case op::kDup:
          if (j > 1) {
            const long twoBack = At(j - 2);
            if (!Is(twoBack, op::kJmp) || s_.Kind(twoBack) == kCaseDispatch) {
              const long clause = At(j - 1);
              if (Is(clause, op::kLine)) {
                s_.MarkCaseLine(clause);
              } else if (Is(clause, op::kStmtSep)) {
                s_.SetSeparatorMark(clause, kCaseSep);
              }
            }
          }
          break;
        case op::kPop:
          if (j > 0 && Op(j - 1) != op::kJmp && Op(j - 1) != op::kJZ) s_.MarkPop(At(j));
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
      if (!IsLineOrSep(At(j + 1)) || s_.Target(j) < s_.Offset(j) || s_.ConditionalMark(j) != 0) continue;
      s_.SetConditionalMark(j, kIfTest);
      const long t = index_.IndexAt(s_.Target(j), static_cast<int>(j));
      const long before = At(t - 1);
      const bool overElsePart = Is(before, op::kJmp) && s_.Kind(before) == kStructural;
      const long e = overElsePart ? index_.IndexAt(s_.Target(before), static_cast<int>(before)) - 1 : t;
      const long end = At(e);
      if (!IsLineOrSep(end)) {
        s_.SetConditionalMark(j, 0);
        continue;
      }
      if (overElsePart) {
        s_.SetKind(before, kOverElse);
        overElse[s_.Target(before)].insert(t - 1);
      }
      if (e + 1 < n_) {
        const auto found = overElse.find(s_.Offset(At(e + 1)));
        if (found != overElse.end()) {
          auto below = found->second.lower_bound(t - 1);
          if (below != found->second.begin()) {
            --below;
            s_.SetKind(At(*below), kStructural);
            found->second.erase(below);
          }
        }
      }
      if (Is(end, op::kLine)) {
        if (s_.HasEndIf(end)) {
          s_.SetConditionalMark(j, kIfTestEndKnown);
        } else {
          s_.Annotate(end, s_.Offset(j), kEndIf);
        }
      } else if (s_.SeparatorMark(end) == kEndIfSep) {
        s_.SetConditionalMark(j, kIfTestEndKnown);
      } else {
        s_.SetSeparatorMark(end, kEndIfSep);
      }
    }
  }

  Store& s_;
  const long n_;
  const InstructionIndex& index_;
  const LabelLookup& isLabel_;
  const int32_t procedure_;
  std::vector<long> jmps_, jzs_, jnzs_;  // indices of each kind of jump
  std::vector<long> shapes_;             // indices of jumps, OpDup and OpPop
  std::vector<long> stops_;              // indices of lines, separators and jumps
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
  const InstructionIndex index(list, arrays);
  ObjectMarks marks(list);
  Marker<ObjectMarks>(marks, index, static_cast<long>(list.size()), isLabel, procedure,
                      IndicesWithRole(arrays.opcodes))
      .Run();
}

void MarkControlStructures(const InstructionArrays& arrays, std::span<const uint8_t> code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks) {
  MarkControlStructures(arrays, code, isLabel, procedure, marks, IndicesWithRole(arrays.opcodes));
}

void MarkControlStructures(const InstructionArrays& arrays, std::span<const uint8_t> code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks, std::span<const uint32_t> candidates) {
  MarkControlStructures(arrays, JoinedCode(code), isLabel, procedure, marks, candidates);
}

void MarkControlStructures(const InstructionArrays& arrays, const JoinedCode& code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks, std::span<const uint32_t> candidates) {
  const size_t n = arrays.offsets.size();
  if (arrays.opcodes.size() != n) throw std::invalid_argument("offsets and opcodes of different lists");
  const InstructionIndex index(arrays);
  CompactMarkStore store(arrays, code, marks);
  Marker<CompactMarkStore>(store, index, static_cast<long>(n), isLabel, procedure, candidates).Run();
}

}  // namespace quillet
