// The section base classes of a compiled module image and its record types.
//
// Every record of an image is
//   | off | width | meaning                 |
//   |   0 | u16   | record type             |
//   |   2 | u16   | body length L           |
//   |   4 | L     | body                    |
// and the next record follows the body directly. A single section keeps the
// whole body as its data; a multi-section record's body starts with a u32
// placement offset (see multi_section.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "util/bytes.h"
#include "util/parse_error.h"

namespace quillet {

namespace record {
inline constexpr uint16_t kHeader = 1;
inline constexpr uint16_t kUnknown2 = 2;
inline constexpr uint16_t kStringTable = 3;
inline constexpr uint16_t kByteCode = 4;
inline constexpr uint16_t kSymbolTable = 5;
inline constexpr uint16_t kRefused6 = 6;
inline constexpr uint16_t kProductMacros = 7;
inline constexpr uint16_t kStringSegments = 8;  // segment sizes of the string table
inline constexpr uint16_t kExtendedStringTable = 9;
inline constexpr uint16_t kUnknown10 = 10;
inline constexpr uint16_t kUnknown11 = 11;
inline constexpr uint16_t kRefused12 = 12;
inline constexpr uint16_t kSymbolSegments = 13;  // segment sizes of the symbol table
inline constexpr uint16_t kExtendedSymbolTable = 14;
inline constexpr uint16_t kLabelOffsetTable = 15;
inline constexpr uint16_t kJumpTable = 16;
inline constexpr uint16_t kFunctionLineNumbers = 17;

inline constexpr size_t kRecordHeaderSize = 4;  // u16 type, u16 length

// What a record type holds, for refusal messages ("string table").
std::string_view Name(uint16_t type);
// "<Name(type)> <field>", e.g. "byte code record body"; an unknown type by
// its number, "type 8257 record body".
std::string FieldName(uint16_t type, std::string_view field);
}  // namespace record

// The subject named in every module refusal.
inline constexpr std::string_view kModuleSubject = "module";

// Reads the header of the record at `position` and returns its type and body;
// false, with `error` filled, when the header or the body runs past the image.
[[nodiscard]] bool ReadRecordBody(std::span<const uint8_t> image, size_t position, uint16_t& type,
                                  std::span<const uint8_t>& body, ParseError& error);

// A section: its record type and its data, an owned byte buffer.
class CSection {
 public:
  virtual ~CSection() = default;
  virtual uint8_t Type() const = 0;
  virtual uint8_t RecordHeaderSize() const = 0;
  virtual int32_t Length() const { return static_cast<int32_t>(data_.size()); }
  // Reads the record that starts at `position` of `image`. Returns false, and
  // leaves the section as it was, when the record does not fit the image or
  // does not fit the section; `error` then says where and why.
  [[nodiscard]] virtual bool ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) = 0;
  // The same, for callers that need no reason.
  [[nodiscard]] bool Read(std::span<const uint8_t> image, size_t position) {
    ParseError ignored;
    return ReadRecord(image, position, ignored);
  }
  // Appends the section's records to `out`; returns the bytes written.
  virtual int32_t Write(ByteWriter& out) const = 0;

  // Frees the data (and whatever a section keeps beside it).
  virtual void Clear() { data_.clear(); }

  std::span<const uint8_t> Data() const { return data_; }
  std::span<uint8_t> MutableData() { return data_; }
  bool Empty() const { return data_.empty(); }

 protected:
  std::vector<uint8_t> data_;
};

// A section stored in exactly one record; the body is the data.
class CSingleSection : public CSection {
 public:
  uint8_t RecordHeaderSize() const override { return record::kRecordHeaderSize; }
  [[nodiscard]] bool ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) override;
  int32_t Write(ByteWriter& out) const override;
  virtual uint32_t UpdateChecksum(uint32_t crc) const;
};

// A record the system carries without interpreting it (types 2, 10, 11).
class CUnknownSection : public CSingleSection {
 public:
  explicit CUnknownSection(uint8_t type) : type_(type) {}
  uint8_t Type() const override { return type_; }

 private:
  uint8_t type_;
};

}  // namespace quillet
