// The report file's byte layout, shared by its writer and its reader.
//
// All integers little-endian. Strings:
//   counted string with terminator:    u16 n = length + 1, n bytes ending in 0
//   counted string without terminator: u32 n = length, n bytes
//
// File:
//   | off | width | field                                            |
//   |   0 |    12 | signature "ZVKReport;)" and a zero byte          |
//   |  12 |   u32 | format version, 2                                |
//   |  16 |   i64 | counter frequency (ticks per second)             |
//   |  24 |   u32 | P, procedure records                             |
//   |  28 |   ... | P procedure records                              |
//   |     |   u32 | R, root call records                             |
//   |     |   ... | R call records, each followed by its descendants |
//   |     |   u32 | M, messages                                      |
//   |     |   ... | M counted strings without terminator             |
//
// Procedure record:
//   u32 module key | u32 procedure handle | cstr DatabasePath | 8 DatabaseId |
//   u32 NoteId | i32 HotspotCount | 8 SequenceTime | u32 SymbolFlags |
//   cstr ItemName | cstr Title | cstr FullName | cstr ModuleDisplayName |
//   u32 reserved 0 | cstr reserved, always empty (01 00 00)
//
// Call record (29 bytes without lines and children):
//   u32 module key | u32 procedure handle | u8 root flag | i64 Elapsed |
//   u32 constant 1 | u32 L | L x {i32 line, i32 Count, i64 Total}, ascending |
//   u32 K | K child call records, in start order, depth first
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet::report {

inline constexpr std::string_view kSignature{"ZVKReport;)\0", 12};
inline constexpr uint32_t kVersion = 2;
inline constexpr uint32_t kCallConstant = 1;

inline constexpr size_t kHeaderSize = 24;           // signature, version, frequency
inline constexpr size_t kEmptyReportSize = 36;      // header and three zero counts
inline constexpr size_t kCallRecordFixedSize = 29;  // a call with no lines, no children
inline constexpr size_t kLineEntrySize = 16;
// Smallest procedure record: fixed fields and six empty counted strings.
inline constexpr size_t kProcedureRecordMinSize = 4 + 4 + 3 + 8 + 4 + 4 + 8 + 4 + 4 * 3 + 4 + 3;

// Longest text a counted string with terminator can carry (its u16 count
// includes the zero byte); longer texts are cut to this length.
inline constexpr size_t kMaxTerminatedText = 0xFFFE;

}  // namespace quillet::report
