// Rich-text records and values in their stored form.
#include "sim/rich_text_records.h"

#include <stdexcept>

#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr size_t kMaxByteRecord = 254;
constexpr uint16_t kButtonRunsScript = 0x0001;
constexpr uint16_t kButtonWidth = 1440;  // one inch, in twips
constexpr uint32_t kSwiss10Point = 0x0A000001;

void PutAt(Bytes& out, size_t at, uint16_t value) { StoreU16(out.data() + at, value); }
void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

}  // namespace

void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
  PutU16(out, static_cast<uint16_t>(value));
  PutU16(out, static_cast<uint16_t>(value >> 16));
}

Bytes ByteRecord(uint8_t signature, const Bytes& body) {
  if (body.size() + 2 > kMaxByteRecord) throw std::length_error("byte-length record over 254 bytes");
  Bytes record{signature, static_cast<uint8_t>(body.size() + 2)};
  AppendTo(record, body);
  return record;
}

Bytes WordRecord(uint16_t signature, const Bytes& body) {
  if (body.size() + 4 > 0xFFFF) throw std::length_error("word-length record over 64K");
  Bytes record;
  PutU16(record, signature);
  PutU16(record, static_cast<uint16_t>(body.size() + 4));
  AppendTo(record, body);
  return record;
}

Bytes LongRecord(uint16_t signature, const Bytes& body) {
  Bytes record;
  PutU16(record, signature);
  PutU32(record, static_cast<uint32_t>(body.size() + 6));
  AppendTo(record, body);
  return record;
}

Bytes Paragraph() { return ByteRecord(kRecordParagraph, {}); }

Bytes TextRun(std::string_view text) {
  Bytes body{1, 0, 0, 10};  // face Swiss, no attributes, colour 0, 10 pt
  AppendTo(body, text);
  return WordRecord(kRecordText, body);
}

Bytes LsObjectRecord(std::span<const uint8_t> code, uint32_t reserved) {
  Bytes body;
  PutU32(body, static_cast<uint32_t>(code.size()));
  PutU32(body, reserved);
  body.insert(body.end(), code.begin(), code.end());
  return WordRecord(kRecordLsObject, body);
}

Bytes Hotspot(uint16_t type, uint32_t flags, const Bytes& data, const Bytes& signature) {
  Bytes body(8, 0);
  PutAt(body, 0, type);
  StoreU32(body.data() + 2, flags);
  PutAt(body, 6, static_cast<uint16_t>(data.size()));
  AppendTo(body, data);
  AppendTo(body, signature);
  return WordRecord(kRecordHotspotBegin, body);
}

Bytes HotspotEnd() { return ByteRecord(kRecordHotspotEnd, {}); }

Bytes ButtonFace(std::string_view label) {
  Bytes body;
  PutU16(body, kButtonRunsScript);
  PutU16(body, kButtonWidth);
  PutU16(body, 0);
  PutU16(body, 1);  // one line of text
  PutU32(body, kSwiss10Point);
  AppendTo(body, label);
  return WordRecord(kRecordButton, body);
}

std::vector<Bytes> ScriptButton(std::string_view label, std::string_view source, const Bytes& objectCode) {
  return {Hotspot(kHotspotButton, kHotspotScript, Bytes(source.begin(), source.end())), ButtonFace(label),
          LsObjectRecord(objectCode), HotspotEnd()};
}

Bytes CompositeValue(uint16_t type, const std::vector<Bytes>& records) {
  Bytes value;
  PutU16(value, type);
  for (const Bytes& record : records) {
    AppendTo(value, record);
    if (value.size() % 2 != 0) value.push_back(0);
  }
  return value;
}

std::vector<Bytes> CompositeSegments(uint16_t type, const std::vector<Bytes>& records, size_t limit) {
  std::vector<Bytes> segments;
  std::vector<Bytes> current;
  size_t size = 2;
  for (const Bytes& record : records) {
    const size_t padded = record.size() + record.size() % 2;
    if (size + padded > limit && !current.empty()) {
      segments.push_back(CompositeValue(type, current));
      current.clear();
      size = 2;
    }
    current.push_back(record);
    size += padded;
  }
  if (!current.empty()) segments.push_back(CompositeValue(type, current));
  return segments;
}

}  // namespace quillet::sim
