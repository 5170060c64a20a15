// DecodeNext: the instruction-set table reads the operands, this file adds the
// checks a compiled procedure must pass and the cursor's line tracking.
#include "bytecode/decoder.h"

#include <cstdio>
#include <string>

#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"
#include "bytecode/module_errors.h"

namespace quillet {
namespace {

template <typename... Args>
[[noreturn]] void Fail(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  throw CIllegalArgumentException(text);
}

}  // namespace

bool IsKnownBuiltin(int number) {
  return (number >= 0 && number <= 90) || (number >= 94 && number <= 95) ||
         (number >= 112 && number <= 123) || (number >= 126 && number <= 131) ||
         (number >= 163 && number <= 174);
}

std::unique_ptr<COpCode> DecodeNext(DecodeCursor& cursor) {
  const int32_t start = cursor.position;
  if (start < 0 || static_cast<size_t>(start) >= cursor.code.size()) {
    Fail("Code position %X outside the byte code (length %zX) on line %d",
         static_cast<unsigned>(start), cursor.code.size(), cursor.currentLine);
  }
  ByteReader reader(cursor.code);
  (void)reader.Seek(static_cast<size_t>(start));  // inside, checked above
  const unsigned op = cursor.code[static_cast<size_t>(start)];

  std::unique_ptr<COpCode> instr;
  switch (ReadInstruction(reader, instr)) {
    case ReadResult::kOk:
      break;
    case ReadResult::kUnknownOpcode:
      cursor.position = start + 1;
      Fail("Unknown opcode: 0x%.4X on line %d (offset: %X)", op, cursor.currentLine,
           static_cast<unsigned>(start));
    case ReadResult::kTruncated:
      Fail("Truncated instruction 0x%.4X on line %d (offset: %X)", op, cursor.currentLine,
           static_cast<unsigned>(start));
  }
  cursor.position = static_cast<int32_t>(reader.pos());

  // The opcode byte names the class for every opcode checked here.
  switch (op) {
    case op::kLine:
      cursor.currentLine = static_cast<const OpLine&>(*instr).line;
      break;
    case op::kBuiltinDisp: {
      const unsigned number = static_cast<const OpBuiltinDisp&>(*instr).subOperand;
      if (!IsKnownBuiltin(static_cast<int>(number))) {
        Fail("Unrecognized builtin 0x%.4X on line %d\n", number, cursor.currentLine);
      }
      break;
    }
    case op::kBuiltinFileDisp: {
      const unsigned number = static_cast<const OpBuiltinFileDisp&>(*instr).subOperand;
      if (number > OpBuiltinFileDisp::kLastFileBuiltin) {
        Fail("Unrecognized File builtin 0x%.4X on line %d", number, cursor.currentLine);
      }
      break;
    }
    default:
      break;
  }
  return instr;
}

}  // namespace quillet
