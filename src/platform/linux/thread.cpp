// Threads on Linux: detached worker start, thread IDs and sleeping.
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <system_error>
#include <thread>

#include "platform/platform.h"

namespace quillet::platform {

// The body must not throw: like a Win32 thread procedure, an escaping
// exception would end the process, so it is swallowed here instead.
bool StartThread(std::function<void()> body) {
  if (!body) return false;
  try {
    std::thread([work = std::move(body)]() {
      try {
        work();
      } catch (...) {
      }
    }).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// The kernel thread ID: unique among live threads, like GetCurrentThreadId.
uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

void SleepMilliseconds(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillet::platform
