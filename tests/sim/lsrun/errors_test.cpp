// Runs that must stop with a clear message and never crash: code the
// runtime cannot execute, runtime errors without a handler, endless loops,
// and damaged images.
#include <gtest/gtest.h>

#include "sim/lsrun/image_kit.h"
#include "sim/lsrun/run_helpers.h"

namespace quillet {
namespace {

using testing::InitializeImage;

RunResult RunCode(const std::vector<uint8_t>& code, uint64_t maxSteps = 100000) {
  RunOptions options;
  options.maxSteps = maxSteps;
  return RunModule(InitializeImage(code), options);
}

void ExpectStops(const RunResult& r, const std::string& text) {
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(text), std::string::npos) << r.error;
}

TEST(RunCode, HandBuiltInstructionsTheCompilerNeverEmits) {
  // OpInteger 5; OpAssignLocal 0; OpLLoadObj V; OpInteger 2; OpInteger 3;
  // "+" in its second form (172); OpPrint 2; OpEndSub.
  RunResult r = RunCode({0x90, 0x05, 0x00, 0xA7, 0x00, 0x4A, testing::kLocalV, 0x00, 0x90, 0x02, 0x00, 0x90, 0x03,
                         0x00, 0xAC, 0x3F, 0x02, 0x1D});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, "55\n");
  EXPECT_EQ(r.steps, 8u);
}

TEST(RunCode, ConversionOpcodesAreTheTableRows) {
  // OpInteger 42; CStr (155); "&" with the string "7" made by CStr of 7; OpPrint 1.
  RunResult r = RunCode({0x90, 0x2A, 0x00, 0x9B, 0x90, 0x07, 0x00, 0x9B, 0xBF, 0x3F, 0x01, 0x1D});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, "427\n");
  // CDat (154) makes day 42 a date: 10 February 1900.
  r = RunCode({0x90, 0x2A, 0x00, 0x9A, 0x3F, 0x01, 0x1D});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.output, "02/10/1900\n");
  // Fraction (164) is an instruction the runtime does not have: it stops
  // rather than treating it as another opcode's conversion.
  ExpectStops(RunCode({0x90, 0x2A, 0x00, 0xA4, 0x31, 0x1D}), "unsupported instruction 164");
}

TEST(RunCode, UnrunnableCodeStopsWithItsReason) {
  ExpectStops(RunCode({0x1A, 0x0C, 0x00, 0x07, 0x1D}), "Unknown opcode: 0x0007 on line 12");
  ExpectStops(RunCode({0x41, 0x1D}), "unsupported instruction 65");
  ExpectStops(RunCode({0x90, 0x01, 0x00}), "cannot run 'INITIALIZE'");  // no OpEndSub before the end
  ExpectStops(RunCode({0x3A, 0x01, 0x00, 0x90, 0x01, 0x00, 0x1D}), "not the start of an instruction");
  ExpectStops(RunCode({0x36, 0xFD, 0xFF, 0x1D}), "Next without its For");
  ExpectStops(RunModule(std::vector<uint8_t>{1, 2, 3}, RunOptions{}), "not a readable compiled module");
}

TEST(RunCode, StackUnderflowIsCaughtAtEveryPoppingInstruction) {
  for (uint8_t op : {0x31, 0x32, 0xA5, 0xA6, 0xA8, 0xBF, 0x9F, 0x23}) {
    SCOPED_TRACE(op);
    ExpectStops(RunCode({op, 0x1D}), op == 0x23 ? "call without a procedure" : "stack underflow");
  }
  ExpectStops(RunCode({0x38, 0x00, 0x00, 0x1D}), "stack underflow");  // OpJZ to the end
  ExpectStops(RunCode({0x3F, 0x03, 0x1D}), "stack underflow");  // Print of 3 values
}

TEST(RunCode, RuntimeErrorsWithoutHandlerNameProcedureAndLine) {
  // Line 7: OpInteger 1; OpIntZero; "/"; OpPop.
  const RunResult r = RunCode({0x1A, 0x07, 0x00, 0x90, 0x01, 0x00, 0x85, 0xAB, 0x31, 0x1D});
  ExpectStops(r, "Division by zero, error 11 in 'INITIALIZE' at line 7");
  ExpectStops(RunCode({0x3E, 0x1D}), "RETURN without GOSUB");
  ExpectStops(RunCode({0x0D, 0x1D}), "Resume without error");
}

