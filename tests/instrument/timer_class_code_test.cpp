// Tests of the per-procedure pieces of injected code: their exact bytes.
#include "instrument/timer_class_code.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

const TimerIdentity kId{0x12345678, 0x0042, 0x0009ABCD};

TEST(TimerClassCode, LineCallBytesAndLineArgument) {
  LineCall call = BuildLineCall(0x0107, kId);
  ASSERT_EQ(call.bytes.size(), static_cast<size_t>(kLineCallLength));
  const Bytes expected = {
      0x1A, 0xFF, 0xFF,  // OpLine, synthetic
      0x29, 0x07, 0x01,  // OpLoadProc line timer
      0x90, 0x78, 0x56,  // OpInteger key low
      0x90, 0x34, 0x12,  // OpInteger key high
      0x90, 0x42, 0x00,  // OpInteger procedure
      0x90, 0xCD, 0xAB,  // OpInteger note ID low
      0x90, 0x09, 0x00,  // OpInteger note ID high
      0x90, 0x03, 0x00,  // OpInteger type 3, a line
      0x90, 0x00, 0x00,  // OpInteger line argument
      0x23,              // OpCallProc
      0x1B,              // OpStmtSep
  };
  EXPECT_EQ(call.bytes, expected);
  ASSERT_EQ(call.argumentAt, 25u);
  call.SetLine(0xFEDC);
  EXPECT_EQ(call.bytes[24], 0x90);
  EXPECT_EQ(call.bytes[25], 0xDC);
  EXPECT_EQ(call.bytes[26], 0xFE);
  EXPECT_EQ(call.bytes[27], 0x23);
}

TEST(TimerClassCode, EncodedEntryCodeEqualsTheEncodedList) {
  const Bytes expected = {
      0x1A, 0xFF, 0xFF,  // OpLine, synthetic
      0x5E, 0x30, 0x02,  // OpLLoadObjPtr timer variable
      0x2A, 0x10, 0x01,  // OpLoadCtor timer class
      0x90, 0x78, 0x56,  // OpInteger key low
      0x90, 0x34, 0x12,  // OpInteger key high
      0x90, 0x42, 0x00,  // OpInteger procedure
      0x90, 0xCD, 0xAB,  // OpInteger note ID low
      0x90, 0x09, 0x00,  // OpInteger note ID high
      0x23,              // OpCallProc
      0xA6,              // OpSet
      0x1B,              // OpStmtSep
  };
  const InstructionList list = BuildEntryCode(0x0230, 0x0110, kId);
  EXPECT_EQ(EncodeInstructions(list), expected);
  EXPECT_EQ(EncodeEntryCode(0x0230, 0x0110, kId), expected);
  EXPECT_EQ(expected.size(), static_cast<size_t>(kEntryCodeLength));
}

}  // namespace
}  // namespace quillet
