// Line timing of one procedure: eligibility, decoding with a prefix, and the
// one-pass rewrite with its jump patching.
#include "instrument/instrument_lines.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bytecode/decoder.h"
#include "bytecode/opcode_layout.h"
#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"
#include "util/bytes.h"
#include "util/near_search.h"

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

// The branch size of the single-target jumps by opcode byte: where the
// 16-bit distance ends, counted from the opcode byte.
constexpr std::array<int8_t, 256> kBranchSizes = [] {
  std::array<int8_t, 256> sizes{};
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  sizes[byte] = static_cast<int8_t>(BranchSizeOf(OperandLayout::Layout));
#include "bytecode/opcodes.def"
  return sizes;
}();

// The opcodes a listing's `notable` indices name: every jump, and what the
// marking looks at besides.
constexpr std::array<bool, 256> kNotable = [] {
  std::array<bool, 256> notable{};
  for (size_t b = 0; b < notable.size(); ++b) notable[b] = kJumpClasses[b] != kNoJump;
  for (const uint8_t b : {op::kLine, op::kStmtSep, op::kDup, op::kPop, op::kJmp, op::kJZ, op::kJNZ}) notable[b] = true;
  return notable;
}();

// kNotable by opcode byte (1 or 0), for loops that read the bytes.
const std::array<uint8_t, 256>& NotableBytes() {
  static const std::array<uint8_t, 256> kBytes = [] {
    std::array<uint8_t, 256> bytes{};
    const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
    for (size_t b = 0; b < bytes.size(); ++b) {
      const auto code = static_cast<uint16_t>(opcodeOf[b]);
      bytes[b] = code < kNotable.size() && kNotable[code] ? 1 : 0;
    }
    return bytes;
  }();
  return kBytes;
}

// The indices from `first` on of the instructions of `opcodes` that
// kNotable names, appended to `notable`.
void ListNotable(std::span<const int16_t> opcodes, size_t first, UninitVector<uint32_t>& notable) {
  for (size_t i = first; i < opcodes.size(); ++i) {
    const auto code = static_cast<uint16_t>(opcodes[i]);
    if (code < kNotable.size() && kNotable[code]) notable.push_back(static_cast<uint32_t>(i));
  }
}

// A line starting with a jump (OpOnGosub aside) is no statement of its own;
// every jump, OpOnGosub included, is moved.
bool IsJump(int opcode, bool withOnGosub) {
  if (opcode < 0 || opcode >= static_cast<int>(kJumpClasses.size())) return false;
  const uint8_t c = kJumpClasses[static_cast<size_t>(opcode)];
  return c == kJump || (withOnGosub && c == kOnGosubJump);
}

bool IsLine(const COpCode& op) { return op.opcode() == op::kLine; }

// ShouldTimeLine over opcodes read through `opcodeAt(index)`, the line
// number through `lineAt` and the Case mark through `caseLineAt`.
template <typename OpcodeAt, typename LineAt, typename CaseLineAt>
bool TimedLine(size_t n, size_t i, OpcodeAt opcodeAt, LineAt lineAt, CaseLineAt caseLineAt) {
  if (n < 2 || i >= n - 2 || opcodeAt(i) != op::kLine) return false;
  if (lineAt(i) == OpLine::kSyntheticLine || caseLineAt(i)) return false;
  if (opcodeAt(i + 1) == op::kLine || opcodeAt(i + 2) == op::kLine) return false;
  return !IsJump(opcodeAt(i + 1), false);
}

// Fills a buffer front to back with pieces of a few bytes each (the code
// between two line calls, a call): a piece that fits is moved as two 16-byte
// blocks, whose spare bytes the next pieces overwrite, rather than by a call
// of memcpy per piece.
class PieceWriter {
 public:
  explicit PieceWriter(UninitVector<uint8_t>& out) : to_(out.data()), end_(out.data() + out.size()) {}
  // Appends the `n` bytes at `from`, of which `readable` may be read.
  // REQUIRES: n <= readable, and the piece fits in what is left of the buffer.
  void Put(const uint8_t* from, size_t n, size_t readable) {
    if (n <= 2 * kBlock && readable >= 2 * kBlock && static_cast<size_t>(end_ - to_) >= 2 * kBlock) {
      std::memcpy(to_, from, kBlock);
      std::memcpy(to_ + kBlock, from + kBlock, kBlock);
    } else if (n != 0) {
      std::memcpy(to_, from, n);
    }
    to_ += n;
  }
  // Where the next piece goes.
  uint8_t* Next() const { return to_; }

 private:
  static constexpr size_t kBlock = 16;
  uint8_t* to_;
  uint8_t* end_;
};

