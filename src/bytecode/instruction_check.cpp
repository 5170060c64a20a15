// SkipNext: the decoder's checks on one instruction without keeping it. An
// instruction of a fixed operand layout is only measured (line markers and
// built-in calls read in place for their checks); any other is read by its
// own class into an object on the stack, so the checks are DecodeNext's own
// while no instruction memory is taken.
#include <array>
#include <type_traits>

#include "bytecode/decoder.h"
#include "bytecode/marking.h"
#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"

namespace quillet {
namespace {

// What DecodeNext looks at after reading, besides the length.
struct Checked {
  int32_t builtin = -1;  // the number of OpBuiltinFileDisp
};

// An instruction of class T read from `r` as decoding reads it, for opcode
// byte `op`; the object is made as MakeInstruction makes it.
template <class T>
T Blank(int op) {
  if constexpr (requires(T& t) { t.variant; }) {
    return T(op);
  } else {
    return T();
  }
}

template <class T>
bool CheckAs(int op, ByteReader& r, Checked& checked) {
  T instr = Blank<T>(op);
  if (!instr.ReadFrom(r)) return false;
  if constexpr (std::is_same_v<T, OpBuiltinFileDisp>) checked.builtin = static_cast<int32_t>(instr.subOperand);
  return true;
}

ReadResult CheckOperands(int op, ByteReader& r, Checked& checked) {
  switch (op) {
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  case byte: return CheckAs<Class>(byte, r, checked) ? ReadResult::kOk : ReadResult::kTruncated;
#include "bytecode/opcodes.def"
    default: return ReadResult::kUnknownOpcode;
  }
}

// Bytes after the opcode byte of every fixed layout; -1 for variable layouts
// and bytes outside the set.
constexpr std::array<int8_t, 256> kOperandLength = [] {
  std::array<int8_t, 256> lengths{};
  lengths.fill(-1);
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  lengths[byte] = static_cast<int8_t>(OperandLength(OperandLayout::Layout));
#include "bytecode/opcodes.def"
  for (int8_t& length : lengths)
    if (length < 0) length = -1;
  return lengths;
}();

// The instructions SkipNext only measures: a fixed layout whose operands the
// decoder does not look at; -1 for the rest (variable layouts, OpLine and
// the built-in calls, bytes outside the set).
constexpr std::array<int8_t, 256> kMeasuredLength = [] {
  std::array<int8_t, 256> lengths = kOperandLength;
  for (const int special : {op::kLine, op::kBuiltinDisp, op::kBuiltinFileDisp}) lengths[special] = -1;
  return lengths;
}();

constexpr size_t kLineOperands = static_cast<size_t>(kOperandLength[op::kLine]);
constexpr size_t kBuiltinOperands = static_cast<size_t>(kOperandLength[op::kBuiltinDisp]);
static_assert(kLineOperands == 2 && kBuiltinOperands == 1, "a line number is a u16, a built-in number a u8");

// One past the instruction at `at` by its own class's reading (the
// variable layouts and OpBuiltinFileDisp); 0 where DecodeNext would throw.
size_t CheckedEnd(std::span<const uint8_t> code, size_t at) noexcept {
  ByteReader reader(code);
  (void)reader.Seek(at + 1);  // past the opcode byte, inside or at the end
  const unsigned op = code[at];
  Checked checked;
  try {
    if (CheckOperands(static_cast<int>(op), reader, checked) != ReadResult::kOk) return 0;
  } catch (...) {
    return 0;  // an operand list too large for memory: DecodeNext fails on it too
  }
  if (op == op::kBuiltinFileDisp && checked.builtin > OpBuiltinFileDisp::kLastFileBuiltin) return 0;
  return reader.pos();
}

// One past the instruction at `at`, or 0 where DecodeNext would throw.
// REQUIRES: at < code.size().
inline size_t NextInstruction(std::span<const uint8_t> code, size_t at) noexcept {
  const unsigned op = code[at];
  const size_t after = code.size() - at - 1;  // bytes after the opcode byte
  if (const int8_t measured = kMeasuredLength[op]; measured >= 0) {
    return after < static_cast<size_t>(measured) ? 0 : at + 1 + static_cast<size_t>(measured);
  }
  // The two checked instructions of every procedure, a line marker on each
  // line and the built-in calls, read in place: one u16, one u8.
  if (op == op::kLine) return after < kLineOperands ? 0 : at + 1 + kLineOperands;
  if (op == op::kBuiltinDisp) {
    return after < kBuiltinOperands || !IsKnownBuiltin(code[at + 1]) ? 0 : at + 1 + kBuiltinOperands;
  }
  return CheckedEnd(code, at);
}

}  // namespace

bool SkipNext(DecodeCursor& cursor) noexcept {
  const int32_t start = cursor.position;
  if (start < 0 || static_cast<size_t>(start) >= cursor.code.size()) return false;
  const size_t next = NextInstruction(cursor.code, static_cast<size_t>(start));
  if (next == 0 || next > INT32_MAX) return false;
  if (cursor.code[static_cast<size_t>(start)] == op::kLine)
    cursor.currentLine = LoadU16(cursor.code.data() + start + 1);
  cursor.position = static_cast<int32_t>(next);
  return true;
}

int32_t WalkProcedure(std::span<const uint8_t> code, int32_t start, int32_t base, InstructionArrays* out,
                      std::vector<uint8_t>* lengths) {
  if (start < 0 || code.size() > INT32_MAX) return -1;
  const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
  for (size_t at = static_cast<size_t>(start); at < code.size();) {
    const size_t next = NextInstruction(code, at);
    if (next == 0) return -1;
    const int16_t opcode = opcodeOf[code[at]];
    if (lengths != nullptr) lengths->push_back(next - at <= UINT8_MAX ? static_cast<uint8_t>(next - at) : 0);
    if (opcode == op::kEndSub) return static_cast<int32_t>(at);
    if (out != nullptr) out->Add(static_cast<int32_t>(at) - start + base, opcode);
    at = next;
  }
  return -1;
}

size_t InstructionLength(std::span<const uint8_t> code, size_t at) noexcept {
  if (at >= code.size()) return 0;
  const size_t next = NextInstruction(code, at);
  return next == 0 ? 0 : next - at;
}

}  // namespace quillet
