// Reading and writing of single-record sections.
#include "lsobject/section.h"

#include "lsobject/checksum.h"

namespace quillet {

bool CSingleSection::Read(std::span<const uint8_t> image, size_t position) {
  ByteReader reader(image);
  uint16_t type = 0, length = 0;
  std::span<const uint8_t> body;
  if (!reader.Seek(position) || !reader.ReadU16(type) || !reader.ReadU16(length) ||
      !reader.ReadBytes(length, body))
    return false;
  data_.assign(body.begin(), body.end());
  return true;
}

int32_t CSingleSection::Write(ByteWriter& out) const {
  // A single section comes from one record, so its length fits the u16 field.
  out.PutU16(Type());
  out.PutU16(static_cast<uint16_t>(data_.size()));
  out.PutBytes(data_);
  return static_cast<int32_t>(record::kRecordHeaderSize + data_.size());
}

uint32_t CSingleSection::UpdateChecksum(uint32_t crc) const { return UpdateModuleCrc(crc, data_); }

}  // namespace quillet
