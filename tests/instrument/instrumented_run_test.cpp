// Rewritten code still runs: a compiled module, instrumented and executed by
// the runner, prints what the original prints and makes the timer calls the
// injected code promises (enter/exit once per call, a line call per executed
// eligible line, the end-of-run call after the end-of-run procedure's exit).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "instrument/item_context.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsc/compiler.h"
#include "sim/lsrun/runner.h"
#include "sim/scoped_sim_host.h"
#include "support/instrument_kit.h"
#include "timing/profile_app.h"

namespace quillet {
namespace {

struct TimerCall {
  int type;
  int line;  // -1 for function-timer calls
};

constexpr const char* kProgram = R"(Option Declare
Dim total As Long

Function Twice(ByVal n As Long) As Long
  Twice = n * 2
End Function

Sub Accumulate(ByVal count As Integer)
  Dim i As Integer
  For i = 1 To count
    total = total + Twice(i)
  Next
End Sub

Sub Initialize
  total = 0
  Call Accumulate(3)
  Print "total " & total
End Sub
)";

class InstrumentedRunTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Compile() {
    std::vector<uint8_t> image;
    std::vector<CompileError> errors;
    EXPECT_TRUE(CompileLotusScript(kProgram, image, errors)) << (errors.empty() ? "" : errors[0].message);
    return image;
  }

  std::vector<uint8_t> Instrument(const std::vector<uint8_t>& image, int32_t flags, Status32& status) {
    return kit::InstrumentLibrary(image, profile_, "Demo", flags, status);
  }

  RunResult RunCapturing(const std::vector<uint8_t>& image) {
    RunOptions options;
    options.natives.Register("nquillet", "KVXFunctionTimer",
                             [this](std::span<const lsrun::Value> args, lsrun::Value&) {
                               calls_.push_back({static_cast<int>(args.back().n()), -1});
                               return 0;
                             });
    options.natives.Register("nquillet", "KVXLineTimer", [this](std::span<const lsrun::Value> args, lsrun::Value&) {
      calls_.push_back({static_cast<int>(args[args.size() - 2].n()), static_cast<int>(args.back().n())});
      return 0;
    });
    return RunModule(image, options);
  }

  // Instruments the program with `flags` and runs it: it prints as before,
  // and its one end-of-run call comes right after the exit of the outermost
  // call.
  void RunToTheEndOfRun(int32_t flags) {
    Status32 status = 0;
    const std::vector<uint8_t> rewritten = Instrument(Compile(), flags, status);
    ASSERT_EQ(status, 0u);
    RunResult run = RunCapturing(rewritten);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, "total 12\n");
    ASSERT_EQ(Count(5), 1);
    ASSERT_GE(calls_.size(), 2u);
    EXPECT_EQ(calls_.back().type, 5);
    EXPECT_EQ(calls_[calls_.size() - 2].type, 2);
  }

  int Count(int type) const {
    int n = 0;
    for (const TimerCall& c : calls_) n += c.type == type ? 1 : 0;
    return n;
  }

  sim::ScopedSimHost host_;
  CLSProfileApp profile_{"nquillet", "", 0};
  std::vector<TimerCall> calls_;
};

TEST_F(InstrumentedRunTest, RewrittenModulePrintsTheSameAndTimesEveryCall) {
  const std::vector<uint8_t> original = Compile();
  RunResult plain = RunModule(original, {});
  ASSERT_TRUE(plain.ok) << plain.error;
  ASSERT_EQ(plain.output, "total 12\n");

  Status32 status = 0;
  const std::vector<uint8_t> rewritten = Instrument(original, 0x0003, status);
  ASSERT_EQ(status, 0u);
  ASSERT_NE(rewritten, original);

  RunResult run = RunCapturing(rewritten);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output, plain.output);

  // Initialize once, Accumulate once, Twice three times: five calls, each
  // entered and left exactly once, and properly nested.
  EXPECT_EQ(Count(1), 5);
  EXPECT_EQ(Count(2), 5);
  int depth = 0;
  for (const TimerCall& c : calls_) {
    if (c.type == 1) ++depth;
    if (c.type == 2) --depth;
    ASSERT_GE(depth, 0);
    if (c.type == 3) {
      EXPECT_GT(depth, 0) << "a line call outside any timed procedure";
    }
  }
  EXPECT_EQ(depth, 0);
  // Lines run: the loop body three times at least, plus the straight lines.
  EXPECT_GE(Count(3), 3 + 3);
  for (const TimerCall& c : calls_) {
    if (c.type == 3) {
      EXPECT_GE(c.line, 0);
    }
  }
}

