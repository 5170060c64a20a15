// The instruction-set table as data, and instructions built from opcode bytes.
#include <array>
#include <type_traits>

#include "bytecode/opcodes.h"

namespace quillet {
namespace {

constexpr std::array<OpcodeInfo, 256> BuildOpcodeTable() {
  std::array<OpcodeInfo, 256> table{};
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name)                                     \
  if (table[byte].name != nullptr) throw "opcode listed twice";                           \
  if (Enc && (OperandLength(OperandLayout::Layout) < 0 ||                                 \
              OperandLength(OperandLayout::Layout) > 3))                                  \
    throw "an encodable instruction must fit the encoder's 4 bytes";                      \
  table[byte] = OpcodeInfo{#Class, OperandLayout::Layout, Enc};
#include "bytecode/opcodes.def"
  return table;
}

constexpr std::array<OpcodeInfo, 256> kOpcodeTable = BuildOpcodeTable();
constexpr OpcodeInfo kNotAnOpcode{};

// An instruction of class T as decoding builds it for opcode byte `op`.
template <class T>
std::unique_ptr<T> MakeBlank(int op) {
  if constexpr (requires { T::Decoded(op); }) {
    return T::Decoded(op);
  } else if constexpr (requires(T& t) { t.variant; }) {
    return std::make_unique<T>(op);
  } else {
    return std::make_unique<T>();
  }
}

}  // namespace

const OpcodeInfo& LookupOpcode(int opcode) {
  if (opcode < 0 || opcode >= static_cast<int>(kOpcodeTable.size())) return kNotAnOpcode;
  return kOpcodeTable[static_cast<size_t>(opcode)];
}

std::unique_ptr<COpCode> MakeInstruction(int opcode) {
  switch (opcode) {
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  case byte: return MakeBlank<Class>(byte);
#include "bytecode/opcodes.def"
    default: return nullptr;
  }
}

const std::array<int16_t, 256>& DecodedOpcodes() {
  // Read once from the instructions themselves, so it cannot drift from them.
  static const std::array<int16_t, 256> kDecoded = [] {
    std::array<int16_t, 256> codes{};
    for (size_t i = 0; i < codes.size(); ++i) {
      const std::unique_ptr<COpCode> instr = MakeInstruction(static_cast<int>(i));
      codes[i] = static_cast<int16_t>(instr ? instr->opcode() : -1);
    }
    return codes;
  }();
  return kDecoded;
}

int DecodedOpcode(uint8_t b) { return DecodedOpcodes()[b]; }

namespace {

template <class T>
ReadResult ReadAs(int op, ByteReader& r, std::unique_ptr<COpCode>& out) {
  std::unique_ptr<T> instr = MakeBlank<T>(op);
  if (!instr) return ReadResult::kUnknownOpcode;  // an operator byte without its table row
  if (!instr->ReadFrom(r)) return ReadResult::kTruncated;
  out = std::move(instr);
  return ReadResult::kOk;
}

ReadResult ReadOperands(int op, ByteReader& r, std::unique_ptr<COpCode>& out) {
  switch (op) {
#define QUILLET_OPCODE(byte, Class, Layout, Enc, Def, Name) \
  case byte: return ReadAs<Class>(byte, r, out);
#include "bytecode/opcodes.def"
    default: return ReadResult::kUnknownOpcode;
  }
}

}  // namespace

ReadResult ReadInstruction(ByteReader& reader, std::unique_ptr<COpCode>& out) {
  const size_t start = reader.pos();
  uint8_t op = 0;
  if (!reader.ReadU8(op)) return ReadResult::kTruncated;
  std::unique_ptr<COpCode> instr;
  const ReadResult result = ReadOperands(op, reader, instr);
  if (result != ReadResult::kOk) {
    (void)reader.Seek(start);
    return result;
  }
  instr->offset = static_cast<int32_t>(start);
  out = std::move(instr);
  return ReadResult::kOk;
}

}  // namespace quillet
