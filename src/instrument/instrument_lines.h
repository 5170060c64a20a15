// Line timing of one procedure: which lines get a call of the line timer,
// and the procedure's code rewritten with those calls and its jumps moved.
//
// The rewrite gives exactly the bytes that inserting the calls one by one
// into the byte code and then patching every jump would give, but builds the
// procedure's new code in one pass: ShiftMap[x] is the number of bytes
// inserted before the instruction that was at x, so a jump at j with target t
// gets (t + ShiftMap[t]) - (j + ShiftMap[j] + end of jump).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "config/status.h"
#include "bytecode/joined_code.h"
#include "bytecode/opcode.h"
#include "instrument/timer_class_code.h"
#include "bytecode/marking.h"
#include "util/bytes.h"
#include "util/uninit_vector.h"

namespace quillet {

inline constexpr Status32 kErrCouldNotLoadFunction = 0x12703;  // "Instrument Lines: Could not load function %s."
inline constexpr Status32 kErrJumpTooBig = 0x12704;            // "Instrument Lines: Jump too big: %s."
inline constexpr Status32 kErrNoLines = 0x12709;               // "NO LINES: Line instrumentation skipped ..."

// One procedure's code ready for line timing, decoded into arrays alone (no
// instruction objects): `code` runs from the procedure's first byte through
// its OpEndSub, and the instructions' offsets count from the start of `code`.
// `code` views the prefix and the byte code it was decoded from, uncopied:
// the listing is valid while they stand unchanged.
struct ProcedureListing {
  JoinedCode code;             // the prefix, then the procedure's bytes
  InstructionArrays arrays;    // every instruction but the OpEndSub
  std::vector<uint8_t> marks;  // of each instruction (compact_marks)
  // Ascending indices of the instructions the marking and the rewrite look
  // at (line markers, separators, jumps, OpDup, OpPop); the others are not
  // visited again.
  UninitVector<uint32_t> notable;
  int32_t endOffset = 0;       // the OpEndSub's offset in `code`

  size_t size() const { return arrays.offsets.size(); }
  // The line of the OpLine at index i. REQUIRES: it is one.
  uint16_t LineAt(size_t i) const { return code.U16At(static_cast<size_t>(arrays.offsets[i]) + 1); }
};

// Decodes the procedure at `codeOffset` of `byteCode` with `prefix` (code
// about to be placed at its start, or nothing) in front, and marks its
// control structures; `isLabel` answers for offsets in `code`. `out` views
// `prefix` and `byteCode` (see ProcedureListing). False, with `out` emptied,
// when the code does not decode or a jump target is no instruction; nothing
// is thrown. The checks are the decoder's and the
// marking's; only offsets, opcodes and marks are kept. `walked` (optional):
// the instruction lengths an earlier walk of the same bytes found
// (CodeWalks), so the body is measured from them instead of walked again.
[[nodiscard]] bool DecodeForLines(std::span<const uint8_t> byteCode, int32_t codeOffset,
                                  std::span<const uint8_t> prefix, const LabelLookup& isLabel,
                                  int32_t procedure, ProcedureListing& out,
                                  std::span<const uint8_t> walked = {}) noexcept;

// Whether the OpLine at index i gets a line call: not one of the last two
// instructions, not synthetic, not a Case clause, not directly followed by
// another line marker (at i + 1 or i + 2) or by a jump. False for any other
// instruction. Over a decoded and marked list or a listing alike.
bool ShouldTimeLine(const InstructionList& list, size_t i);
bool ShouldTimeLine(const ProcedureListing& listing, size_t i);

// The number the line arguments count from. A module-level procedure takes
// its entry of the function line-number table, a class member the entry of
// key 0 (each plus one); a module-level procedure without an entry takes its
// first timed line minus 2.
struct LineBase {
  bool open = false;
  int32_t base = 0;

  static LineBase From(int32_t lookedUp, bool classMember);
};

// True when the list holds an OpLine of a real source line.
bool HasSourceLines(const InstructionList& list);
bool HasSourceLines(const ProcedureListing& listing);

// Builds the procedure's code with `call` (its line argument set per line)
// before every timed line and every jump moved to keep its target.
// `inserted` is the number of bytes added; `calls` receives the offsets (in
// `listing.code`, ascending) of the instructions a call was put before.
// kErrJumpTooBig when a moved jump does not fit 16 bits, would change its
// direction, or aims at no instruction of the procedure (nor its end); `out`
// is then unspecified.
[[nodiscard]] Status32 InsertLineCalls(const ProcedureListing& listing, LineBase base, LineCall call,
                                       UninitVector<uint8_t>& out, int32_t& inserted,
                                       std::vector<uint32_t>& calls);

}  // namespace quillet
