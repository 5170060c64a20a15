// Builds rich-text (composite) item values in the public on-disk format:
// records with byte, word or long length headers, each started on an even
// offset, and values split into item segments between records.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// One record, its header included, without padding.
Bytes ByteRecord(uint8_t signature, const Bytes& body);   // 2-byte header, at most 254 bytes
Bytes WordRecord(uint16_t signature, const Bytes& body);  // 4-byte header, signature 0xFFxx
Bytes LongRecord(uint16_t signature, const Bytes& body);  // 6-byte header, signature below 0x100

Bytes Paragraph();                                        // 0x81
Bytes TextRun(std::string_view text);                     // 0xFF85, Swiss 10 pt
// 0xFFB1 with `code` as the compiled module and `reserved` kept as it is.
Bytes LsObjectRecord(std::span<const uint8_t> code, uint32_t reserved = 0);

// An item value: the type word, then the records, each padded to even.
Bytes CompositeValue(uint16_t type, const std::vector<Bytes>& records);
// The records split into values of at most `limit` bytes (type word
// included), cut only between records.
std::vector<Bytes> CompositeSegments(uint16_t type, const std::vector<Bytes>& records, size_t limit);

// A compiled module of a Sub with `lines` statements, from the LotusScript
// compiler of the simulated toolchain.
Bytes CompiledModule(std::string_view subName, int lines);

}  // namespace quillet::kit
