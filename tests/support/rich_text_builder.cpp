// Rich-text records and values in their stored form.
#include "support/rich_text_builder.h"

#include <stdexcept>
#include <string>

#include "sim/lsc/compiler.h"
#include "util/bytes.h"

namespace quillet::kit {
namespace {

void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutU32(Bytes& out, uint32_t value) {
  PutU16(out, static_cast<uint16_t>(value));
  PutU16(out, static_cast<uint16_t>(value >> 16));
}

}  // namespace

Bytes ByteRecord(uint8_t signature, const Bytes& body) {
  if (body.size() + 2 > 254) throw std::length_error("byte-length record over 254 bytes");
  Bytes record{signature, static_cast<uint8_t>(body.size() + 2)};
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

Bytes WordRecord(uint16_t signature, const Bytes& body) {
  Bytes record;
  PutU16(record, signature);
  PutU16(record, static_cast<uint16_t>(body.size() + 4));
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

Bytes LongRecord(uint16_t signature, const Bytes& body) {
  Bytes record;
  PutU16(record, signature);
  PutU32(record, static_cast<uint32_t>(body.size() + 6));
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

Bytes Paragraph() { return ByteRecord(0x81, {}); }

Bytes TextRun(std::string_view text) {
  Bytes body{1, 0, 0, 10};  // face Swiss, no attributes, colour 0, 10 pt
  body.insert(body.end(), text.begin(), text.end());
  return WordRecord(0xFF85, body);
}

Bytes LsObjectRecord(std::span<const uint8_t> code, uint32_t reserved) {
  Bytes body;
  PutU32(body, static_cast<uint32_t>(code.size()));
  PutU32(body, reserved);
  body.insert(body.end(), code.begin(), code.end());
  return WordRecord(0xFFB1, body);
}

Bytes CompositeValue(uint16_t type, const std::vector<Bytes>& records) {
  Bytes value;
  PutU16(value, type);
  for (const Bytes& record : records) {
    value.insert(value.end(), record.begin(), record.end());
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

Bytes CompiledModule(std::string_view subName, int lines) {
  std::string source = "Sub " + std::string(subName) + "\n  Dim total As Integer\n";
  for (int i = 0; i < lines; ++i) source += "  total = total + " + std::to_string(i) + "\n";
  source += "End Sub\n";
  Bytes image;
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) throw std::runtime_error("module does not compile");
  return image;
}

}  // namespace quillet::kit