TEST_F(InstrumentedRunTest, EndOfRunCallFollowsTheInitializeExit) {
  RunToTheEndOfRun(0x0001 | instrument_flags::kEndRunAtInitialize);
  EXPECT_EQ(Count(3), 0) << "no line calls without line timing";
}

// The module has no Terminate sub: the one the rewrite adds must be the
// module's Terminate, so the runtime runs it after Initialize and its end
// brings the end-of-run call.
TEST_F(InstrumentedRunTest, EndOfRunAtTerminateRunsTheAddedSub) {
  RunToTheEndOfRun(0x0001 | instrument_flags::kEndRunAtTerminate);
  // Initialize, Accumulate, Twice three times, then the added Terminate.
  EXPECT_EQ(Count(1), 6);
  EXPECT_EQ(Count(2), 6);
  ASSERT_GE(calls_.size(), 3u);
  EXPECT_EQ(calls_[calls_.size() - 3].type, 1) << "Terminate is entered and left right before the end of the run";
}

// The second procedure jumps through its labels: a GoTo too far for a 16-bit
// distance goes through the long jump, On Error GoTo through the label, and
// Resume to a label. Each label must stand where its instruction went after
// the rewrite; with line calls the procedure passes 64 KiB, so its labels
// also have to move into the label-offset table.
std::string LabelProgram() {
  std::string src =
      "Option Declare\n"
      "Dim total As Long\n"
      "Sub First\n"
      "  Dim i As Integer\n"
      "  For i = 1 To 3\n"
      "    total = total + i\n"
      "  Next\n"
      "  Print \"first \" & total\n"
      "End Sub\n"
      "Sub Second\n"
      "  Dim n As Integer, zero As Integer\n"
      "  GoTo start\n";
  for (int i = 0; i < 2400; ++i) src += "  total = total + 1\n";
  src +=
      "start:\n"
      "  On Error GoTo failed\n"
      "again:\n"
      "  n = n + 1\n"
      "  If n < 3 Then GoTo again\n"
      "  Print \"n \" & n\n"
      "  n = n \\ zero\n"
      "  Print \"not reached\"\n"
      "resumed:\n"
      "  Print \"resumed \" & n & \" \" & total\n"
      "  Exit Sub\n"
      "failed:\n"
      "  Print \"failed at \" & n\n"
      "  Resume resumed\n"
      "End Sub\n"
      "Sub Initialize\n"
      "  First\n"
      "  Second\n"
      "End Sub\n";
  return src;
}

TEST_F(InstrumentedRunTest, LabelsKeepTheirInstructionsAfterTheRewrite) {
  std::vector<uint8_t> original;
  std::vector<CompileError> errors;
  ASSERT_TRUE(CompileLotusScript(LabelProgram(), original, errors)) << errors[0].line << ": " << errors[0].message;
  {
    CLSScriptModule m;
    ASSERT_TRUE(m.Parse(original));
    ASSERT_TRUE(m.LabelOffsets().Empty()) << "every label fits 16 bits before the rewrite";
    bool longJump = false;
    for (uint8_t b : m.ByteCode().Data()) longJump = longJump || b == 220;
    ASSERT_TRUE(longJump) << "the far GoTo compiles to the long jump";
  }
  const RunResult plain = RunModule(original, {});
  ASSERT_TRUE(plain.ok) << plain.error;
  ASSERT_EQ(plain.output, "first 6\nn 3\nfailed at 3\nresumed 3 6\n");

  for (int32_t flags : {0x0003, 0x0101}) {
    SCOPED_TRACE(flags);
    calls_.clear();
    profile_.FunctionTimerHandle = profile_.LineTimerHandle = profile_.TimerClassHandle = kNoSymbolHandle;
    Status32 status = 0;
    const std::vector<uint8_t> rewritten = Instrument(original, flags, status);
    ASSERT_EQ(status, 0u);
    CLSScriptModule m;
    ASSERT_TRUE(m.Parse(rewritten));
    // Line calls take the second procedure past 64 KiB: its labels go
    // through the label-offset table then.
    EXPECT_EQ(!m.LabelOffsets().Empty(), (flags & 0x0002) != 0);
    const RunResult run = RunCapturing(rewritten);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(run.output, plain.output);
    EXPECT_EQ(Count(1), Count(2));
    EXPECT_GE(Count(1), 3);
  }
}

}  // namespace
}  // namespace quillet
