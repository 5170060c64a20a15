// Thread IDs on Linux: the kernel's ID, kept per thread, new in a forked child.
#if !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "platform/platform.h"

namespace quillet::platform {
namespace {

uint32_t KernelThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

TEST(ThreadId, IsTheKernelIdOfEachThread) {
  EXPECT_EQ(CurrentThreadId(), KernelThreadId());
  EXPECT_EQ(CurrentThreadId(), KernelThreadId());  // asked again, from what is kept
  uint32_t worker = 0, workerKernel = 0;
  std::thread([&] {
    worker = CurrentThreadId();
    workerKernel = KernelThreadId();
  }).join();
  EXPECT_EQ(worker, workerKernel);
  EXPECT_NE(worker, CurrentThreadId());
}

TEST(ThreadId, ForkedChildGetsItsOwnId) {
  const uint32_t parent = CurrentThreadId();  // kept before the fork
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's one thread has the child's process ID as its thread ID.
    const uint32_t id = CurrentThreadId();
    _exit(id == static_cast<uint32_t>(getpid()) && id != parent ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace quillet::platform

#endif  // !_WIN32
