// Rich-text (composite) records and item values as the host stores them:
// records with byte, word or long length headers, each started on an even
// offset, and values split into item segments between records. The host's
// design tools write these; the simulated host builds design notes with them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quillet::sim {

using Bytes = std::vector<uint8_t>;

// Record signatures the builders write.
inline constexpr uint8_t kRecordParagraph = 0x81;
inline constexpr uint8_t kRecordHotspotEnd = 0xAE;
inline constexpr uint16_t kRecordText = 0xFF85;
inline constexpr uint16_t kRecordButton = 0xFFAB;
inline constexpr uint16_t kRecordHotspotBegin = 0xFFAD;
inline constexpr uint16_t kRecordLsObject = 0xFFB1;

// Hotspot types and the flag of a hotspot that runs LotusScript.
inline constexpr uint16_t kHotspotHotRegion = 2;
inline constexpr uint16_t kHotspotButton = 3;
inline constexpr uint32_t kHotspotScript = 0x100;

// Little-endian words appended to `out`.
void PutU16(Bytes& out, uint16_t value);
void PutU32(Bytes& out, uint32_t value);

// One record, its header included, without padding.
Bytes ByteRecord(uint8_t signature, const Bytes& body);   // 2-byte header, at most 254 bytes
Bytes WordRecord(uint16_t signature, const Bytes& body);  // 4-byte header, signature 0xFFxx
Bytes LongRecord(uint16_t signature, const Bytes& body);  // 6-byte header, signature below 0x100

Bytes Paragraph();                     // 0x81
Bytes TextRun(std::string_view text);  // 0xFF85, Swiss 10 pt
// 0xFFB1 with `code` as the compiled module and `reserved` kept as it is.
// The record's 16-bit length must hold `code`: at most kMaxLsObjectCode bytes.
Bytes LsObjectRecord(std::span<const uint8_t> code, uint32_t reserved = 0);
inline constexpr size_t kLsObjectHeaderSize = 12;  // signature, length, code size, reserved
inline constexpr size_t kMaxLsObjectCode = 0xFFFF - kLsObjectHeaderSize;

// A hotspot begin (0xFFAD, 12-byte fixed part) with its data and, for signed
// hotspots, the signature bytes after it; the hotspot end (0xAE) after its
// contents.
Bytes Hotspot(uint16_t type, uint32_t flags, const Bytes& data, const Bytes& signature = {});
Bytes HotspotEnd();
Bytes ButtonFace(std::string_view label);  // 0xFFAB, 16-byte fixed part

// A button: hotspot begin with the LotusScript source, face, object code,
// hotspot end.
std::vector<Bytes> ScriptButton(std::string_view label, std::string_view source, const Bytes& objectCode);

// An item value: the type word, then the records, each padded to even.
Bytes CompositeValue(uint16_t type, const std::vector<Bytes>& records);
// The records split into values of at most `limit` bytes (type word
// included), cut only between records.
std::vector<Bytes> CompositeSegments(uint16_t type, const std::vector<Bytes>& records, size_t limit);

}  // namespace quillet::sim
