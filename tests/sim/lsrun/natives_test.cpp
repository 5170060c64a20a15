// External declarations: registered natives, and the timer entry points of
// "nquillet" reached with 16-bit arguments in the code shape the
// instrumentation injects (a timer object per procedure whose constructor and
// destructor report entry and exit, and direct line calls).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/lsrun/run_helpers.h"

namespace {

// The library's exported entry points as this test program provides them;
// the runner reaches them through its weak references.
std::vector<std::vector<uint32_t>> gTimerCalls;

}  // namespace

extern "C" void KVXFunctionTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5, int32_t type) {
  gTimerCalls.push_back({w1, w2, w3, w4, w5, static_cast<uint32_t>(type)});
}

extern "C" void KVXLineTimer(uint32_t w1, uint32_t w2, uint32_t w3, uint32_t w4, uint32_t w5, int32_t type,
                             int32_t line) {
  gTimerCalls.push_back({w1, w2, w3, w4, w5, static_cast<uint32_t>(type), static_cast<uint32_t>(line)});
}

namespace quillet {
namespace {

const char* kInstrumentedShape =
    "Declare Sub KVXFunctionTimer Lib \"nquillet\" (ByVal a As Integer, ByVal b As Integer, ByVal c As Integer, "
    "ByVal d As Integer, ByVal e As Integer, ByVal t As Integer)\n"
    "Declare Sub KVXLineTimer Lib \"nquillet\" (ByVal a As Integer, ByVal b As Integer, ByVal c As Integer, "
    "ByVal d As Integer, ByVal e As Integer, ByVal t As Integer, ByVal l As Integer)\n"
    "Class CKVXTimerManager\n"
    "  m_dwFnName_low As Integer\n"
    "  m_dwFnName_high As Integer\n"
    "  m_dwFnId As Integer\n"
    "  m_dwNoteID_low As Integer\n"
    "  m_dwNoteID_high As Integer\n"
    "  Sub New(ByVal dwFnName_low As Integer, ByVal dwFnName_high As Integer, ByVal dwFnId As Integer, "
    "ByVal dwNoteID_low As Integer, ByVal dwNoteID_hi As Integer)\n"
    "    m_dwFnName_low = dwFnName_low\n"
    "    m_dwFnName_high = dwFnName_high\n"
    "    m_dwFnId = dwFnId\n"
    "    m_dwNoteID_low = dwNoteID_low\n"
    "    m_dwNoteID_high = dwNoteID_hi\n"
    "    KVXFunctionTimer m_dwFnName_low, m_dwFnName_high, m_dwFnId, m_dwNoteID_low, m_dwNoteID_high, 1\n"
    "  End Sub\n"
    "  Sub Delete\n"
    "    KVXFunctionTimer m_dwFnName_low, m_dwFnName_high, m_dwFnId, m_dwNoteID_low, m_dwNoteID_high, 2\n"
    "  End Sub\n"
    "End Class\n"
    "Sub Work(ByVal k As Integer)\n"
    "  Dim KVXTimerMgr As CKVXTimerManager\n"
    "  Set KVXTimerMgr = New CKVXTimerManager(-2, 4660, k, 9, 0)\n"
    "  KVXLineTimer -2, 4660, k, 9, 0, 3, 1\n"
    "  If k = 1 Then Exit Sub\n"
    "  KVXLineTimer -2, 4660, k, 9, 0, 3, 2\n"
    "  Print 1 \\ (k - 2)\n"
    "End Sub\n"
    "Sub Initialize\n"
    "  On Error GoTo handler\n"
    "  Work 0\n"
    "  Work 1\n"
    "  Work 2\n"
    "  Exit Sub\n"
    "handler:\n"
    "  Resume Next\n"
    "End Sub\n";

// The runner finds these definitions through weak references.
TEST(RunNatives, TimerEntriesGetSixteenBitArgumentsInEntryLineExitOrder) {
  gTimerCalls.clear();
  RunResult r = testing::CompileAndRun(kInstrumentedShape);
  ASSERT_TRUE(r.ok) << r.error;
  const uint32_t low = 0xFFFE;  // -2 as its 16-bit word, not sign-extended
  const std::vector<std::vector<uint32_t>> expected = {
      {low, 4660, 0, 9, 0, 1}, {low, 4660, 0, 9, 0, 3, 1}, {low, 4660, 0, 9, 0, 3, 2}, {low, 4660, 0, 9, 0, 2},
      {low, 4660, 1, 9, 0, 1}, {low, 4660, 1, 9, 0, 3, 1}, {low, 4660, 1, 9, 0, 2},  // Exit Sub
      {low, 4660, 2, 9, 0, 1}, {low, 4660, 2, 9, 0, 3, 1}, {low, 4660, 2, 9, 0, 3, 2}, {low, 4660, 2, 9, 0, 2},
  };
  EXPECT_EQ(gTimerCalls, expected);
  EXPECT_EQ(r.output, "0\n");  // 1 \ (0 - 2) rounds toward zero
}

TEST(RunNatives, RegisteredTableWinsAndCapturesCalls) {
  gTimerCalls.clear();
  std::vector<std::string> seen;
  RunOptions options;
  options.natives.Register("NQUILLET.DLL", "kvxfunctiontimer", [&](std::span<const lsrun::Value> args, lsrun::Value&) {
    seen.push_back("F" + std::to_string(args[2].n()) + "/" + std::to_string(args[5].n()));
    return 0;
  });
  options.natives.Register("nquillet", "KVXLineTimer", [&](std::span<const lsrun::Value> args, lsrun::Value&) {
    seen.push_back("L" + std::to_string(args[6].n()));
    return 0;
  });
  RunResult r = testing::CompileAndRun(kInstrumentedShape, options);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(gTimerCalls.empty());
  EXPECT_EQ(seen, (std::vector<std::string>{"F0/1", "L1", "L2", "F0/2", "F1/1", "L1", "F1/2", "F2/1", "L1", "L2",
                                            "F2/2"}));
}

TEST(RunNatives, FunctionsConvertArgumentsAndResults) {
  RunOptions options;
  std::vector<lsrun::Value::Type> types;
  options.natives.Register("kernel32", "GetTickCount", [&](std::span<const lsrun::Value> args, lsrun::Value& out) {
    for (const lsrun::Value& a : args) types.push_back(a.type());
    out = lsrun::Value::Integer(static_cast<int16_t>(args[0].n() + 1));
    return 0;
  });
  EXPECT_EQ(testing::Output("Declare Function Tick Lib \"kernel32\" Alias \"GetTickCount\" "
                            "(ByVal a As Long, ByVal s As String) As Long\n"
                            "Sub Initialize\n"
                            "  Print Tick(41, 7)\n"
                            "End Sub\n",
                            options),
            "42\n");
  EXPECT_EQ(types, (std::vector<lsrun::Value::Type>{lsrun::Value::Type::kLong, lsrun::Value::Type::kString}));
}

TEST(RunNatives, MissingEntryPointOrFailingNativeStopsWithItsError) {
  RunOptions options;
  options.timerEntries = false;
  RunResult r = testing::CompileAndRun(
      "Declare Sub KVXFunctionTimer Lib \"nquillet\" (ByVal a As Integer)\nSub Initialize\n"
      "  KVXFunctionTimer 1\nEnd Sub\n",
      options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Error in loading DLL"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("KVXFunctionTimer"), std::string::npos) << r.error;

  options.natives.Register("lib", "Fails", [](std::span<const lsrun::Value>, lsrun::Value&) { return 11; });
  options.natives.Register("lib", "Throws", [](std::span<const lsrun::Value>, lsrun::Value&) -> int {
    throw std::runtime_error("boom");
  });
  r = testing::CompileAndRun("Declare Sub Fails Lib \"lib\" ()\nSub Initialize\n  Fails\nEnd Sub\n", options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Division by zero"), std::string::npos) << r.error;
  r = testing::CompileAndRun("Declare Sub Throws Lib \"lib\" ()\nSub Initialize\n  Throws\nEnd Sub\n", options);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("boom"), std::string::npos) << r.error;
}

// A call whose arguments are plain loads runs as one step but counts every
// instruction it stands for: against the same call with one argument
// computed (two more instructions, run one by one) the count differs by
// exactly those, and a step limit inside the call stops the run on the
// same instruction as it would without the shortcut.
TEST(RunNatives, CallsOfPlainArgumentsCountEveryInstruction) {
  auto source = [](const std::string& first) {
    return "Declare Sub Note Lib \"lib\" (ByVal a As Integer, ByVal b As Long, ByVal c As String)\n"
           "Dim g As Long\n"
           "Sub Initialize\n"
           "  Dim i As Integer\n"
           "  g = 100\n"
           "  For i = 1 To 10\n"
           "    Note " + first + ", i, g\n"
           "  Next\n"
           "End Sub\n";
  };
  RunOptions options;
  std::vector<std::string> seen;
  options.natives.Register("lib", "Note", [&](std::span<const lsrun::Value> args, lsrun::Value&) {
    seen.push_back(std::to_string(args[0].n()) + "/" + std::to_string(args[1].n()) + "/" + args[2].text());
    return 0;
  });
  const std::vector<uint8_t> plain = testing::Compile(source("7"));
  const std::vector<uint8_t> computed = testing::Compile(source("7 + 0"));
  RunResult a = RunModule(plain, options);
  ASSERT_TRUE(a.ok) << a.error;
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[0], "7/1/100");
  EXPECT_EQ(seen[9], "7/10/100");
  RunResult b = RunModule(computed, options);
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(b.steps, a.steps + 20);

  for (uint64_t limit = a.steps - 12; limit < a.steps; ++limit) {
    seen.clear();
    options.maxSteps = limit;
    RunResult cut = RunModule(plain, options);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.steps, limit + 1);
    EXPECT_NE(cut.error.find("step limit"), std::string::npos) << cut.error;
    // The last OpCallProc has six instructions after it: its separator,
    // Next's line and OpNext, the loop's separator, End Sub's line, OpEndSub.
    EXPECT_EQ(seen.size(), 9u + (limit >= a.steps - 6 ? 1u : 0u)) << "limit " << limit;
  }
}

// Arguments read from members, parameters and constants: one of the
// parameter's type goes as it is, one of another type is converted first,
// and one that does not convert stops the call, at its line, before the
// native runs; the first argument that fails is the one reported.
TEST(RunNatives, ArgumentsOfOtherTypesAreConvertedOrRefusedBeforeTheCall) {
  const std::string kClass =
      "Declare Sub Take Lib \"lib\" (ByVal a As Integer, ByVal b As Long, ByVal c As String, ByVal d As Double)\n"
      "Class Holder\n"
      "  big As Long\n  small As Integer\n  word As String\n"
      "  Sub New(ByVal b As Long, ByVal w As String)\n"
      "    big = b\n    small = 5\n    word = w\n"
      "  End Sub\n"
      "  Sub Send(ByVal n As Integer)\n"
      "    Take big, small, n, word\n"
      "  End Sub\n"
      "End Class\n";
  RunOptions options;
  std::vector<std::string> seen;
  options.natives.Register("lib", "Take", [&](std::span<const lsrun::Value> args, lsrun::Value&) {
    std::string line;
    for (const lsrun::Value& a : args) {
      line += std::to_string(static_cast<int>(a.type())) + ":" +
              (a.type() == lsrun::Value::Type::kString   ? a.text()
               : a.type() == lsrun::Value::Type::kDouble ? std::to_string(a.d())
                                                         : std::to_string(a.n())) +
              " ";
    }
    seen.push_back(line);
    return 0;
  });
  // Sends 7 from a Holder made with `big` and `word`.
  const auto send = [&](const std::string& big, const std::string& word) {
    seen.clear();
    return testing::CompileAndRun(
        kClass + "Sub Initialize\n  Dim h As New Holder(" + big + ", \"" + word + "\")\n  h.Send 7\nEnd Sub\n", options);
  };
  RunResult r = send("300", "2");
  ASSERT_TRUE(r.ok) << r.error;
  const auto type = [](lsrun::Value::Type t) { return std::to_string(static_cast<int>(t)); };
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], type(lsrun::Value::Type::kInteger) + ":300 " + type(lsrun::Value::Type::kLong) + ":5 " +
                         type(lsrun::Value::Type::kString) + ":7 " + type(lsrun::Value::Type::kDouble) + ":" +
                         std::to_string(2.0) + " ");

  // 100000 does not fit the Integer parameter; "x" is no Double either, but
  // comes later.
  r = send("100000", "x");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(seen.empty());
  EXPECT_NE(r.error.find("Overflow"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("'Holder::Send' at line 12"), std::string::npos) << r.error;

  r = send("1", "x");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(seen.empty());
  EXPECT_NE(r.error.find("Type mismatch"), std::string::npos) << r.error;
}

}  // namespace
}  // namespace quillet