// ShouldTimeLine over a listing, inlined into the rewrite's scan.
inline bool TimedListingLine(const ProcedureListing& listing, size_t i) {
  const int16_t* opcodes = listing.arrays.opcodes.data();
  return TimedLine(
      listing.size(), i, [&](size_t k) { return opcodes[k]; }, [&](size_t k) { return listing.LineAt(k); },
      [&](size_t k) { return (listing.marks[k] & compact_marks::kCaseLine) != 0; });
}

// The bytes inserted before each instruction, found by offset: a call's
// length for every call put before an instruction at a lower offset (a call
// goes in before its own line marker, which it does not move).
class ShiftMap {
 public:
  ShiftMap(const UninitVector<int32_t>& offsets, const std::vector<uint32_t>& calls, int32_t callLength,
           int32_t endOffset)
      : offsets_(offsets), calls_(calls), callLength_(callLength), end_(endOffset) {}
  // The shift of an instruction at `offset`; the search for it starts at
  // call index `near`.
  int32_t Before(int64_t offset, size_t near) const {
    const auto hint = calls_.begin() + static_cast<std::ptrdiff_t>(std::min(near, calls_.size()));
    const auto below = LowerBoundNear(calls_.begin(), calls_.end(), hint, offset);
    return static_cast<int32_t>(below - calls_.begin()) * callLength_;
  }
  // The shift of the instruction at `target`; the procedure's end moves by
  // everything inserted. False for a target that is no instruction boundary.
  // The searches start at instruction `nearIndex` and call `nearCall`.
  bool Find(int64_t target, size_t nearIndex, size_t nearCall, int32_t& shift) const {
    if (target == end_) {
      shift = static_cast<int32_t>(calls_.size()) * callLength_;
      return true;
    }
    const auto hint = offsets_.begin() + static_cast<std::ptrdiff_t>(std::min(nearIndex, offsets_.size()));
    const auto it = LowerBoundNear(offsets_.begin(), offsets_.end(), hint, target);
    if (it == offsets_.end() || *it != target) return false;
    shift = Before(target, nearCall);
    return true;
  }

 private:
  const UninitVector<int32_t>& offsets_;
  const std::vector<uint32_t>& calls_;  // ascending
  int32_t callLength_;
  int32_t end_;
};

// Re-aims the 16-bit distance stored at `slot` (old code) / `newSlot` (new
// code), counted from the end of the slot at `from` / `newFrom`.
// The jump is instruction `index`, with `callsBefore` calls before it.
struct JumpPlace {
  size_t index, callsBefore;
};

