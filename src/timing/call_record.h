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
};

// A call's lines, ordered by line argument. Kept as a sorted array in the
// profile data's pool: lines arrive mostly in ascending order, so an insert is
// usually an append, and a call with two lines costs 32 bytes here.
struct LineTable {
  LineEntry* Entries = nullptr;
  uint32_t Size = 0;
  uint32_t Capacity = 0;

  const LineEntry* begin() const { return Entries; }
  const LineEntry* end() const { return Entries + Size; }
  uint32_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  // The entry for `line`, or null.
  const LineEntry* Find(int32_t line) const;
};

// One call. Children form an intrusive list (first, last, next sibling) of
// records owned by the profile data's pool, in start order.
struct CallRecord {
  uint32_t Key = 0;          // module key as recorded (after remapping)
  uint32_t ProcedureId = 0;  // the procedure handle (16-bit value)
  uint8_t IsRoot = 0;        // 1 when the record is one of the roots
  uint8_t LineOpen = 0;      // 1 while CurrentLine is being timed
  int32_t CurrentLine = kNoCurrentLine;
  CallRecord* FirstChild = nullptr;
  CallRecord* LastChild = nullptr;
  CallRecord* NextSibling = nullptr;
  LineTable Lines;
  int64_t LineStart = 0;  // counter value when CurrentLine started; 0 when none
  int64_t EntryTime = 0;  // counter value at Enter
  int64_t Elapsed = 0;    // Exit time minus EntryTime; 0 until the call exits

  uint32_t ChildCount() const {
    uint32_t n = 0;
    for (const CallRecord* c = FirstChild; c != nullptr; c = c->NextSibling) ++n;
    return n;
  }
};

}  // namespace quillet
