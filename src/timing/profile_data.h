// The collected data of a profile context: call tree and procedure descriptions.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "timing/call_record.h"
#include "timing/record_pool.h"

namespace quillet {

// Identifies a profiled procedure: module key, then procedure handle.
struct ProcedureKey {
  uint32_t Key = 0;
  uint32_t ProcedureId = 0;
  friend constexpr auto operator<=>(const ProcedureKey&, const ProcedureKey&) = default;
};

// The description of one profiled procedure, registered by the instrumentation.
struct ProcedureInfo {
  uint32_t Key = 0;
  uint32_t ProcedureId = 0;
  std::string DatabasePath;
  uint8_t DatabaseId[8] = {};
  uint32_t NoteId = 0;
  int32_t HotspotCount = 0;
  uint8_t SequenceTime[8] = {};
  int32_t SymbolFlags = 0;  // the procedure's 16-bit symbol flags
  std::string ItemName;
  std::string Title;
  std::string FullName;
  std::string ModuleDisplayName;
};

// Source of performance-counter ticks; replaceable so that tests control time.
using CounterFn = int64_t (*)();

// The call tree and the procedure descriptions of one profiling period.
// Not thread-safe: callers hold the application's lock.
class CProfileData {
 public:
  // Reads the counter frequency once, from the platform.
  CProfileData();
  // Times from `counter`; `frequency` is what the report records.
  CProfileData(CounterFn counter, int64_t frequency);
  virtual ~CProfileData();
  CProfileData(const CProfileData&) = delete;
  CProfileData& operator=(const CProfileData&) = delete;

  // A procedure was entered: a new record, child of the innermost open call or
  // a new root.
  virtual void Enter(const ProcedureKey& key);
  // The innermost open call ended. Ignored when no call is open.
  virtual void Exit();
  // A source line of the innermost open call starts. Ignored when no call is open.
  virtual void Line(int32_t line);

  // Inserts or replaces the description of (key, info.ProcedureId). Taken by
  // value: a description built for the call is moved in, not copied.
  void AddProcedure(uint32_t key, ProcedureInfo info);
  // Destroys the procedures and the whole call tree. Open calls are dropped
  // from CallStack in the same step, so later exits and lines find no stale
  // record.
  void Clear();

  // Writes the report file at `path` (truncating it). Procedure records are
  // included when their database is one of `watchedPaths` (ignoring case) or a
  // cache database; the call tree is written whole. False when the file cannot
  // be opened (nothing written) or a write fails.
  [[nodiscard]] bool WriteReport(std::u16string_view path, const std::vector<std::string>& watchedPaths,
                                 const std::vector<std::string>& messages) const;

  // The roots in start order: iterate with `for (r = FirstRoot(); r; r = r->NextSibling)`.
  const CallRecord* FirstRoot() const { return firstRoot_; }
  uint32_t RootCount() const { return rootCount_; }
  const std::vector<CallRecord*>& CallStack() const { return callStack_; }
  int64_t Frequency() const { return frequency_; }
  const std::map<ProcedureKey, std::unique_ptr<ProcedureInfo>>& Procedures() const { return procedures_; }
  const RecordPool& Pool() const { return pool_; }

 private:
  void CloseLine(CallRecord& r, int64_t now);

  std::vector<CallRecord*> callStack_;  // innermost open call at the back; not owning
  CallRecord* firstRoot_ = nullptr;     // Roots, owned through pool_
  CallRecord* lastRoot_ = nullptr;
  uint32_t rootCount_ = 0;
  int64_t frequency_ = 0;
  std::map<ProcedureKey, std::unique_ptr<ProcedureInfo>> procedures_;
  CounterFn counter_;
  RecordPool pool_;
};

}  // namespace quillet