bool MoveTarget(const JoinedCode& code, UninitVector<uint8_t>& out, const ShiftMap& shifts, JumpPlace place,
                int64_t jumpOffset, int64_t slot, int64_t from, int64_t newSlot, int64_t newFrom) {
  if (slot < 0 || slot + 2 > static_cast<int64_t>(code.size()) || newSlot < 0 ||
      newSlot + 2 > static_cast<int64_t>(out.size()))
    return false;
  const int64_t target = from + static_cast<int16_t>(code.U16At(static_cast<size_t>(slot)));
  int32_t shift = 0;
  if (!shifts.Find(target, place.index, place.callsBefore, shift)) return false;
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

// Moves the targets of the jump at `start` (old code) to `start + shift`.
bool PatchJump(int32_t start, const JoinedCode& code, UninitVector<uint8_t>& out, const ShiftMap& shifts,
               JumpPlace place, int32_t shift) {
  const int64_t newStart = int64_t{start} + shift;
  if (start < 0 || static_cast<size_t>(start) + 2 > code.size()) return false;
  const uint8_t op = code[static_cast<size_t>(start)];
  if (op == op::kOnGoto || op == op::kOnGosub) {
    const int count = code[static_cast<size_t>(start) + 1];
    for (int k = 0; k < count; ++k) {
      if (!MoveTarget(code, out, shifts, place, start, start + 2 + 2 * k, start + 4 + 2 * k, newStart + 2 + 2 * k,
                      newStart + 4 + 2 * k))
        return false;
    }
    return true;
  }
  const int64_t b = kBranchSizes[op];
  if (b < 3) return false;
  return MoveTarget(code, out, shifts, place, start, start + b - 2, start + b, newStart + b - 2, newStart + b);
}

// The body's instructions from the lengths a walk of the same bytes found,
// with the notable ones among them, in one pass: as WalkProcedure, the
// OpEndSub's offset, or -1 (arrays and `notable` then partly filled) when
// the lengths do not lead to an OpEndSub inside the code.
int32_t MeasuredBody(std::span<const uint8_t> byteCode, int32_t codeOffset, int32_t base,
                     std::span<const uint8_t> lengths, InstructionArrays& arrays, UninitVector<uint32_t>& notable) {
  if (lengths.empty()) return -1;
  const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
  const std::array<uint8_t, 256>& isNotable = NotableBytes();
  // Sized once and written in place: offsets are a running sum of lengths.
  // Every instruction's index is written to `notable`, and kept (the count
  // moved on) only for a notable one: no branch on the opcode.
  const size_t first = arrays.offsets.size();
  const size_t count = lengths.size() - 1;  // the OpEndSub is not listed
  const size_t notableFirst = notable.size();
  arrays.offsets.resize(first + count);
  arrays.opcodes.resize(first + count);
  notable.resize(notableFirst + count + 1);  // one spare for the last index written
  int32_t* offsets = arrays.offsets.data() + first;
  int16_t* opcodes = arrays.opcodes.data() + first;
  uint32_t* listed = notable.data() + notableFirst;
  const uint8_t* bytes = byteCode.data();
  const size_t size = byteCode.size();
  const int32_t shift = base - codeOffset;  // byte code offset -> listing offset
  auto index = static_cast<uint32_t>(first);
  size_t kept = 0;
  size_t at = static_cast<size_t>(codeOffset);
  int32_t end = -1;
  for (size_t k = 0; k < count; ++k, ++index) {
    if (at >= size) [[unlikely]]
      return -1;
    const uint8_t byte = bytes[at];
    offsets[k] = static_cast<int32_t>(at) + shift;
    opcodes[k] = opcodeOf[byte];
    listed[kept] = index;
    kept += isNotable[byte];
    size_t length = lengths[k];
    if (length == 0) [[unlikely]] {  // an instruction over 255 bytes
      length = InstructionLength(byteCode, at);
      if (length == 0) return -1;
    }
    at += length;
  }
  if (at < size && opcodeOf[bytes[at]] == op::kEndSub) end = static_cast<int32_t>(at);
  notable.resize(notableFirst + kept);
  return end;
}

// Appends the `count` bytes of `code` from `at` to `to`, in one piece per
// block they lie in.
inline void PutCode(PieceWriter& to, const JoinedCode& code, size_t at, size_t count) {
  while (count != 0) {
    const std::span<const uint8_t> piece = code.From(at);
    const size_t n = std::min(count, piece.size());
    to.Put(piece.data(), n, piece.size());
    at += n;
    count -= n;
  }
}

}  // namespace

bool DecodeForLines(std::span<const uint8_t> byteCode, int32_t codeOffset, std::span<const uint8_t> prefix,
                    const LabelLookup& isLabel, int32_t procedure, ProcedureListing& out,
                    std::span<const uint8_t> walked) noexcept {
  // `out` is emptied but keeps its buffers: a caller that decodes procedure
  // after procedure into one listing allocates them once.
  const auto empty = [&] {
    out.code = {};
    out.arrays.offsets.clear();
    out.arrays.opcodes.clear();
    out.marks.clear();
    out.notable.clear();
    out.endOffset = 0;
  };
  empty();
  try {
    InstructionArrays& arrays = out.arrays;
    const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
    const auto prefixLength = static_cast<int32_t>(prefix.size());
    // The prefix decodes on its own and must end exactly where the body starts.
    DecodeCursor prefixCursor{prefix, 0, 0};
    while (prefixCursor.position < prefixLength) {
      const int32_t at = prefixCursor.position;
      if (!SkipNext(prefixCursor)) {
        empty();
        return false;
      }
      arrays.Add(at, opcodeOf[prefix[static_cast<size_t>(at)]]);
    }
    ListNotable(arrays.opcodes, 0, out.notable);
    if (prefixCursor.position != prefixLength) {
      empty();
      return false;
    }
    // The body up to its OpEndSub, with offsets counted from the prefix's start.
    const size_t prefixCount = arrays.offsets.size();
    const size_t prefixNotable = out.notable.size();
    int32_t end =
        walked.empty() ? -1 : MeasuredBody(byteCode, codeOffset, prefixLength, walked, arrays, out.notable);
    if (end < 0) {  // not measured before, or lengths of other bytes: walked here
      arrays.offsets.resize(prefixCount);
      arrays.opcodes.resize(prefixCount);
      out.notable.resize(prefixNotable);
      end = WalkProcedure(byteCode, codeOffset, prefixLength, &arrays);
      if (end >= 0) ListNotable(arrays.opcodes, prefixCount, out.notable);
    }
    if (end < 0) {  // code that does not decode, or runs out before an OpEndSub
      empty();
      return false;
    }
    out.code = JoinedCode(prefix, byteCode.subspan(static_cast<size_t>(codeOffset),
                                                   static_cast<size_t>(end - codeOffset) + 1));
    out.endOffset = end - codeOffset + prefixLength;
    MarkControlStructures(arrays, out.code, isLabel, procedure, out.marks, out.notable);
    return true;
  } catch (...) {
    // Bad jump targets, neighbours outside the list and allocation failures
    // alike: the procedure cannot be timed by line.
    empty();
    return false;
  }
}

