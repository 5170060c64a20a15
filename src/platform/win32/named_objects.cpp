// Named mutexes and events on Windows: the kernel objects themselves.
#include "platform/win32/windows_seam.h"

namespace quillet::platform {

namespace {

Handle ToHandle(HANDLE handle) { return reinterpret_cast<Handle>(handle); }
HANDLE FromHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

Handle Created(HANDLE handle, bool* alreadyExisted) {
  if (alreadyExisted) *alreadyExisted = handle != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS;
  return ToHandle(handle);
}

// An empty name makes an unnamed object, as it does on Linux.
const wchar_t* NameOrNull(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

}  // namespace

Handle CreateNamedMutex(std::u16string_view name, bool* alreadyExisted) {
  const std::wstring wide = win32::Wide(name);
  return Created(::CreateMutexW(nullptr, FALSE, NameOrNull(wide)), alreadyExisted);
}

Handle CreateNamedEvent(std::u16string_view name, bool manualReset, bool initialState, bool* alreadyExisted) {
  const std::wstring wide = win32::Wide(name);
  return Created(::CreateEventW(nullptr, manualReset, initialState, NameOrNull(wide)), alreadyExisted);
}

Handle OpenNamedEvent(std::u16string_view name) {
  if (name.empty()) return 0;
  return ToHandle(::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, win32::Wide(name).c_str()));
}

bool SetEvent(Handle event) { return ::SetEvent(FromHandle(event)) != FALSE; }
bool ResetEvent(Handle event) { return ::ResetEvent(FromHandle(event)) != FALSE; }

// An abandoned mutex is acquired all the same.
WaitResult WaitForSingleObject(Handle handle, uint32_t milliseconds) {
  switch (::WaitForSingleObject(FromHandle(handle), milliseconds)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      return WaitResult::kSignaled;
    case WAIT_TIMEOUT:
      return WaitResult::kTimeout;
    default:
      return WaitResult::kFailed;
  }
}

bool ReleaseMutex(Handle mutex) { return ::ReleaseMutex(FromHandle(mutex)) != FALSE; }
bool CloseHandle(Handle handle) { return handle != 0 && ::CloseHandle(FromHandle(handle)) != FALSE; }

}  // namespace quillet::platform
