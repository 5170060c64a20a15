// Reading the header of one composite-data record, for every walk over
// composite values (the simulated host's and the Notes binding's).
#include "config/composite_header.h"

#include "util/bytes.h"

namespace quillet {
namespace {
constexpr uint8_t kWordLengthMark = 0xFF;
constexpr uint8_t kLongLengthMark = 0x00;
}  // namespace

std::optional<CompositeRecordHeader> ReadCompositeHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2) return std::nullopt;
  CompositeRecordHeader header;
  const uint8_t mark = bytes[1];
  if (mark == kWordLengthMark) {
    if (bytes.size() < 4) return std::nullopt;
    header = {LoadU16(bytes.data()), 4, LoadU16(bytes.data() + 2)};
  } else if (mark == kLongLengthMark) {
    if (bytes.size() < 6) return std::nullopt;
    header = {LoadU16(bytes.data()), 6, LoadU32(bytes.data() + 2)};
  } else {
    header = {bytes[0], 2, mark};
  }
  if (header.length < header.headerSize || header.length > bytes.size()) return std::nullopt;
  return header;
}

}  // namespace quillet