bool ShouldTimeLine(const InstructionList& list, size_t i) {
  return TimedLine(
      list.size(), i, [&](size_t k) { return list[k]->opcode(); },
      [&](size_t k) { return static_cast<const OpLine&>(*list[k]).line; },
      [&](size_t k) { return static_cast<const OpLine&>(*list[k]).isCaseLine != 0; });
}

bool ShouldTimeLine(const ProcedureListing& listing, size_t i) { return TimedListingLine(listing, i); }

LineBase LineBase::From(int32_t lookedUp, bool classMember) {
  if (lookedUp < 0 && !classMember) return LineBase{true, 0};
  return LineBase{false, lookedUp + 1};
}

bool HasSourceLines(const InstructionList& list) {
  return std::any_of(list.begin(), list.end(), [](const auto& op) {
    return IsLine(*op) && static_cast<const OpLine&>(*op).line != OpLine::kSyntheticLine;
  });
}

bool HasSourceLines(const ProcedureListing& listing) {
  for (size_t i = 0; i < listing.size(); ++i) {
    if (listing.arrays.opcodes[i] == op::kLine && listing.LineAt(i) != OpLine::kSyntheticLine) return true;
  }
  return false;
}

Status32 InsertLineCalls(const ProcedureListing& listing, LineBase base, LineCall call, UninitVector<uint8_t>& out,
                         int32_t& inserted, std::vector<uint32_t>& calls) {
  const JoinedCode& code = listing.code;
  const auto& opcodes = listing.arrays.opcodes;
  const auto& offsets = listing.arrays.offsets;
  const size_t n = listing.size();
  if (opcodes.size() != n || listing.marks.size() != n) return kErrCouldNotLoadFunction;
  out.clear();
  calls.clear();
  // First which lines get a call, then the new code in one copy of known
  // size, then the jumps moved. Only the notable instructions can be timed
  // lines or jumps.
  for (const uint32_t i : listing.notable) {
    if (i >= n) return kErrCouldNotLoadFunction;
    if (opcodes[i] == op::kLine && TimedListingLine(listing, i)) calls.push_back(static_cast<uint32_t>(offsets[i]));
  }
  const size_t callLength = call.bytes.size();
  if (call.argumentAt > callLength || callLength - call.argumentAt < 2) return kErrCouldNotLoadFunction;
  call.bytes.resize(std::max<size_t>(callLength, 32));  // spare bytes to read past the call's end
  out.resize(code.size() + callLength * calls.size());
  PieceWriter to(out);
  size_t copied = 0;
  for (const size_t at : calls) {
    PutCode(to, code, copied, at - copied);
    // A call's argument counts from the base; an open base is the first
    // timed line's, minus 2. The line is the OpLine's own, which follows.
    const uint16_t line = code.U16At(at + 1);
    if (base.open) base = LineBase{false, line - 2};
    // The argument is stored into the copied call, not into the call's
    // bytes before copying them: read back at once in blocks, a fresh
    // 2-byte store there would stall the copy.
    uint8_t* const placed = to.Next();
    to.Put(call.bytes.data(), callLength, call.bytes.size());
    StoreU16(placed + call.argumentAt, static_cast<uint16_t>(line - base.base + 1));
    copied = at;
  }
  PutCode(to, code, copied, code.size() - copied);
  const auto total = static_cast<int32_t>(callLength * calls.size());

  const ShiftMap shifts(offsets, calls, static_cast<int32_t>(callLength), listing.endOffset);
  size_t callsBefore = 0;  // the jumps come in code order: a running count
  for (const size_t i : listing.notable) {
    if (!IsJump(opcodes[i], true)) continue;
    while (callsBefore < calls.size() && calls[callsBefore] < static_cast<uint32_t>(offsets[i])) ++callsBefore;
    const int32_t shift = static_cast<int32_t>(callsBefore * callLength);
    if (!PatchJump(offsets[i], code, out, shifts, JumpPlace{i, callsBefore}, shift)) return kErrJumpTooBig;
  }
  inserted = total;
  return 0;
}

}  // namespace quillet
