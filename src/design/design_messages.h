// Message codes of the design-note reading: status texts, and the texts of
// the code location path's entry kinds and code kinds.
//
// Where the kind texts live in the catalogue:
//   entry kind k (0..97)        0x10A00 + k
//   code kind k (1..37, 83..174) 0x10939 + k   (103, 104: 0x109A0, 0x109A1, no text)
//   code kind k (38..82)        0x10A80 + (k - 38)
// Code kinds 38..82 move out of the linear run because the design-kind names
// occupy 0x1095F..0x1098B. Entry kind 0 has no text of its own.
#pragma once

#include <cstdint>

#include "config/status.h"

namespace quillet {

inline constexpr Status32 kErrOutOfMemory = 0x10857;        // "Out of memory"
inline constexpr Status32 kErrUnsupportedDatatype = 0x10858; // "Unsupported datatype"
inline constexpr Status32 kErrRecordExceeds64K = 0x10860;    // "Record exceeds 64K"
inline constexpr Status32 kStatusNothingToWrite = 0x1086A;   // no text: the value needs no rewriting

inline constexpr int kEntryKindCount = 98;   // kinds 0..97
inline constexpr int kCodeKindCount = 174;   // kinds 1..174
inline constexpr const char* kUnknownEntryText = "Unknown object!";

// The message code of an entry kind; 0 outside 0..97.
constexpr Status32 EntryKindMessage(int kind) {
  return kind >= 0 && kind < kEntryKindCount ? 0x10A00u + static_cast<uint32_t>(kind) : 0;
}

// The message code of a code kind; 0 outside 1..174.
constexpr Status32 CodeKindMessage(int kind) {
  if (kind < 1 || kind > kCodeKindCount) return 0;
  if (kind >= 38 && kind <= 82) return 0x10A80u + static_cast<uint32_t>(kind - 38);
  return 0x10939u + static_cast<uint32_t>(kind);
}

}  // namespace quillet
