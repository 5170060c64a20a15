// Builds rich-text (composite) records in the public on-disk format beyond
// those of the simulated host's builder (sim/rich_text_records.h): navigator
// shapes and actions, fields, and small compiled modules.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/rich_text_records.h"

namespace quillet::kit {

using Bytes = std::vector<uint8_t>;

// The records and values the simulated host's note builder writes, under
// the kit's names.
using sim::ByteRecord;
using sim::CompositeSegments;
using sim::CompositeValue;
using sim::Hotspot;
using sim::LongRecord;
using sim::LsObjectRecord;
using sim::Paragraph;
using sim::PutU16;
using sim::PutU32;
using sim::TextRun;
using sim::WordRecord;

// Navigator records: a rectangle (byte-length header, 78-byte fixed part)
// named `name`, and a click action (72-byte fixed part) of `type` with its
// two pieces (0x00B5 keeps the word-length layout).
Bytes Rectangle(std::string_view name);
Bytes ClickAction(uint16_t signature, uint16_t type, const Bytes& first, const Bytes& second);

// A field (0xFF8A, 36-byte fixed part) with its pieces in stored order.
struct FieldSpec {
  Bytes defaultValue{}, translation{}, validation{};
  std::string name{}, description{};
  Bytes keywords{};
  uint16_t flags = 0;
};
Bytes Field(const FieldSpec& field);

// A compiled module of a Sub with `lines` statements, from the LotusScript
// compiler of the simulated toolchain.
Bytes CompiledModule(std::string_view subName, int lines);

}  // namespace quillet::kit
