// Sizes and stack effects of formula operations, by operation word.
#include "formula/formula_operations.h"

#include "formula/formula_status.h"
#include "util/bytes.h"

namespace quillet {
namespace {

constexpr uint16_t kFirstPlainOperation = 32;  // words below have fixed meanings or none
constexpr uint16_t kFirstMultiOperandOp = 0x100;
constexpr uint8_t kLongOperationLowByte = 0xFB;

// Size and effect of `op` alone; false when it has none. String and name
// operations report their header size; the caller adds the text.
bool FixedShape(uint16_t op, size_t& size, int& effect) {
  if (op >= kFirstMultiOperandOp) {
    size = (op & 0xFF) == kLongOperationLowByte ? 4 : 2;
    effect = 1 - (op >> 8);
    return true;
  }
  effect = 1;
  switch (op) {
    case kOpNumber:
    case kOpNumberAlt: size = 10; return true;
    case kOpString:
    case kOpName: size = kTextOperationHeader; return true;
    case 3:
    case 4: size = 2; effect = 0; return true;
    case 6: size = 18; return true;
    case kOpJump: size = 4; effect = 0; return true;
    case kOpTwoWayJump: size = 6; effect = 0; return true;
    case kOpExtended: size = 4; return true;
    default: break;
  }
  if (op < kFirstPlainOperation) return false;
  size = 2;  // 0xFC..0xFF and every other word from 32 up
  return true;
}

}  // namespace

Status32 DescribeOperation(std::span<const uint8_t> stream, size_t pos, FormulaOperation& operation) {
  if (pos > stream.size() || stream.size() - pos < 2) return kErrBadFormulaExpression;
  const uint8_t* at = stream.data() + pos;
  const uint16_t op = LoadU16(at);
  size_t size = 0;
  int effect = 0;
  if (!FixedShape(op, size, effect)) return kErrBadFormulaOperation;
  if (size > stream.size() - pos) return kErrBadFormulaExpression;
  if (op == kOpString || op == kOpName) {
    size += LoadU16(at + 2);
    size += size % 2;
    if (size > stream.size() - pos) return kErrBadFormulaExpression;
  }
  operation = FormulaOperation{op, size, effect};
  return kNoError;
}

}  // namespace quillet
