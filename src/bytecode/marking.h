// Jump-target resolution and control-structure marking over a decoded
// procedure: which jumps, separators and line markers belong to loops, If
// and Select Case.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "bytecode/joined_code.h"
#include "bytecode/opcode.h"
#include "bytecode/opcode_numbers.h"
#include "util/uninit_vector.h"

namespace quillet {

// Where InstructionAt and IndexAt say a bad target was found; the texts are
// the system's own and name the source of the original lookups.
inline constexpr const char* kJumpTargetSource = "lsobject\\section.cpp";
inline constexpr int kInstructionAtLine = 905;
inline constexpr int kIndexAtLine = 922;

// The instruction whose offset equals `target` (the first one, should several
// share it). Throws CIllegalArgumentException
//   "lsobject\section.cpp(905) - Invalid jump target : 0x%X (should be < 0x%X)\n"
// with the target and the last instruction's offset when there is none.
// A linear search: for one-off look-ups; the marking uses InstructionIndex.
COpCode& InstructionAt(const InstructionList& list, int32_t target);

// The index of that instruction; as InstructionAt, but the message is
//   "lsobject\section.cpp (922): Invalid jump target : 0x%X (should be < 0x%X)\n".
int IndexAt(const InstructionList& list, int32_t target);

// The first OpJZ or OpJNZ after the instruction at `offset`; nullptr when
// there is none or no instruction lies at `offset`.
COpCode* NextConditionalJump(const InstructionList& list, int32_t offset);

// Every instruction's offset and opcode in list order: scans over a whole
// list read these instead of visiting each instruction object.
// Sized once and written in full where the lengths are known: not zero-filled.
struct InstructionArrays {
  UninitVector<int32_t> offsets;
  UninitVector<int16_t> opcodes;

  void Add(const COpCode& instr) { Add(instr.offset, instr.opcode()); }
  void Add(int32_t offset, int opcode) {
    offsets.push_back(offset);
    opcodes.push_back(static_cast<int16_t>(opcode));
  }
  static InstructionArrays Of(const InstructionList& list);
};

// Offset -> index of one instruction list, built once in O(n) (O(n log n)
// for a list out of offset order) at its first look-up and answering in
// O(log n); valid while the
// list and its offsets are unchanged. Look-ups answer and throw exactly as the
// linear functions above. It also keeps every instruction's opcode in one
// array, so scans over the whole list need not visit each instruction object.
class InstructionIndex {
 public:
  explicit InstructionIndex(const InstructionList& list);
  // Over arrays already read from `list` (they must describe it and outlive
  // the index).
  InstructionIndex(const InstructionList& list, const InstructionArrays& arrays);
  // Over arrays alone, for code decoded without instruction objects:
  // InstructionAt then throws std::logic_error; InstructionIndexAt answers.
  explicit InstructionIndex(const InstructionArrays& arrays);
  InstructionIndex(const InstructionIndex&) = delete;
  InstructionIndex& operator=(const InstructionIndex&) = delete;

  // `near` (optional): an index close to the target's, where the search
  // starts (a jump looks up a target near itself); the answer is the same.
  int IndexAt(int32_t target, int near = -1) const;
  COpCode& InstructionAt(int32_t target) const;
  // The index InstructionAt looks up, throwing as it does.
  int InstructionIndexAt(int32_t target, int near = -1) const;
  // The index of the first OpJZ or OpJNZ after `index`, or -1.
  int NextConditionalJumpAfter(int index) const;
  // The opcode of the instruction at `index`. REQUIRES: index < list size.
  int Opcode(size_t index) const { return arrays_.opcodes[index]; }
  // Every instruction's opcode, in list order.
  std::span<const int16_t> Opcodes() const { return arrays_.opcodes; }

 private:
  void Build() const;
  // The index for `target`, or -1.
  int Find(int32_t target, int near) const;

  const InstructionList* list_;      // nullptr over arrays alone
  const InstructionArrays owned_;    // when built from the list alone
  const InstructionArrays& arrays_;  // owned_ or the caller's
  // Built at the first look-up (so one index is not shared between threads).
  mutable bool built_ = false;
  mutable bool inOrder_ = true;                            // offsets never decrease
  mutable std::vector<std::pair<int32_t, int>> byOffset_;  // out-of-order lists only: by offset, then index
  mutable bool conditionalsListed_ = false;
  mutable std::vector<int> conditionals_;                  // indices of the OpJZ and OpJNZ, ascending
};

// Answers whether a byte-code offset is the code offset of one of the
// procedure's labels.
using LabelLookup = std::function<bool(int32_t offset)>;

// Runs the eight marking passes over `list` (all marks and kinds 0, as the
// decoder leaves them). `procedure` is recorded in every case dispatch.
// Throws CIllegalArgumentException for a jump target that is no instruction of
// the list and std::out_of_range for a neighbour outside it; the list's
// instructions are then partly marked.
void MarkControlStructures(InstructionList& list, const LabelLookup& isLabel, int32_t procedure);
// The same, over the list's arrays already read.
void MarkControlStructures(InstructionList& list, const InstructionArrays& arrays, const LabelLookup& isLabel,
                           int32_t procedure);

// The marks of code decoded into arrays alone, one byte per instruction:
// a jump's kind or a conditional jump's, separator's or OpPop's mark as the
// instruction objects would hold it, or for a line marker these flags.
namespace compact_marks {
inline constexpr uint8_t kCaseLine = 1;  // isCaseLine
inline constexpr uint8_t kEndIf = 2;     // annotated "End If"
}  // namespace compact_marks

// The same passes over `arrays` of instructions decoded from `code` (their
// offsets index it), without instruction objects; `marks` receives one byte
// per instruction. Throws exactly where marking the decoded list would.
void MarkControlStructures(const InstructionArrays& arrays, std::span<const uint8_t> code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks);
// The same, told which instructions to look at: `candidates` are ascending
// indices that include every jump, OpDup, OpPop, line marker and separator
// (any others are passed by), so no pass scans every instruction.
void MarkControlStructures(const InstructionArrays& arrays, std::span<const uint8_t> code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks, std::span<const uint32_t> candidates);
// The same over code in two blocks, read where it stands.
void MarkControlStructures(const InstructionArrays& arrays, const JoinedCode& code, const LabelLookup& isLabel,
                           int32_t procedure, std::vector<uint8_t>& marks, std::span<const uint32_t> candidates);

}  // namespace quillet
