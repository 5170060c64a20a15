// Rich-text records and values in their stored form.
#include "support/rich_text_builder.h"

#include <stdexcept>
#include <string>

#include "sim/lsc/compiler.h"
#include "util/bytes.h"

namespace quillet::kit {
void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void PutU32(Bytes& out, uint32_t value) {
  PutU16(out, static_cast<uint16_t>(value));
  PutU16(out, static_cast<uint16_t>(value >> 16));
}

namespace {

void PutAt(Bytes& out, size_t at, uint16_t value) { StoreU16(out.data() + at, value); }
void AppendTo(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
void AppendTo(Bytes& out, const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

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

Bytes Rectangle(std::string_view name) {
  Bytes body(76, 0);
  PutAt(body, 18, static_cast<uint16_t>(name.size()));  // name length at 20 of the record
  AppendTo(body, name);
  return kit::ByteRecord(0xB1, body);
}

Bytes ClickAction(uint16_t signature, uint16_t type, const Bytes& first, const Bytes& second) {
  Bytes body(68, 0);
  PutAt(body, 8, type);                                       // action type at 12
  PutAt(body, 10, static_cast<uint16_t>(first.size()));       // first piece length at 14
  PutAt(body, 56, static_cast<uint16_t>(second.size()));      // second piece length at 60
  body[20] = 0x77;                                            // link information, copied
  AppendTo(body, first);
  AppendTo(body, second);
  // 0x00B5 keeps the word-length layout; a long-length reader sees the
  // highlight word after the length as the length's high word, which is 0.
  return kit::WordRecord(signature, body);
}

Bytes Hotspot(uint16_t type, uint32_t flags, const Bytes& data, const Bytes& signature) {
  Bytes body(8, 0);
  PutAt(body, 0, type);
  StoreU32(body.data() + 2, flags);
  PutAt(body, 6, static_cast<uint16_t>(data.size()));
  AppendTo(body, data);
  AppendTo(body, signature);
  return kit::WordRecord(0xFFAD, body);
}

Bytes Field(const FieldSpec& f) {
  Bytes body(32, 0);
  PutAt(body, 0, f.flags);
  PutAt(body, 18, static_cast<uint16_t>(f.defaultValue.size()));
  PutAt(body, 20, static_cast<uint16_t>(f.translation.size()));
  PutAt(body, 22, 7);  // tab order, not a length
  PutAt(body, 24, static_cast<uint16_t>(f.validation.size()));
  PutAt(body, 26, static_cast<uint16_t>(f.name.size()));
  PutAt(body, 28, static_cast<uint16_t>(f.description.size()));
  PutAt(body, 30, static_cast<uint16_t>(f.keywords.size()));
  for (const Bytes* formula : {&f.defaultValue, &f.translation, &f.validation}) AppendTo(body, *formula);
  AppendTo(body, f.name);
  AppendTo(body, f.description);
  AppendTo(body, f.keywords);
  return kit::WordRecord(0xFF8A, body);
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
