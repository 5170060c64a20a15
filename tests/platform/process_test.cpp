// Tests of process identity, the counter and the recursive lock.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

TEST(ProcessIdentity, RealValuesComeFromProc) {
  OverrideProcessIdentity(std::nullopt, std::nullopt);
  const std::string exe = Utf16ToUtf8(ExecutablePath());
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  EXPECT_EQ(access(exe.c_str(), X_OK), 0);
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

TEST(PerformanceCounter, MonotonicAtNanosecondFrequency) {
  EXPECT_EQ(PerformanceFrequency(), 1'000'000'000);
  const int64_t first = PerformanceCounter();
  SleepMilliseconds(2);
  const int64_t second = PerformanceCounter();
  EXPECT_GE(second - first, 1'000'000);  // at least 1 ms of the 2 ms slept
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
