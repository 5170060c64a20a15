// The stand-in's process, text and memory functions: notes.ini variables,
// the data directory, the console, threads, the user, the clock, character
// translation, message texts, network paths and host memory blocks.
#include <cstdarg>
#include <cstdio>
#include <type_traits>

#include "standin_host.h"

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC OSGetEnvironmentString(const char* name, char* value, WORD size) {
  return Guarded<BOOL>(0, [&](sim::SimHost& host) -> BOOL {
    std::string text;
    if (name == nullptr || !host.EnvironmentString(name, text)) return 0;
    CopyOut(text, value, static_cast<size_t>(size) + 1);  // `size` bytes of text and the terminator
    return 1;
  });
}

STANDIN_EXPORT long QUILLET_LNPUBLIC OSGetEnvironmentLong(const char* name) {
  return Guarded<long>(0, [&](sim::SimHost& host) -> long { return name == nullptr ? 0 : host.EnvironmentInt(name); });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC OSSetEnvironmentVariable(const char* name, const char* value) {
  Guarded<int>(0, [&](sim::SimHost& host) {
    if (name != nullptr && value != nullptr) host.SetEnvironmentString(name, value);
    return 0;
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC OSGetDataDirectory(char* path) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) { return CopyOut(host.DataDirectory(), path, kMaxPath); });
}

// printf-style: the caller removes the arguments, so this one is cdecl.
STANDIN_EXPORT void AddInLogMessageText(const char* format, StatusWord status, ...) {
  if (format == nullptr) return;
  char line[1024];
  va_list args;
  va_start(args, status);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  Guarded<int>(0, [&](sim::SimHost& host) {
    host.ConsoleLine(line);
    return 0;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC NotesInitThread() {
  return GuardedStatus([](sim::SimHost& host) { return host.ThreadInit(); });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC NotesTermThread() {
  Guarded<int>(0, [](sim::SimHost& host) {
    host.ThreadTerm();
    return 0;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC SECKFMGetUserName(char* userName) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (userName == nullptr) return kErrInvalidArgument;
    CopyOut(host.CurrentUserName(), userName, kMaxUserName);
    return kNoError;
  });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC OSCurrentTIMEDATE(TIMEDATE* now) {
  if (now != nullptr) *now = Guarded<TIMEDATE>({}, [](sim::SimHost& host) { return ToHost(host.CurrentTime()); });
}

STANDIN_EXPORT void QUILLET_LNPUBLIC TimeConstant(WORD which, TIMEDATE* value) {
  if (value == nullptr || which != kTimeDateMinimum) return;
  *value = Guarded<TIMEDATE>({}, [](sim::SimHost& host) { return ToHost(host.MinimumTime()); });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC OSTranslate(WORD mode, const char* in, WORD inLength, char* out,
                                                 WORD outLength) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    if (in == nullptr || out == nullptr) return 0;
    std::vector<uint8_t> translated;
    const auto* bytes = reinterpret_cast<const uint8_t*>(in);
    if (host.Translate(mode, std::span(bytes, inLength), translated) != kNoError) return 0;
    const WORD length = static_cast<WORD>(std::min<size_t>(translated.size(), outLength));
    std::memcpy(out, translated.data(), length);
    return length;
  });
}

STANDIN_EXPORT WORD QUILLET_LNPUBLIC OSLoadString(void*, StatusWord status, char* text, WORD size) {
  return Guarded<WORD>(0, [&](sim::SimHost& host) -> WORD {
    std::string message;
    if (!host.StatusText(STATUS(status), message)) return 0;
    return CopyOut(message, text, size);
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC OSPathNetConstruct(const char*, const char* server, const char* file,
                                                              char* path) {
  return GuardedStatus([&](sim::SimHost& host) -> StatusWord {
    if (server == nullptr || file == nullptr || path == nullptr) return kErrInvalidArgument;
    CopyOut(host.NetworkPath(server, file), path, kMaxPath);
    return kNoError;
  });
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC OSMemAlloc(WORD, DWORD size, DHANDLE* handle) {
  if (handle == nullptr) return kErrInvalidArgument;
  const DHANDLE block = standin::NewBlock(size);
  if (block == 0) return kErrBufferTooSmall;
  *handle = block;
  return kNoError;
}

STANDIN_EXPORT StatusWord QUILLET_LNPUBLIC OSMemFree(DHANDLE handle) {
  return standin::FreeBlock(handle) ? StatusWord{kNoError} : StatusWord{kErrInvalidHandle};
}

STANDIN_EXPORT void* QUILLET_LNPUBLIC OSLockObject(DHANDLE handle) { return standin::LockBlock(handle); }

STANDIN_EXPORT BOOL QUILLET_LNPUBLIC OSUnlockObject(DHANDLE handle) {
  return standin::LockBlock(handle) != nullptr ? 1 : 0;
}

STANDIN_CHECK(OSGetEnvironmentString);
STANDIN_CHECK(OSGetEnvironmentLong);
STANDIN_CHECK(OSSetEnvironmentVariable);
STANDIN_CHECK(OSGetDataDirectory);
STANDIN_CHECK(AddInLogMessageText);
STANDIN_CHECK(NotesInitThread);
STANDIN_CHECK(NotesTermThread);
STANDIN_CHECK(SECKFMGetUserName);
STANDIN_CHECK(OSCurrentTIMEDATE);
STANDIN_CHECK(TimeConstant);
STANDIN_CHECK(OSTranslate);
STANDIN_CHECK(OSLoadString);
STANDIN_CHECK(OSPathNetConstruct);
STANDIN_CHECK(OSMemAlloc);
STANDIN_CHECK(OSMemFree);
STANDIN_CHECK(OSLockObject);
STANDIN_CHECK(OSUnlockObject);
