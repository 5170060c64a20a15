// Byte layouts of the symbol entries and scope records the system reads and
// writes; every other field of an entry is carried unchanged.
//
// Common fields by kind (offsets into the entry; "-" = the kind has none):
//   | field          | kinds 2, 26    | kind 22 | kind 24 | other kinds |
//   | kind       u16 | 0              | 0       | 0       | 0           |
//   | flags      u16 | -              | 2       | -       | 2           |
//   | sibling    u16 | 2              | -       | 4       | 4           |
//   | hash link  u16 | -              | -       | -       | 6           |
//   | name       u16 | 8 (2), 4 (26)  | 4       | 6       | 8           |
//
// Procedure (kinds 7 Function, 8 Sub, 9 Property accessor), 152 bytes:
//   | 12 u16 owner | 16 scope of locals (60) | 76 u16 parameter count |
//   | 80 u16 11 in system-made constructors   | 84 u32 code offset     |
//   | 88 u16 frame size | 92 scope of labels (60)                      |
// A Property's Set accessor lies directly after its Get accessor and is not
// in the sibling chain.
//
// Class (kind 11), 92 bytes:
//   | 10 u16 member variables | 16 member scope (60) | 76 u16 instance size |
//   | 84 u16 constructor | 86 u16 destructor | 88 u16 constructor params   |
//   | 90 u16 25 in system-made classes                                     |
//
// Variable (kind 3), 16 bytes:
//   | 2 u16 flags (bit 0 parameter) | 10 u16 data type |
//   | 12 u16 slot: frame offset, parameter index or instance offset |
//   | 14 u16 type argument (an object variable's class handle)      |
//
// External declaration (kind 15), 40 bytes then n parameter words:
//   | 10 u16 10 | 20 u16 alias name | 24 u16 library entry |
//   | 32 u16 n + 1 | 34 u16 n | 38 u16 10 | 40 n×u16 words, then 25 when 2n % 4 != 0 |
//
// Library name (kind 26), 12 bytes:
//   | 0 u16 26 | 2 u16 sibling | 4 u16 name | 6 u16 0xFFFF | 8 u32 0 |
//
// Scope record (60 bytes; in the header and inside entries):
//   | 0 u16 count | 2 u16 kept | 4 u16 first | 6 u16 last |
//   | 8 13 × (u16 first, u16 last) of the name hash buckets  |
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet::symbol {

// Kinds the system interprets.
inline constexpr uint16_t kEntry2 = 2;
inline constexpr uint16_t kVariable = 3;
inline constexpr uint16_t kEntry4 = 4;
inline constexpr uint16_t kFunction = 7;
inline constexpr uint16_t kSub = 8;
inline constexpr uint16_t kProperty = 9;
inline constexpr uint16_t kContainer10 = 10;
inline constexpr uint16_t kClass = 11;
inline constexpr uint16_t kDeclaration = 15;
inline constexpr uint16_t kContainer16 = 16;
inline constexpr uint16_t kTerminator = 22;
inline constexpr uint16_t kEntry24 = 24;
inline constexpr uint16_t kLibrary = 26;
// A position whose first word is at most this looks like the start of an entry.
inline constexpr uint16_t kHighestKind = 38;

// Common fields.
inline constexpr size_t kKind = 0;
inline constexpr size_t kFlags = 2;
inline constexpr size_t kSibling = 4;
inline constexpr size_t kHashLink = 6;
inline constexpr size_t kName = 8;
inline constexpr size_t kOwner = 12;
inline constexpr size_t kLabelTarget = 12;  // label entries: handle into the label-offset table

// Procedure flags.
inline constexpr uint16_t kNoCode = 0x0040;
inline constexpr uint16_t kAccessor = 0x0400;
inline constexpr uint16_t kSetAccessor = 0x0200;
inline constexpr uint16_t kFilter40 = 0x0010;  // listed under filter bit 0x40, not 0x80
inline constexpr uint16_t kSystemSubFlags = 0x0012;
inline constexpr uint16_t kSystemConstructorFlags = 0x0013;

// Procedure entry.
inline constexpr size_t kProcedureSize = 152;
inline constexpr size_t kLocalScope = 16;
inline constexpr size_t kParameterCount = 76;
inline constexpr size_t kSystemMarker = 80;
inline constexpr uint16_t kSystemMarkerValue = 11;
inline constexpr size_t kCodeOffset = 84;
inline constexpr size_t kFrameSize = 88;
inline constexpr size_t kLabelScope = 92;

// Class entry.
inline constexpr size_t kClassSize = 92;
inline constexpr size_t kMemberCount = 10;
inline constexpr size_t kMemberScope = 16;
inline constexpr size_t kInstanceSize = 76;
inline constexpr size_t kConstructor = 84;
inline constexpr size_t kDestructor = 86;
inline constexpr size_t kConstructorParameters = 88;
inline constexpr size_t kClassMarker = 90;
inline constexpr uint16_t kClassMarkerValue = 25;

// Kind-16 container: its two further lists.
inline constexpr size_t kListEntry = 128;
inline constexpr size_t kListChain = 130;

// Variable entry.
inline constexpr size_t kVariableSize = 16;
inline constexpr uint16_t kParameterFlag = 0x0001;
inline constexpr size_t kDataType = 10;
inline constexpr size_t kSlot = 12;
inline constexpr size_t kTypeArgument = 14;
inline constexpr uint16_t kVariantType = 1;
inline constexpr uint16_t kObjectType = 0x0409;

// External declaration and library name.
inline constexpr size_t kDeclarationSize = 40;
inline constexpr size_t kAlias = 20;
inline constexpr size_t kLibraryEntry = 24;
inline constexpr size_t kWordCountPlusOne = 32;
inline constexpr size_t kWordCount = 34;
inline constexpr size_t kResultType = 36;  // 0 for a Sub
inline constexpr size_t kParameterWords = 40;
inline constexpr uint16_t kByValueWord = 0x0800;  // in a parameter word: passed ByVal
inline constexpr uint16_t kDeclarationMarker = 10;  // at 10 and at 38
inline constexpr uint16_t kParameterPad = 25;
inline constexpr size_t kLibrarySize = 12;
inline constexpr size_t kLibrarySibling = 2;  // kinds 2 and 26 keep their sibling here
inline constexpr size_t kLibraryName = 4;

// Scope record.
inline constexpr size_t kScopeSize = 60;
inline constexpr size_t kScopeCount = 0;
inline constexpr size_t kScopeFirst = 4;
inline constexpr size_t kScopeLast = 6;
inline constexpr size_t kScopeBuckets = 8;
inline constexpr size_t kBucketCount = 13;

// Module-level chains in the header.
inline constexpr size_t kChain30 = 30;
inline constexpr size_t kLibraryChain = 32;
inline constexpr size_t kChain36 = 36;

}  // namespace quillet::symbol
