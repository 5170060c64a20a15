// SkipNext: the decoder's checks on one instruction without keeping it. An
// instruction of a fixed operand layout is only measured (line markers and
// built-in calls read in place for their checks); any other is read by its
// own class into an object on the stack, so the checks are DecodeNext's own
// while no instruction memory is taken.
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
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

// One walk of the split walk below: from `at` until it ends or stands at or
// past `stop`, each instruction's length written to `lengths` (room for one
// per byte from its start to the end of the code).
struct Chain {
  enum State : uint8_t { kOn, kEndSub, kRefused };  // kRefused: undecodable, or out of code

  size_t origin = 0;  // where the walk started
  size_t at = 0;
  size_t stop = SIZE_MAX;
  std::unique_ptr<uint8_t[]> lengths;
  size_t count = 0;
  State state = kOn;

  // One instruction on; false once the walk ends: at an OpEndSub (whose
  // length is kept and where `at` stays), or where SkipNext would refuse.
  bool Step(std::span<const uint8_t> code, const std::array<int16_t, 256>& opcodeOf) noexcept {
    const size_t next = at < code.size() ? NextInstruction(code, at) : 0;
    if (next == 0) {
      state = kRefused;
      return false;
    }
    lengths[count++] = next - at <= UINT8_MAX ? static_cast<uint8_t>(next - at) : 0;
    if (opcodeOf[code[at]] == op::kEndSub) {
      state = kEndSub;
      return false;
    }
    at = next;
    return true;
  }
  bool Running() const { return state == kOn && at < stop; }
};

// Walks shorter than this are not split.
constexpr size_t kSplitFrom = size_t{16} << 10;
constexpr size_t kChains = 3;
// A guessed walk ending within this many instructions is guessed again, at
// most kGuesses times.
constexpr ptrdiff_t kSettling = 16;
constexpr size_t kGuesses = 8;

// The chains stepped in turn while the first goes on, so that their reads
// overlap in time; each chain's place is kept in locals (registers) meanwhile.
template <size_t... I>
void SideBySide(std::span<const uint8_t> code, const std::array<int16_t, 256>& opcodeOf,
                std::array<Chain, sizeof...(I)>& chains, std::index_sequence<I...>) {
  constexpr size_t K = sizeof...(I);
  const uint8_t* bytes = code.data();
  size_t at[K] = {chains[I].at...};
  size_t stop[K] = {chains[I].stop...};  // 0 once the chain ended
  size_t origin[K] = {chains[I].origin...};
  uint8_t* out[K] = {chains[I].lengths.get()...};
  Chain::State state[K] = {chains[I].state...};
  size_t restarts[K] = {};
  const auto step = [&](size_t k) {
    if (at[k] >= stop[k]) return false;
    const size_t next = at[k] < code.size() ? NextInstruction(code, at[k]) : 0;
    const bool refused = next == 0;
    if (!refused) *out[k]++ = next - at[k] <= UINT8_MAX ? static_cast<uint8_t>(next - at[k]) : 0;
    if (refused || opcodeOf[bytes[at[k]]] == op::kEndSub) {
      // A guessed start that ends within a few instructions most likely read
      // operands as opcodes: guessed again just after. The first chain's
      // ending is the walk's.
      if (k != 0 && out[k] - chains[k].lengths.get() < kSettling && restarts[k] < kGuesses &&
          at[k] + 1 < stop[k]) {
        ++restarts[k];
        origin[k] = at[k] = at[k] + 1;
        out[k] = chains[k].lengths.get();
        return true;
      }
      state[k] = refused ? Chain::kRefused : Chain::kEndSub;
      stop[k] = 0;
      return true;
    }
    at[k] = next;
    return true;
  };
  while (state[0] == Chain::kOn) {
    bool any = false;
    ((any = step(I) || any), ...);  // every chain steps, whatever the others did
    if (!any) break;                // every chain ended or reached its stop
  }
  ((chains[I].origin = origin[I], chains[I].at = at[I], chains[I].state = state[I],
    chains[I].count = static_cast<size_t>(out[I] - chains[I].lengths.get())),
   ...);
}

// WalkProcedure keeping lengths only, for long code. Each instruction's
// length depends on the one before, so one walk waits on a memory read per
// instruction; here the code from `start` to its end is cut in kChains parts
// and a walk runs from each cut at once, the later ones from a guess. A walk
// that reaches the next cut goes on until it lands where that part's walk
// went (variable-length code falls into step within a few instructions):
// from there on both read the same instructions, so that walk's lengths are
// taken over. A walk that passes the end of the next without meeting it goes
// on alone. The lengths and the result are exactly WalkProcedure's.
int32_t SplitWalk(std::span<const uint8_t> code, size_t start, std::vector<uint8_t>& lengths) {
  const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
  std::array<Chain, kChains> chains;
  const size_t part = (code.size() - start) / kChains;
  for (size_t k = 0; k < kChains; ++k) {
    chains[k].origin = chains[k].at = start + k * part;
    chains[k].stop = k + 1 < kChains ? start + (k + 1) * part : SIZE_MAX;
    chains[k].lengths.reset(new uint8_t[code.size() - chains[k].at + 1]);
  }
  SideBySide(code, opcodeOf, chains, std::make_index_sequence<kChains>{});
  // The walk from `start` so far, as parts of the chains' lengths.
  struct Piece {
    size_t chain, from;
  };
  std::vector<Piece> pieces;
  size_t cur = 0, from = 0;
  for (size_t k = 1; k < kChains && chains[cur].state == Chain::kOn; ++k) {
    Chain& walk = chains[cur];
    const Chain& next = chains[k];
    // The starts of next's instructions, in order; the last one it reached
    // (its OpEndSub, or where it was refused or stopped) ends the list.
    const size_t last = next.state == Chain::kEndSub ? next.count - 1 : next.count;
    size_t q = next.origin;
    size_t j = 0;
    bool met = false;
    for (;;) {
      while (j < last && q < walk.at) {
        const uint8_t length = next.lengths[j];
        q += length != 0 ? length : InstructionLength(code, q);
        ++j;
      }
      if (q == walk.at) {
        met = true;
        break;
      }
      if (q < walk.at || !walk.Step(code, opcodeOf)) break;  // past next's walk, or ended
    }
    if (!met) break;
    pieces.push_back({cur, from});
    cur = k;
    from = j;
  }
  Chain& walk = chains[cur];
  walk.stop = SIZE_MAX;
  while (walk.state == Chain::kOn && walk.Step(code, opcodeOf)) {
  }
  pieces.push_back({cur, from});
  // Each piece runs to its chain's last length: where the next chain took over.
  size_t total = lengths.size();
  for (const Piece& piece : pieces) total += chains[piece.chain].count - piece.from;
  lengths.reserve(total);
  for (const Piece& piece : pieces) {
    const Chain& c = chains[piece.chain];
    lengths.insert(lengths.end(), c.lengths.get() + piece.from, c.lengths.get() + c.count);
  }
  return walk.state == Chain::kEndSub ? static_cast<int32_t>(walk.at) : -1;
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
  if (out == nullptr && lengths != nullptr && static_cast<size_t>(start) < code.size() &&
      code.size() - static_cast<size_t>(start) >= kSplitFrom) {
    return SplitWalk(code, static_cast<size_t>(start), *lengths);
  }
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
