// Threads on Linux: detached worker start, thread IDs and sleeping.
#include <pthread.h>
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

namespace {

// The calling thread's kernel ID once asked for, 0 before. Every timer event
// of a server asks for it, and the system call would cost more than the
// event's own bookkeeping.
thread_local uint32_t tThreadId = 0;

// The one thread of a forked child has a new ID: its cached one is dropped.
void ForgetThreadIdInChild() { tThreadId = 0; }

}  // namespace

// The kernel thread ID: unique among live threads, like GetCurrentThreadId.
uint32_t CurrentThreadId() {
  if (tThreadId == 0) {
    static const bool forkHandled = pthread_atfork(nullptr, nullptr, &ForgetThreadIdInChild) == 0;
    static_cast<void>(forkHandled);
    tThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
  }
  return tThreadId;
}

void SleepMilliseconds(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillet::platform
