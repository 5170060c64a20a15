// Tests of process identity, the counter and the recursive lock.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

// The path is absolute (/... on Linux, X:\... on Windows) and names this program.
TEST(ProcessIdentity, RealValuesComeFromTheSystem) {
  OverrideProcessIdentity(std::nullopt, std::nullopt);
  const std::string exe = Utf16ToUtf8(ExecutablePath());
  ASSERT_GT(exe.size(), 3u);
#if defined(_WIN32)
  EXPECT_EQ(exe.substr(1, 2), ":\\");
  EXPECT_TRUE(exe.ends_with("quillet_tests.exe")) << exe;
#else
  EXPECT_EQ(exe.front(), '/');
#endif
  const auto attributes = GetFileAttributes(ExecutablePath());
  ASSERT_TRUE(attributes.has_value());
  EXPECT_FALSE(attributes->directory);
  // The command line starts with the program as invoked and has no NULs.
  const std::u16string command = CommandLine();
  EXPECT_NE(command.find(u"quillet_tests"), std::u16string::npos);
  EXPECT_EQ(command.find(u'\0'), std::u16string::npos);
}

TEST(ProcessIdentity, OverrideAndRestore) {
  const std::u16string realExe = ExecutablePath();
  const std::u16string realCommand = CommandLine();
  OverrideProcessIdentity(u"C:\\Notes\\nAMGR.exe", u"nAMGR -e");
  EXPECT_EQ(ExecutablePath(), u"C:\\Notes\\nAMGR.exe");
  EXPECT_EQ(CommandLine(), u"nAMGR -e");
  OverrideProcessIdentity(std::nullopt, u"notes2");
  EXPECT_EQ(ExecutablePath(), realExe);
  EXPECT_EQ(CommandLine(), u"notes2");
  OverrideProcessIdentity(std::nullopt, std::nullopt);
  EXPECT_EQ(CommandLine(), realCommand);
}

// Linux counts nanoseconds; Windows reports its own frequency, which the
// timing code divides by.
TEST(PerformanceCounter, MonotonicAtItsStatedFrequency) {
  const int64_t frequency = PerformanceFrequency();
#if defined(_WIN32)
  EXPECT_GE(frequency, 1'000'000);  // at least microseconds
#else
  EXPECT_EQ(frequency, 1'000'000'000);
#endif
  const int64_t first = PerformanceCounter();
  SleepMilliseconds(20);
  const int64_t second = PerformanceCounter();
  EXPECT_GE(second - first, frequency / 100);  // at least 10 ms of the 20 ms slept
  EXPECT_LT(second - first, frequency * 10);   // and not seconds: the frequency is right
  EXPECT_GT(first, 0);
}

TEST(RecursiveLock, ReentersOnOwningThreadAndExcludesOthersUntilFullyLeft) {
  RecursiveLock lock;
  lock.Enter();
  lock.Enter();  // would deadlock on a plain mutex
  lock.Leave();  // still held once
  std::atomic<bool> entered{false};
  std::thread other([&] {
    LockHolder hold(lock);
    entered = true;
  });
  SleepMilliseconds(20);
  EXPECT_FALSE(entered);
  lock.Leave();
  other.join();
  EXPECT_TRUE(entered);
}

}  // namespace
}  // namespace quillet::platform
