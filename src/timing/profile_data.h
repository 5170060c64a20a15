// The collected data of a profile context: call tree and procedure descriptions.
#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <limits>
#include <memory>
#include <span>
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

// What an open call needs beyond its record: its entry time, the line being
// timed, its last child (where the next child is linked) and the room of its
// line table. Lives on the call stack only while the call is open.
struct OpenCall {
  CallRecord* Record = nullptr;  // null for a call left unrecorded by the memory limit
  CallRecord* LastChild = nullptr;
  int64_t EntryTime = 0;  // counter value at Enter
  int64_t LineStart = 0;  // counter value when CurrentLine started; 0 when none
  int32_t CurrentLine = kNoCurrentLine;
  uint8_t LineOpen = 0;  // 1 while CurrentLine is being timed
  uint32_t LineCapacity = 0;
  uint32_t LineHint = std::numeric_limits<uint32_t>::max();  // see RecordPool::LineSlot
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
  // a new root. Once the records hold the memory limit, or when the
  // innermost open call went unrecorded, the call is counted as dropped and
  // only its place on the call stack is kept, so its exit closes it and its
  // time stays in its parent's. When the call cannot be opened (out of
  // memory) the exception passes on, and the call and every call it makes
  // are counted as failed, without record or stack entry: their lines are
  // ignored and their exits close nothing else, so the tree stays right.
  virtual void Enter(const ProcedureKey& key);
  // The innermost open call ended. Ignored when no call is open.
  virtual void Exit();
  // A source line of the innermost open call starts. Ignored when no call is
  // open or the innermost call failed to open. One counter reading ends the
  // previous line and starts this one.
  virtual void Line(int32_t line);

  // Inserts or replaces the description of (key, info.ProcedureId). Taken by
  // value: a description built for the call is moved in, not copied.
  void AddProcedure(uint32_t key, ProcedureInfo info);
  // Destroys the procedures and the whole call tree. Open calls are dropped
  // from CallStack in the same step, so later exits and lines find no stale
  // record.
  void Clear();

  // Bytes the records may hold from the system before new calls are dropped.
  void SetMemoryLimit(uint64_t bytes) { memoryLimit_ = bytes; }
  uint64_t MemoryLimit() const { return memoryLimit_; }
  // Calls not recorded because of the memory limit, since creation or Clear.
  uint64_t DroppedCalls() const { return dropped_; }
  // True while any call is open, one that failed to open included.
  bool HasOpenCall() const { return depth_ != 0 || failedDepth_ != 0; }

  // Writes the report file at `path` (truncating it). Procedure records are
  // included when their database is one of `watchedPaths` (ignoring case) or a
  // cache database; the call tree is written whole. False when the file cannot
  // be opened (nothing written) or a write fails.
  [[nodiscard]] bool WriteReport(std::u16string_view path, const std::vector<std::string>& watchedPaths,
                                 const std::vector<std::string>& messages) const;

  // The roots in start order: iterate with `for (r = FirstRoot(); r; r = r->NextSibling)`.
  const CallRecord* FirstRoot() const { return firstRoot_; }
  uint32_t RootCount() const { return rootCount_; }
  // The open calls, innermost at the back.
  std::span<const OpenCall> CallStack() const { return {frames_.data(), depth_}; }
  int64_t Frequency() const { return frequency_; }
  const std::map<ProcedureKey, std::unique_ptr<ProcedureInfo>>& Procedures() const { return procedures_; }
  const RecordPool& Pool() const { return pool_; }

 private:
  void Open(const ProcedureKey& key);
  void CloseLine(OpenCall& call, int64_t now);

  std::vector<OpenCall> frames_;  // the call stack; entries past depth_ are kept for reuse
  size_t depth_ = 0;
  size_t failedDepth_ = 0;  // open calls, innermost, that failed to open: above the stack
  CallRecord* firstRoot_ = nullptr;     // Roots, owned through pool_
  CallRecord* lastRoot_ = nullptr;
  uint32_t rootCount_ = 0;
  int64_t frequency_ = 0;
  std::map<ProcedureKey, std::unique_ptr<ProcedureInfo>> procedures_;
  CounterFn counter_;
  uint64_t memoryLimit_ = std::numeric_limits<uint64_t>::max();
  uint64_t dropped_ = 0;
  RecordPool pool_;
};

}  // namespace quillet
