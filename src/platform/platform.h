// The platform seam: the few Win32 facilities the system uses, behind a small
// portable interface. src/platform/linux implements it for Linux and the
// simulated host; src/platform/win32 forwards to Win32 (built by win/).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillet::platform {

// A recursive critical section.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;
  void Enter();
  void Leave();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Scoped hold of a RecursiveLock.
class LockHolder {
 public:
  explicit LockHolder(RecursiveLock& lock) : lock_(lock) { lock_.Enter(); }
  ~LockHolder() { lock_.Leave(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  RecursiveLock& lock_;
};

// Named kernel objects with Win32 semantics. A handle is an opaque non-zero
// value; 0 means failure. Objects are reference-counted by their handles and
// vanish with the last CloseHandle. Names are case-sensitive; mutexes and
// events share one name space (creating one kind under the other's name fails);
// an empty name makes an unnamed object. On Linux the names live in a
// process-wide registry.
using Handle = uintptr_t;
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
enum class WaitResult { kSignaled, kTimeout, kFailed };

// Creates (or opens, when it exists) a named mutex, not owned by the caller.
// `alreadyExisted` tells which happened (ERROR_ALREADY_EXISTS).
Handle CreateNamedMutex(std::u16string_view name, bool* alreadyExisted = nullptr);
// Creates (or opens) a named event; manual-reset when `manualReset`.
Handle CreateNamedEvent(std::u16string_view name, bool manualReset, bool initialState,
                        bool* alreadyExisted = nullptr);
// Opens an existing named event; 0 when none has that name.
Handle OpenNamedEvent(std::u16string_view name);
bool SetEvent(Handle event);
bool ResetEvent(Handle event);
// Waits for an event (signaled state; an auto-reset event is reset by the one
// wait it releases) or a mutex (acquires it; recursive for the owning thread).
// `milliseconds` may be kInfinite. kFailed for an unknown handle.
WaitResult WaitForSingleObject(Handle handle, uint32_t milliseconds);
// False when the calling thread does not own the mutex; each successful wait
// needs one release.
bool ReleaseMutex(Handle mutex);
bool CloseHandle(Handle handle);

// Starts a detached worker thread; false when it could not be started (or
// `body` is empty). An exception escaping `body` is swallowed.
bool StartThread(std::function<void()> body);
uint32_t CurrentThreadId();
void SleepMilliseconds(uint32_t milliseconds);

// A top-most, OK-only message box; returns when it is dismissed. Texts are
// UTF-8. While a sink is set the box goes to it instead (on Linux the default,
// with no sink, prints to stderr).
using MessageBoxSink = std::function<void(std::string_view title, std::string_view text)>;
void ShowMessageBox(std::string_view title, std::string_view text);
// Replaces the sink; returns the previous one. An empty sink restores stderr.
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

// Process identity (GetModuleFileNameW of the executable, GetCommandLineW).
std::u16string ExecutablePath();
std::u16string CommandLine();
// Overrides for the simulated host; std::nullopt restores the real values.
void OverrideProcessIdentity(std::optional<std::u16string> executablePath,
                             std::optional<std::u16string> commandLine);

// QueryPerformanceCounter / QueryPerformanceFrequency: monotonic ticks (on
// Linux CLOCK_MONOTONIC nanoseconds, frequency 1e9).
int64_t PerformanceCounter();
int64_t PerformanceFrequency();

// Profile (INI) files with GetPrivateProfileStringW / GetPrivateProfileIntW /
// WritePrivateProfileStringW semantics: sections and keys compare trimmed and
// ignoring case; values are trimmed and lose enclosing quotes; a missing file
// or key yields the default (without its trailing spaces); integers are read
// as Windows does (optional sign, leading digits, none = 0, empty = default);
// writing creates the file and section, replaces a key's line in place and
// keeps every other line. `bufferSize` counts characters including the
// terminator: the result is cut to bufferSize - 1 characters. Paths take '\'
// or '/'. On Linux the file is UTF-8, a rewrite is atomic (readers see the old
// or the new file), and a write whose section, key or value would not fit on
// one line (line breaks, '=' in a key, ']' in a section, empty key) is refused.
std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, size_t bufferSize,
                                       std::u16string_view file);
int32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue,
                             std::u16string_view file);
bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view value, std::u16string_view file);

// File system (GetFileAttributesW, DeleteFileW, MoveFileExW, CreateFileW/WriteFile/CloseHandle).
struct FileAttributes {
  bool directory = false;
  bool device = false;  // neither a file nor a directory: a device or a pipe
};
std::optional<FileAttributes> GetFileAttributes(std::u16string_view path);
bool DeleteFile(std::u16string_view path);
// Renames `from` to `to`, replacing a file already at `to` in one step.
bool MoveFileReplacing(std::u16string_view from, std::u16string_view to);

// A file opened for writing (created or truncated). Writes are not buffered
// here; callers buffer.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool Create(std::u16string_view path);
  bool Write(const void* data, size_t size);
  bool Close();  // false when the final flush or close failed
  bool IsOpen() const { return fd_ >= 0; }

 private:
  intptr_t fd_ = -1;
};

// GetModuleHandleW / GetProcAddress. Modules registered with RegisterModule
// come first (the simulated host registers, for example, "nnotes"): their
// names compare ignoring case and an optional ".dll" suffix. Other names go
// to the platform's loader (Windows); on Linux there are no others.
using ModuleHandle = uintptr_t;
ModuleHandle GetModuleHandle(std::u16string_view name);
void* GetProcAddress(ModuleHandle module, std::string_view name);
// Registers or replaces a module's export table (a replaced module keeps its
// handle); an empty optional removes it.
void RegisterModule(std::u16string_view name, std::optional<std::map<std::string, void*>> exports);

// UTF-8 <-> UTF-16 for the seam's own use (paths, INI files). Malformed input
// (bad UTF-8, unpaired surrogates) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace quillet::platform
