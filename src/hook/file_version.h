// The version record that GetFileVersion fills for the host's loader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {

// Version record, little-endian; only these bytes are written, the rest of
// the caller's record is left as it was:
//   offset | width    | value
//   0      | u16      | 32 (major)
//   2      | u16      | 1 (minor)
//   4      | u16      | 1
//   6      | u16      | 5028 (build)
//   8      | u32      | 0
//   12     | u16      | 0
//   14     | char[80] | product name, zero-terminated
//   94     | char[80] | edition text, zero-terminated
//   174    | char[80] | legal notice, zero-terminated
//   254    | char[..] | empty string (one zero byte)
inline constexpr uint16_t kVersionMajor = 32;
inline constexpr uint16_t kVersionMinor = 1;
inline constexpr uint16_t kVersionRevision = 1;
inline constexpr uint16_t kVersionBuild = 5028;
inline constexpr char kProductName[] = "Brindlecot Profiler Hook";
inline constexpr char kEditionText[] = "Edition 32.1 Build 5028";
inline constexpr char kLegalNotice[] = "Copyright (C) Brindlecot. All rights reserved.";

inline constexpr size_t kVersionProductOffset = 14;
inline constexpr size_t kVersionEditionOffset = 94;
inline constexpr size_t kVersionLegalOffset = 174;
inline constexpr size_t kVersionTailOffset = 254;
inline constexpr size_t kVersionTextField = 80;
// The record reaches at least this far.
inline constexpr size_t kVersionRecordMinSize = kVersionTailOffset + 1;

// Writes the named bytes of the version record at `record` (which must hold
// kVersionRecordMinSize bytes). A null record is left alone.
void FillVersionRecord(uint8_t* record);

}  // namespace quillet
