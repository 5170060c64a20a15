// Threads on Windows.
#include <memory>

#include "platform/win32/windows_seam.h"

namespace quillet::platform {

namespace {

DWORD WINAPI RunBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  try {
    (*body)();
  } catch (...) {
  }
  return 0;
}

}  // namespace

bool StartThread(std::function<void()> body) {
  if (!body) return false;
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  HANDLE thread = ::CreateThread(nullptr, 0, RunBody, owned.get(), 0, nullptr);
  if (thread == nullptr) return false;
  owned.release();  // the thread owns it now
  ::CloseHandle(thread);
  return true;
}

uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }
void SleepMilliseconds(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace quillet::platform
