// A profile context: what one profiling period collects, and its settings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "timing/memory_limit.h"
#include "timing/profile_data.h"

namespace quillet {

inline constexpr int32_t kNoSymbolHandle = -1;   // a cached symbol handle not yet looked up
inline constexpr int kKeepContextFlags = 0xFFFF;  // ResetContext value that keeps ContextFlags

// Created and owned by the application object's profile stack; the timer
// operations are entered only from the timer entry points, under the
// application's lock.
class CLSProfileApp {
 public:
  CLSProfileApp(std::string_view moduleName, std::string_view serverName, int32_t instrumentFlags);
  // Times from `counter` instead of the platform's performance counter.
  CLSProfileApp(std::string_view moduleName, std::string_view serverName, int32_t instrumentFlags,
                CounterFn counter, int64_t frequency);
  virtual ~CLSProfileApp() = default;
  CLSProfileApp(const CLSProfileApp&) = delete;
  CLSProfileApp& operator=(const CLSProfileApp&) = delete;

  // A profiled procedure starts; a remapped module key is recorded under its
  // new key.
  virtual void TimerEnter(uint32_t key, uint32_t handle);
  // The innermost open call ends, whatever key it is given. Ignored when no
  // call is open.
  virtual void TimerExit(uint32_t key, uint32_t handle);
  // A source line starts. With no open call, the named procedure is entered
  // first, as a new root.
  virtual void TimerLine(uint32_t key, uint32_t handle, int32_t line);

  // Sets Collecting, re-reads "FilterBindEvents" and the memory limit
  // "MaxProfileMemoryMB", forgets the cached symbol handles, stores `value` in ContextFlags unless it is kKeepContextFlags and,
  // with `clear`, drops the collected data and the messages.
  void ResetContext(bool collecting, bool clear, int value);
  // Appends `path` unless it is already the watched (first) database.
  void AddDatabase(std::string_view path);
  // Whether `path` is the watched (first) database.
  bool IsWatchedDatabase(std::string_view path) const;
  void ClearDatabases() { Databases.clear(); }

  // Resets the context as ResetContext does (without clearing), then writes
  // the report to `path` (host text). A null path writes nothing and succeeds.
  // Calls dropped at the memory limit add a message after Messages.
  // False when the file cannot be opened or written; the collected data is
  // never changed.
  [[nodiscard]] bool WriteReport(const char* path, bool collecting);

  CProfileData Data;
  std::string ModuleName;
  std::string ServerName;
  std::vector<std::string> Databases;  // the watch list; the first entry is the watched database
  int32_t LineTimerHandle = kNoSymbolHandle;
  int32_t FunctionTimerHandle = kNoSymbolHandle;
  int32_t TimerClassHandle = kNoSymbolHandle;
  int32_t SpareHandle = kNoSymbolHandle;
  int32_t FilterBindEvents = 1;
  bool Collecting = false;
  int32_t ContextFlags = 0;
  std::map<uint32_t, uint32_t> KeyRemap;  // module key -> key its timings are recorded under
  std::vector<std::string> Messages;      // rewrite warnings, written at the end of the report

 private:
  // The part of ResetContext that WriteReport shares.
  void Refresh(bool collecting);
  // Says once on the console that calls are being dropped.
  void AnnounceMemoryLimit();

  int32_t memoryLimitMB_ = kDefaultMaxProfileMemoryMB;  // as last read; the data's limit follows it
  int32_t limitReachedMB_ = kDefaultMaxProfileMemoryMB;  // the limit the first dropped call met
  bool limitAnnounced_ = false;  // the console line was written since the last clear
};

}  // namespace quillet
