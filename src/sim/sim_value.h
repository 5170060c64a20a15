// Item value layouts the simulated host builds and reads (values exclude the
// 16-bit type word, which items keep separately).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/notes_api.h"

namespace quillet::sim {

// Text list (type 0x0501):
//   0        u16  entry count n
//   2        u16  length of each entry, n times
//   2 + 2n   the entries' bytes, back to back
// REQUIRES: fewer than 65536 entries, each shorter than 65536 bytes.
std::vector<uint8_t> EncodeTextList(std::span<const std::string> entries);
// The entries; std::nullopt when the counts or lengths run past the value.
std::optional<std::vector<std::string>> DecodeTextList(std::span<const uint8_t> value);

// Number (type 0x0300): an IEEE-754 double, little-endian, 8 bytes.
std::vector<uint8_t> EncodeNumber(double value);
std::optional<double> DecodeNumber(std::span<const uint8_t> value);

// Time (type 0x0400): innards[0] then innards[1], u32 each.
std::vector<uint8_t> EncodeTime(const TimeDate& value);
std::optional<TimeDate> DecodeTime(std::span<const uint8_t> value);

// Attachment descriptor ("$FILE", type 0x0003); the file's bytes stay in the
// simulator's object store under `objectId`.
//   0   u32  object ID
//   4   u32  file size in bytes
//   8   u16  name length n
//   10  the attachment name, n bytes
struct AttachmentRef {
  uint32_t objectId = 0;
  uint32_t size = 0;
  std::string name;
};
std::vector<uint8_t> EncodeAttachment(const AttachmentRef& ref);
std::optional<AttachmentRef> DecodeAttachment(std::span<const uint8_t> value);

// The value's entries as text: a text yields itself, a text list its entries,
// a number its shortest decimal form, a time FormatTime. Other types (or a
// malformed value) yield no entries.
std::vector<std::string> ValueAsTextEntries(uint16_t type, std::span<const uint8_t> value);

}  // namespace quillet::sim
