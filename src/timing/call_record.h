// One call of a profiled procedure: its children and per-line counts and times.
#pragma once

#include <cstdint>

namespace quillet {

// CurrentLine when no line is being timed. Whether one is, is LineOpen: a
// line argument may itself be 0xFFFF.
inline constexpr int32_t kNoCurrentLine = 0xFFFF;

// The count and total time of one source line within one call.
struct LineStat {
  int32_t Count = 0;
  int64_t Total = 0;  // performance-counter ticks
};

// One entry of a call's line table: a line argument and its LineStat, laid
// out flat in 16 bytes (a nested LineStat would pad to 24).
struct LineEntry {
  int32_t Line = 0;
  int32_t Count = 0;
  int64_t Total = 0;  // performance-counter ticks

  LineStat Stat() const { return LineStat{Count, Total}; }

  // One more pass over the line taking `ticks`. The count stops at the 32-bit
  // maximum, where the report's field ends, instead of wrapping negative
  // (a loop of two billion passes in one call reaches it).
  void AddPass(int64_t ticks) {
    if (Count != INT32_MAX) ++Count;
    Total += ticks;
  }
};

// A read-only view of a call's lines, ordered by line argument.
struct LineTable {
  const LineEntry* Entries = nullptr;
  uint32_t Size = 0;

  const LineEntry* begin() const { return Entries; }
  const LineEntry* end() const { return Entries + Size; }
  uint32_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  // The entry for `line`, or null.
  const LineEntry* Find(int32_t line) const;
};

// One call, 48 bytes. Children form an intrusive list (first child, next
// sibling) of records owned by the profile data's pool, in start order, and
// are counted as they are linked, so the report never walks a list twice.
// What only an open call needs (entry time, the line being timed, the last
// child) lives in its OpenCall on the call stack, not here: the tree keeps
// nothing per record that the report does not write.
struct CallRecord {
  uint32_t Key = 0;          // module key as recorded (after remapping)
  uint16_t ProcedureId = 0;  // the procedure handle, a 16-bit value
  uint8_t IsRoot = 0;        // 1 when the record is one of the roots
  CallRecord* FirstChild = nullptr;
  CallRecord* NextSibling = nullptr;
  LineEntry* LineData = nullptr;  // LineCount entries in line order, in the pool
  int64_t Elapsed = 0;            // Exit time minus entry time; 0 until the call exits
  uint32_t LineCount = 0;
  uint32_t ChildCount = 0;  // records in the FirstChild list

  LineTable Lines() const { return LineTable{LineData, LineCount}; }
};

static_assert(sizeof(void*) > 4 || sizeof(CallRecord) <= 40, "32-bit records stay small");
static_assert(sizeof(void*) == 4 || sizeof(CallRecord) == 48, "a call record takes 48 bytes");

}  // namespace quillet
