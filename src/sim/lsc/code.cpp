// Assembly of compiler instructions into byte code, laid out by the
// instruction-set table.
#include "sim/lsc/code.h"

#include "bytecode/opcodes.h"
#include "util/bytes.h"

namespace quillet::lsc {
namespace {

// Bytes of `in` including its opcode; -1 for a layout the compiler never emits.
int LengthOf(const Instr& in) {
  const OpcodeInfo& info = LookupOpcode(in.op);
  if (info.name == nullptr) return -1;
  if (info.layout == OperandLayout::kCountTargets) return 2 + 2 * static_cast<int>(in.targets.size());
  const int n = OperandLength(info.layout);
  return n < 0 ? -1 : 1 + n;
}

}  // namespace

bool Assemble(const CodeBuffer& code, HandleSource& handles, std::vector<uint8_t>& bytes,
              std::vector<int>& offsets, std::string& error) {
  const std::vector<Instr>& list = code.code();
  offsets.assign(list.size() + 1, 0);
  for (size_t i = 0; i < list.size(); ++i) {
    const int len = LengthOf(list[i]);
    if (len < 0) {
      error = "internal: opcode " + std::to_string(list[i].op) + " cannot be assembled";
      return false;
    }
    offsets[i + 1] = offsets[i] + len;
  }
  auto targetOf = [&](int label, int& at) {
    const int index = code.LabelIndex(label);
    if (index < 0 || index > static_cast<int>(list.size())) return false;
    at = offsets[index];
    return true;
  };

  bytes.assign(offsets.back(), 0);
  for (size_t i = 0; i < list.size(); ++i) {
    const Instr& in = list[i];
    const OperandLayout layout = LookupOpcode(in.op).layout;
    uint8_t* p = bytes.data() + offsets[i];
    p[0] = in.op;
    uint16_t operand = static_cast<uint16_t>(in.value);
    if (in.sym) operand = handles.SymbolHandle(*in.sym);
    if (in.hasText) operand = handles.StringHandle(in.text);
    // Relative targets count from the end of the instruction, or for target
    // lists from the end of each 2-byte slot.
    auto putRel = [&](uint8_t* slot, int from, int label) {
      int to = 0;
      int16_t rel = 0;
      if (!targetOf(label, to)) {
        error = "internal: jump to an unbound label";
        return false;
      }
      if (!EncodeRelTarget(from, to, rel)) {
        error = "control structure too long: a jump spans more than 32767 bytes";
        return false;
      }
      StoreU16(slot, static_cast<uint16_t>(rel));
      return true;
    };
    const int end = offsets[i + 1];
    if (in.op == kOpJmp && in.sym != nullptr) {
      // A GoTo beyond a 16-bit distance jumps through its label: the long
      // jump has the same length and names the label entry.
      int to = 0;
      int16_t rel = 0;
      if (targetOf(in.targets.at(0), to) && !EncodeRelTarget(end, to, rel)) {
        p[0] = kOpLongJmp;
        StoreU16(p + 1, handles.SymbolHandle(*in.sym));
        continue;
      }
    }
    switch (layout) {
      case OperandLayout::kNone:
        break;
      case OperandLayout::kU8:
        p[1] = static_cast<uint8_t>(in.value);
        break;
      case OperandLayout::kU16:
      case OperandLayout::kS16:
        StoreU16(p + 1, operand);
        break;
      case OperandLayout::kU16Skip2:
        StoreU16(p + 1, operand);
        break;
      case OperandLayout::kRel16:
        if (!putRel(p + 1, end, in.targets.at(0))) return false;
        break;
      case OperandLayout::kU16Rel16:
      case OperandLayout::kSkip2Rel16:
        StoreU16(p + 1, operand);
        if (!putRel(p + 3, end, in.targets.at(0))) return false;
        break;
      case OperandLayout::kU16Skip4Rel16:
        StoreU16(p + 1, operand);
        StoreU16(p + 3, in.extra);
        if (!putRel(p + 7, end, in.targets.at(0))) return false;
        break;
      case OperandLayout::kCountTargets:
        p[1] = static_cast<uint8_t>(in.targets.size());
        for (size_t k = 0; k < in.targets.size(); ++k) {
          const int slot = offsets[i] + 2 + 2 * static_cast<int>(k);
          if (!putRel(bytes.data() + slot, slot + 2, in.targets[k])) return false;
        }
        break;
      default:
        error = "internal: operand layout of opcode " + std::to_string(in.op) + " is not emitted";
        return false;
    }
  }
  offsets.pop_back();
  return true;
}

bool ReadInstructions(std::span<const uint8_t> bytes, InstructionList& list) {
  ByteReader reader(bytes);
  list.clear();
  while (!reader.AtEnd()) {
    std::unique_ptr<COpCode> in;
    if (ReadInstruction(reader, in) != ReadResult::kOk) return false;
    list.push_back(std::move(in));
  }
  return true;
}

}  // namespace quillet::lsc
