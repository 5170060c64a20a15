// The simulated host's composite-data record enumeration.
#include "sim/sim_composite.h"

#include "sim/sim_host.h"
#include "util/bytes.h"

namespace quillet::sim {
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

STATUS SimHost::EnumerateCompositeRecords(std::span<const uint8_t> value, const CompositeRecordCallback& callback) {
  {
    std::lock_guard lock(mu_);
    if (STATUS failure = TakeFailure("EnumerateCompositeRecords")) return failure;
  }
  if (value.size() < 2 || LoadU16(value.data()) != kTypeCompositeData) return kErrBadCompositeRecord;
  size_t pos = 2;
  while (pos < value.size()) {
    const auto header = ReadCompositeHeader(value.subspan(pos));
    if (!header) return kErrBadCompositeRecord;
    if (STATUS status = callback(header->signature, value.subspan(pos, header->length))) return status;
    pos += header->length + header->length % 2;
  }
  return kNoError;
}

}  // namespace quillet::sim
