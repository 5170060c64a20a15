// Builds rich-text (composite) item values in the public on-disk format:
// records with byte, word or long length headers, each started on an even
// offset, and values split into item segments between records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// Little-endian words appended to `out`.
void PutU16(Bytes& out, uint16_t value);
void PutU32(Bytes& out, uint32_t value);

// One record, its header included, without padding.
Bytes ByteRecord(uint8_t signature, const Bytes& body);   // 2-byte header, at most 254 bytes
Bytes WordRecord(uint16_t signature, const Bytes& body);  // 4-byte header, signature 0xFFxx
Bytes LongRecord(uint16_t signature, const Bytes& body);  // 6-byte header, signature below 0x100

Bytes Paragraph();                                        // 0x81
Bytes TextRun(std::string_view text);                     // 0xFF85, Swiss 10 pt
// 0xFFB1 with `code` as the compiled module and `reserved` kept as it is.
Bytes LsObjectRecord(std::span<const uint8_t> code, uint32_t reserved = 0);

// Navigator records: a rectangle (byte-length header, 78-byte fixed part)
// named `name`, and a click action (72-byte fixed part) of `type` with its
// two pieces (0x00B5 keeps the word-length layout).
Bytes Rectangle(std::string_view name);
Bytes ClickAction(uint16_t signature, uint16_t type, const Bytes& first, const Bytes& second);

// A hotspot begin (0xFFAD, 12-byte fixed part) with its data and, for signed
// hotspots, the signature bytes after it.
Bytes Hotspot(uint16_t type, uint32_t flags, const Bytes& data, const Bytes& signature = {});

// A field (0xFF8A, 36-byte fixed part) with its pieces in stored order.
struct FieldSpec {
  Bytes defaultValue{}, translation{}, validation{};
  std::string name{}, description{};
  Bytes keywords{};
  uint16_t flags = 0;
};
Bytes Field(const FieldSpec& field);

// An item value: the type word, then the records, each padded to even.
Bytes CompositeValue(uint16_t type, const std::vector<Bytes>& records);
// The records split into values of at most `limit` bytes (type word
// included), cut only between records.
std::vector<Bytes> CompositeSegments(uint16_t type, const std::vector<Bytes>& records, size_t limit);

// A compiled module of a Sub with `lines` statements, from the LotusScript
// compiler of the simulated toolchain.
Bytes CompiledModule(std::string_view subName, int lines);

}  // namespace quillet::kit
