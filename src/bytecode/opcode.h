// The instruction base class: one object per byte-code instruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bytecode/instruction_pool.h"

namespace quillet {

// One instruction of a procedure's byte code. Every instruction is a separately
// allocated object owned by the list that holds it. Instructions decoded from a
// module keep the byte position of their opcode byte in `offset`; instructions
// built in memory have offset 0.
//
// The virtual operations are declared in their slot order: destructor, opcode,
// branchSize, emit (jumps extend the table after emit, see opcode_jumps.h).
class COpCode {
 public:
  COpCode() = default;
  COpCode(const COpCode&) = default;
  COpCode& operator=(const COpCode&) = default;
  virtual ~COpCode() = default;

  // Instructions are created and freed by the thousand while decoding: their
  // memory comes from the instruction pool. Deleting through a base pointer
  // passes the dynamic type's size.
  static void* operator new(std::size_t size) { return instruction_pool::Allocate(size); }
  static void operator delete(void* block, std::size_t size) noexcept { instruction_pool::Release(block, size); }

  // The opcode byte of the instruction; -1 for the bare base class. Classes that
  // stand for several opcodes answer the one they were decoded from.
  virtual int opcode() const { return -1; }

  // For an instruction carrying relative jump targets, the bytes from its opcode
  // byte to the end of the instruction (where a relative target counts from);
  // -1 for every other instruction.
  virtual int branchSize() const { return -1; }

  // Writes the instruction's encoding at `position` and returns the number of
  // bytes written. The buffer grows when it is too short, so a caller's scratch
  // area that underestimates the length never leads to a write out of bounds.
  // Instructions outside the encodable set write nothing and return 0.
  // REQUIRES: position >= 0.
  virtual int emit(std::vector<uint8_t>& buffer, int position) const {
    (void)buffer;
    (void)position;
    return 0;
  }

  // The class name of the instruction ("OpLine"); "COpCode" for the base class.
  const char* name() const;

  // True when `emit` writes this instruction's bytes.
  bool encodable() const;

  int32_t offset = 0;

 protected:
  // The `length` bytes at `position` of `buffer`, growing the buffer first when
  // it is shorter than position + length.
  static uint8_t* EmitSpace(std::vector<uint8_t>& buffer, int position, int length);
};

using InstructionList = std::vector<std::unique_ptr<COpCode>>;

// Encodes the instructions in list order into one byte block of exactly the
// encoded length. An empty list gives an empty block; an instruction outside
// the encodable set contributes no bytes.
std::vector<uint8_t> EncodeInstructions(const InstructionList& list);

}  // namespace quillet