TEST(RunCode, StepLimitEndsAnEndlessLoop) {
  const RunResult r = RunCode({0x3A, 0xFD, 0xFF, 0x1D}, 1000);  // OpJmp to itself
  ExpectStops(r, "step limit of 1000 instructions");
  EXPECT_EQ(r.steps, 1001u);
}

TEST(RunCode, StringsBeyondTheLimitAreOutOfStringSpace) {
  RunOptions options;
  options.maxStringLength = 1000;
  const char* doubling =
      "Sub Initialize\n  Dim s As String\n  Dim i As Integer\n  s = \"x\"\n"
      "  For i = 1 To 40\n    s = s & s\n  Next\nEnd Sub\n";
  ExpectStops(testing::CompileAndRun(doubling, options), "Out of string space");
  // Nine doublings make 512 bytes: within a limit of 512, not of 511.
  const char* nineTimes =
      "Sub Initialize\n  Dim s As String\n  Dim i As Integer\n  s = \"x\"\n"
      "  For i = 1 To 9\n    s = s + s\n  Next\n  Print \"done\"\nEnd Sub\n";
  options.maxStringLength = 512;
  const RunResult fits = testing::CompileAndRun(nineTimes, options);
  EXPECT_TRUE(fits.ok) << fits.error;
  EXPECT_EQ(fits.output, "done\n");
  options.maxStringLength = 511;
  ExpectStops(testing::CompileAndRun(nineTimes, options), "Out of string space");
  // The error traps like any other.
  const RunResult trapped = testing::CompileAndRun(
      "Sub Initialize\n  On Error GoTo Full\n  Dim s As String\n  s = \"x\"\n"
      "  Do While True\n    s = s & s\n  Loop\n  Exit Sub\nFull:\n  Print \"full\"\nEnd Sub\n",
      options);
  EXPECT_TRUE(trapped.ok) << trapped.error;
  EXPECT_EQ(trapped.output, "full\n");
}

TEST(RunCode, TimeLimitEndsWorkTheStepsDoNotBound) {
  RunOptions options;
  options.maxSeconds = 1;
  const RunResult r = testing::CompileAndRun(
      "Sub Initialize\n  Dim s As String\n  Do While True\n    s = s & \"0123456789abcdef\"\n  Loop\nEnd Sub\n",
      options);
  ExpectStops(r, "time limit of 1 seconds reached");
  EXPECT_LT(r.steps, options.maxSteps);
}

TEST(RunCode, DeepRecursionRunsOutOfStackSpace) {
  RunOptions options;
  options.maxCallDepth = 50;
  RunResult r = testing::CompileAndRun("Function F(ByVal n As Long) As Long\n  F = F(n + 1)\nEnd Function\n"
                                       "Sub Initialize\n  Print F(1)\nEnd Sub\n",
                                       options);
  ExpectStops(r, "Out of stack space");
}

// Every single-byte corruption and every truncation of a compiled image
// either runs or stops with a message; none may crash (checked under the
// sanitizers too).
TEST(RunCode, DamagedImagesNeverCrash) {
  const std::vector<uint8_t> image = testing::Compile(
      "Class C\n  v As Integer\n  Sub New(ByVal x As Integer)\n    v = x\n  End Sub\nEnd Class\n"
      "Sub Initialize\n  Dim c As New C(2)\n  Dim i As Integer\n  For i = 1 To 3\n    Print c.v * i\n  Next\n"
      "End Sub\n");
  ASSERT_FALSE(image.empty());
  RunOptions options;
  options.maxSteps = 2000;
  size_t stopped = 0;
  for (size_t i = 0; i < image.size(); ++i) {
    std::vector<uint8_t> damaged = image;
    damaged[i] ^= 0xA5;
    const RunResult r = RunModule(damaged, options);
    if (!r.ok) {
      ++stopped;
      EXPECT_FALSE(r.error.empty());
    }
  }
  EXPECT_GT(stopped, 0u);
  for (size_t n = 0; n < image.size(); n += 7) {
    const RunResult r = RunModule(std::span<const uint8_t>(image.data(), n), options);
    EXPECT_TRUE(r.ok || !r.error.empty());
  }
}

}  // namespace
}  // namespace quillet
