// Reading and writing of single-record sections, and the record frame every
// section is read through.
#include "lsobject/section.h"

#include <string>

#include "lsobject/checksum.h"

namespace quillet {
namespace {

// The name of a record type the module format does not define.
constexpr std::string_view kUnknownRecord = "record";

}  // namespace

std::string_view record::Name(uint16_t type) {
  switch (type) {
    case kHeader: return "header";
    case kStringTable: return "string table";
    case kByteCode: return "byte code";
    case kSymbolTable: return "symbol table";
    case kProductMacros: return "product macros";
    case kStringSegments: return "string segment sizes";
    case kExtendedStringTable: return "extended string table";
    case kSymbolSegments: return "symbol segment sizes";
    case kExtendedSymbolTable: return "extended symbol table";
    case kLabelOffsetTable: return "label offset table";
    case kJumpTable: return "jump table";
    case kFunctionLineNumbers: return "function line numbers";
    default: return kUnknownRecord;
  }
}

namespace {

std::string Truncated(size_t need, size_t left) {
  return "truncated (needs " + std::to_string(need) + " bytes, " + std::to_string(left) + " left)";
}

}  // namespace

std::string record::FieldName(uint16_t type, std::string_view field) {
  // An unknown type is shown by its number: "type 8257 record body".
  const std::string_view name = Name(type);
  if (name == kUnknownRecord) return "type " + std::to_string(type) + " " + std::string(field);
  return std::string(name) + " " + std::string(field);
}

bool ReadRecordBody(std::span<const uint8_t> image, size_t position, uint16_t& type, std::span<const uint8_t>& body,
                    ParseError& error) {
  ByteReader reader(image);
  uint16_t length = 0;
  if (!reader.Seek(position) || !reader.ReadU16(type))
    return error.Refuse(kModuleSubject, position, "record type", Truncated(2, reader.remaining()));
  if (!reader.ReadU16(length))
    return error.Refuse(kModuleSubject, position + 2, record::FieldName(type, "record length"),
                        Truncated(2, reader.remaining()));
  if (!reader.ReadBytes(length, body))
    return error.Refuse(kModuleSubject, position + record::kRecordHeaderSize, record::FieldName(type, "record body"),
                        "length " + std::to_string(length) + " runs past the end of the image (" +
                            std::to_string(reader.remaining()) + " bytes left)");
  return true;
}

bool CSingleSection::ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) {
  uint16_t type = 0;
  std::span<const uint8_t> body;
  if (!ReadRecordBody(image, position, type, body, error)) return false;
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
