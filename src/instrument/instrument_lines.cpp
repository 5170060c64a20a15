// Line timing of one procedure: eligibility, decoding with a prefix, and the
// one-pass rewrite with its jump patching.
#include "instrument/instrument_lines.h"

#include <algorithm>
#include <array>

#include "bytecode/decoder.h"
#include "bytecode/opcode_layout.h"
#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// Instructions that carry relative targets, by opcode: kJump, or kOnGosubJump
// for the one whose line still counts as a statement of its own.
enum JumpClass : uint8_t { kNoJump, kJump, kOnGosubJump };

constexpr std::array<uint8_t, 256> kJumpClasses = [] {
  std::array<uint8_t, 256> classes{};
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  if (HasRelativeTargets(OperandLayout::Layout)) classes[byte] = kJump;
#include "bytecode/opcodes.def"
  classes[op::kOnGosub] = kOnGosubJump;
  return classes;
}();

// A line starting with a jump (OpOnGosub aside) is no statement of its own;
// every jump, OpOnGosub included, is moved.
bool IsJump(int opcode, bool withOnGosub) {
  if (opcode < 0 || opcode >= static_cast<int>(kJumpClasses.size())) return false;
  const uint8_t c = kJumpClasses[static_cast<size_t>(opcode)];
  return c == kJump || (withOnGosub && c == kOnGosubJump);
}

bool IsLine(const COpCode& op) { return op.opcode() == op::kLine; }

// ShouldTimeLine over opcodes read through `opcodeAt(index)`.
template <typename OpcodeAt>
bool TimedLine(const InstructionList& list, size_t i, OpcodeAt opcodeAt) {
  const size_t n = list.size();
  if (n < 2 || i >= n - 2 || opcodeAt(i) != op::kLine) return false;
  const auto& line = static_cast<const OpLine&>(*list[i]);
  if (line.line == OpLine::kSyntheticLine || line.isCaseLine != 0) return false;
  if (opcodeAt(i + 1) == op::kLine || opcodeAt(i + 2) == op::kLine) return false;
  return !IsJump(opcodeAt(i + 1), false);
}

// The bytes inserted before each instruction, found by offset.
class ShiftMap {
 public:
  ShiftMap(const InstructionArrays& arrays, int32_t endOffset) : offsets_(arrays.offsets), end_(endOffset) {
    shifts_.assign(offsets_.size(), 0);
  }
  void Record(size_t index, int32_t shift) { shifts_[index] = shift; }
  void SetTotal(int32_t total) { total_ = total; }
  int32_t At(size_t index) const { return shifts_[index]; }
  // The shift of the instruction at `target`; the procedure's end moves by
  // everything inserted. False for a target that is no instruction boundary.
  bool Find(int64_t target, int32_t& shift) const {
    if (target == end_) {
      shift = total_;
      return true;
    }
    const auto it = std::lower_bound(offsets_.begin(), offsets_.end(), target);
    if (it == offsets_.end() || *it != target) return false;
    shift = shifts_[static_cast<size_t>(it - offsets_.begin())];
    return true;
  }

 private:
  const std::vector<int32_t>& offsets_;
  std::vector<int32_t> shifts_;
  int32_t end_;
  int32_t total_ = 0;
};

// Re-aims the 16-bit distance stored at `slot` (old code) / `newSlot` (new
// code), counted from the end of the slot at `from` / `newFrom`.
bool MoveTarget(std::span<const uint8_t> code, std::vector<uint8_t>& out, const ShiftMap& shifts, int64_t jumpOffset,
                int64_t slot, int64_t from, int64_t newSlot, int64_t newFrom) {
  if (slot < 0 || slot + 2 > static_cast<int64_t>(code.size()) || newSlot < 0 ||
      newSlot + 2 > static_cast<int64_t>(out.size()))
    return false;
  const int64_t target = from + static_cast<int16_t>(LoadU16(code.data() + slot));
  int32_t shift = 0;
  if (!shifts.Find(target, shift)) return false;
  const int64_t value = target + shift - newFrom;
  // The direction must survive, and so must the value: a distance beyond 16
  // bits would wrap to a wrong target of the same sign.
  const bool backward = target < jumpOffset;
  if (backward ? value >= 0 : value < 0) return false;
  int16_t rel = 0;
  if (!EncodeRelTarget(0, value, rel)) return false;
  StoreU16(out.data() + newSlot, static_cast<uint16_t>(rel));
  return true;
}

bool PatchJump(const COpCode& jump, std::span<const uint8_t> code, std::vector<uint8_t>& out, const ShiftMap& shifts,
               int32_t shift) {
  const int64_t start = jump.offset;
  const int64_t newStart = start + shift;
  const int op = jump.opcode();
  if (op == op::kOnGoto || op == op::kOnGosub) {
    if (start + 2 > static_cast<int64_t>(code.size())) return false;
    const int count = code[static_cast<size_t>(start) + 1];
    for (int k = 0; k < count; ++k) {
      if (!MoveTarget(code, out, shifts, start, start + 2 + 2 * k, start + 4 + 2 * k, newStart + 2 + 2 * k,
                      newStart + 4 + 2 * k))
        return false;
    }
    return true;
  }
  const int64_t b = jump.branchSize();
  if (b < 3) return false;
  return MoveTarget(code, out, shifts, start, start + b - 2, start + b, newStart + b - 2, newStart + b);
}

}  // namespace

