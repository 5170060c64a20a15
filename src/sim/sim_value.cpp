// Encoding and decoding of the item values the simulated host understands.
#include "sim/sim_value.h"

#include <bit>
#include <cstdio>

#include "sim/sim_time.h"
#include "util/bytes.h"

namespace quillet::sim {

std::vector<uint8_t> EncodeTextList(std::span<const std::string> entries) {
  ByteWriter out;
  out.PutU16(static_cast<uint16_t>(entries.size()));
  for (const std::string& entry : entries) out.PutU16(static_cast<uint16_t>(entry.size()));
  for (const std::string& entry : entries) {
    out.PutBytes(std::span(reinterpret_cast<const uint8_t*>(entry.data()), entry.size()));
  }
  return std::move(out.bytes());
}

std::optional<std::vector<std::string>> DecodeTextList(std::span<const uint8_t> value) {
  ByteReader in(value);
  uint16_t count = 0;
  if (!in.ReadU16(count)) return std::nullopt;
  std::vector<uint16_t> lengths(count);
  for (uint16_t& length : lengths) {
    if (!in.ReadU16(length)) return std::nullopt;
  }
  std::vector<std::string> entries;
  entries.reserve(count);
  for (uint16_t length : lengths) {
    std::span<const uint8_t> bytes;
    if (!in.ReadBytes(length, bytes)) return std::nullopt;
    entries.emplace_back(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  return entries;
}

std::vector<uint8_t> EncodeNumber(double value) {
  ByteWriter out;
  out.PutU64(std::bit_cast<uint64_t>(value));
  return std::move(out.bytes());
}

std::optional<double> DecodeNumber(std::span<const uint8_t> value) {
  ByteReader in(value);
  uint64_t bits = 0;
  if (!in.ReadU64(bits)) return std::nullopt;
  return std::bit_cast<double>(bits);
}

std::vector<uint8_t> EncodeTime(const TimeDate& value) {
  ByteWriter out;
  out.PutU32(value.innards[0]);
  out.PutU32(value.innards[1]);
  return std::move(out.bytes());
}

std::optional<TimeDate> DecodeTime(std::span<const uint8_t> value) {
  ByteReader in(value);
  TimeDate time;
  if (!in.ReadU32(time.innards[0]) || !in.ReadU32(time.innards[1])) return std::nullopt;
  return time;
}

std::vector<uint8_t> EncodeAttachment(const AttachmentRef& ref) {
  ByteWriter out;
  out.PutU32(ref.objectId);
  out.PutU32(ref.size);
  out.PutU16(static_cast<uint16_t>(ref.name.size()));
  out.PutBytes(std::span(reinterpret_cast<const uint8_t*>(ref.name.data()), ref.name.size()));
  return std::move(out.bytes());
}

std::optional<AttachmentRef> DecodeAttachment(std::span<const uint8_t> value) {
  ByteReader in(value);
  AttachmentRef ref;
  uint16_t nameLength = 0;
  std::span<const uint8_t> name;
  if (!in.ReadU32(ref.objectId) || !in.ReadU32(ref.size) || !in.ReadU16(nameLength) ||
      !in.ReadBytes(nameLength, name)) {
    return std::nullopt;
  }
  ref.name.assign(reinterpret_cast<const char*>(name.data()), name.size());
  return ref;
}

std::vector<std::string> ValueAsTextEntries(uint16_t type, std::span<const uint8_t> value) {
  switch (type) {
    case kTypeText:
      return {std::string(reinterpret_cast<const char*>(value.data()), value.size())};
    case kTypeTextList:
      return DecodeTextList(value).value_or(std::vector<std::string>{});
    case kTypeNumber: {
      auto number = DecodeNumber(value);
      if (!number) return {};
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", *number);
      return {text};
    }
    case kTypeTime: {
      auto time = DecodeTime(value);
      if (!time) return {};
      return {FormatTime(*time)};
    }
    default:
      return {};
  }
}

}  // namespace quillet::sim
