// Tests of the operation table: sizes and stack effects by operation word,
// and operations that run past their stream.
#include "formula/formula_operations.h"

#include <gtest/gtest.h>

#include <vector>

#include "formula/formula_status.h"
#include "formula/operation_stream.h"

namespace quillet {
namespace {

struct Row {
  uint16_t op;
  uint16_t second;  // the word at +2
  size_t size;
  int effect;
};

TEST(FormulaOperations, SizesAndStackEffectsByOperationWord) {
  const Row rows[] = {
      {0x03FB, 0, 4, -2}, {0x0220, 0, 2, -1}, {0x0100, 0, 2, 0}, {0x00FC, 0, 2, 1}, {0x00FF, 0, 2, 1},
      {0, 0, 10, 1},      {2, 0, 10, 1},      {1, 3, 8, 1},      {5, 4, 8, 1},      {1, 0, 4, 1},
      {3, 0, 2, 0},       {4, 0, 2, 0},       {6, 0, 18, 1},     {174, 0, 4, 0},    {175, 0, 6, 0},
      {251, 9, 4, 1},     {32, 0, 2, 1},      {0x01FC, 0, 2, 0}};
  for (const Row& row : rows) {
    std::vector<uint8_t> stream(32, 0);
    stream[0] = static_cast<uint8_t>(row.op);
    stream[1] = static_cast<uint8_t>(row.op >> 8);
    stream[2] = static_cast<uint8_t>(row.second);
    FormulaOperation operation;
    ASSERT_EQ(DescribeOperation(stream, 0, operation), kNoError) << row.op;
    EXPECT_EQ(operation.size, row.size) << row.op;
    EXPECT_EQ(operation.stackEffect, row.effect) << row.op;
  }
}

TEST(FormulaOperations, WordsBelow32WithoutASizeAreRefused) {
  for (uint16_t op : {7, 8, 31}) {
    std::vector<uint8_t> stream{static_cast<uint8_t>(op), 0, 0, 0};
    FormulaOperation operation;
    EXPECT_EQ(DescribeOperation(stream, 0, operation), kErrBadFormulaOperation) << op;
    EXPECT_EQ(ValidateOperationStream(stream), kErrBadFormulaOperation);
  }
}

TEST(FormulaOperations, OperationsRunningPastTheStreamAreRefused) {
  FormulaOperation operation;
  const std::vector<uint8_t> cases[] = {
      {0},                       // half an operation word
      {0, 0, 1, 2, 3, 4, 5, 6},  // a number needs 10 bytes
      {1, 0, 9, 0, 'a', 'b'},    // a string claiming 9 bytes
      {1, 0, 3, 0, 'a', 'b', 'c'},  // an odd string without its pad byte
      {175, 0, 6, 0}};
  for (const auto& stream : cases) {
    EXPECT_EQ(DescribeOperation(stream, 0, operation), kErrBadFormulaExpression) << stream.size();
  }
}

TEST(FormulaOperations, StreamStackMustStayPositiveAndEndAtOne) {
  const std::vector<uint8_t> underflow{0x20, 2};                     // an operator with nothing to take
  const std::vector<uint8_t> jumpFirst{174, 0, 4, 0, 32, 0};          // a jump leaves the stack empty
  const std::vector<uint8_t> overflow{32, 0, 33, 0};                  // two values left
  const std::vector<uint8_t> balanced{32, 0, 33, 0, 0x20, 2};
  EXPECT_EQ(ValidateOperationStream(underflow), kErrFormulaStackUnderflow);
  EXPECT_EQ(ValidateOperationStream(jumpFirst), kErrFormulaStackUnderflow);
  EXPECT_EQ(ValidateOperationStream(overflow), kErrFormulaStackOverflow);
  EXPECT_EQ(ValidateOperationStream({}), kErrFormulaStackUnderflow);
  EXPECT_EQ(ValidateOperationStream(balanced), kNoError);
}

}  // namespace
}  // namespace quillet