bool DecodeForLines(std::span<const uint8_t> byteCode, int32_t codeOffset, std::span<const uint8_t> prefix,
                    const LabelLookup& isLabel, int32_t procedure, ProcedureListing& out) noexcept {
  // `out` is emptied but keeps its buffers: a caller that decodes procedure
  // after procedure into one listing allocates them once.
  const auto empty = [&] {
    out.code.clear();
    out.list.clear();
    out.arrays.offsets.clear();
    out.arrays.opcodes.clear();
    out.endOffset = 0;
  };
  empty();
  try {
    InstructionArrays& arrays = out.arrays;
    const auto prefixLength = static_cast<int32_t>(prefix.size());
    // The prefix decodes on its own and must end exactly where the body starts.
    DecodeCursor prefixCursor{prefix, 0, 0};
    while (prefixCursor.position < prefixLength) {
      out.list.push_back(DecodeNext(prefixCursor));
      arrays.Add(*out.list.back());
    }
    if (prefixCursor.position != prefixLength) {
      empty();
      return false;
    }
    // The body up to its OpEndSub, with offsets counted from the prefix's start.
    DecodeCursor cursor{byteCode, codeOffset, 0};
    const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
    int32_t end = 0;
    for (;;) {
      const int32_t at = cursor.position;
      std::unique_ptr<COpCode> instr = DecodeNext(cursor);  // `at` lies in the code once this returns
      const int code = opcodeOf[byteCode[static_cast<size_t>(at)]];
      if (code == op::kEndSub) {
        end = at;
        break;
      }
      instr->offset = at - codeOffset + prefixLength;
      arrays.Add(instr->offset, code);
      out.list.push_back(std::move(instr));
    }
    out.code.assign(prefix.begin(), prefix.end());
    out.code.insert(out.code.end(), byteCode.begin() + codeOffset, byteCode.begin() + end + 1);
    out.endOffset = end - codeOffset + prefixLength;
    MarkControlStructures(out.list, arrays, isLabel, procedure);
    return true;
  } catch (...) {
    // Decoder refusals, bad jump targets, neighbours outside the list and
    // allocation failures alike: the procedure cannot be timed by line.
    empty();
    return false;
  }
}

bool ShouldTimeLine(const InstructionList& list, size_t i) {
  return TimedLine(list, i, [&](size_t k) { return list[k]->opcode(); });
}

LineBase LineBase::From(int32_t lookedUp, bool classMember) {
  if (lookedUp < 0 && !classMember) return LineBase{true, 0};
  return LineBase{false, lookedUp + 1};
}

bool HasSourceLines(const InstructionList& list) {
  return std::any_of(list.begin(), list.end(), [](const auto& op) {
    return IsLine(*op) && static_cast<const OpLine&>(*op).line != OpLine::kSyntheticLine;
  });
}

Status32 InsertLineCalls(const ProcedureListing& listing, LineBase base, LineCall call, std::vector<uint8_t>& out,
                         int32_t& inserted, std::vector<uint32_t>& calls) {
  const InstructionList& list = listing.list;
  const std::span<const uint8_t> code = listing.code;
  const std::vector<int16_t>& opcodes = listing.arrays.opcodes;
  if (opcodes.size() != list.size() || listing.arrays.offsets.size() != list.size()) return kErrCouldNotLoadFunction;
  ShiftMap shifts(listing.arrays, listing.endOffset);
  const auto opcodeAt = [&](size_t k) { return opcodes[k]; };
  out.clear();
  calls.clear();
  // At most one call per line marker: room for all, so the buffer never regrows.
  const auto markers = static_cast<size_t>(std::count(opcodes.begin(), opcodes.end(), int16_t{op::kLine}));
  out.reserve(code.size() + call.bytes.size() * markers);

  int32_t total = 0;
  size_t copied = 0;
  std::vector<size_t> jumps;  // indices of the instructions to move
  for (size_t i = 0; i < list.size(); ++i) {
    shifts.Record(i, total);
    if (IsJump(opcodes[i], true)) jumps.push_back(i);
    if (!TimedLine(list, i, opcodeAt)) continue;
    const COpCode& instr = *list[i];
    const auto line = static_cast<const OpLine&>(instr).line;
    if (base.open) base = LineBase{false, line - 2};
    call.SetLine(static_cast<uint16_t>(line - base.base + 1));
    const auto at = static_cast<size_t>(instr.offset);
    out.insert(out.end(), code.begin() + static_cast<ptrdiff_t>(copied), code.begin() + static_cast<ptrdiff_t>(at));
    out.insert(out.end(), call.bytes.begin(), call.bytes.end());
    copied = at;
    calls.push_back(static_cast<uint32_t>(at));
    total += static_cast<int32_t>(call.bytes.size());
  }
  out.insert(out.end(), code.begin() + static_cast<ptrdiff_t>(copied), code.end());
  shifts.SetTotal(total);

  for (const size_t i : jumps) {
    if (!PatchJump(*list[i], code, out, shifts, shifts.At(i))) return kErrJumpTooBig;
  }
  inserted = total;
  return 0;
}

}  // namespace quillet
