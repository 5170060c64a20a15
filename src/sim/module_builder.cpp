// Writer of well-formed module images for the simulated host, tests and benchmarks.
#include "sim/module_builder.h"

#include <algorithm>

#include "lsobject/checksum.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr uint32_t kSegmentSpan = 0x10000;

size_t TotalSize(const Segments& segments) {
  size_t total = 0;
  for (const Bytes& s : segments) total += s.size();
  return total;
}

void PutRecord(ByteWriter& out, uint16_t type, const Bytes& body) {
  out.PutU16(type);
  out.PutU16(static_cast<uint16_t>(body.size()));
  out.PutBytes(body);
}

// Segment k's chunks carry placement offsets from k × 0x10000 on.
void PutChunks(ByteWriter& out, uint16_t type, const Segments& segments, size_t chunk) {
  for (size_t k = 0; k < segments.size(); ++k) {
    const Bytes& segment = segments[k];
    for (size_t p = 0; p < segment.size(); p += chunk) {
      const size_t c = std::min(chunk, segment.size() - p);
      out.PutU16(type);
      out.PutU16(static_cast<uint16_t>(c + 4));
      out.PutU32(static_cast<uint32_t>(k * kSegmentSpan + p));
      out.PutBytes(std::span<const uint8_t>(segment).subspan(p, c));
    }
  }
}

void PutSegmentList(ByteWriter& out, uint16_t type, const Segments& segments) {
  const size_t count = std::max<size_t>(segments.size(), 1);
  out.PutU16(type);
  out.PutU16(static_cast<uint16_t>(4 + 4 * count));
  out.PutU32(0);
  if (segments.empty()) out.PutU32(0);
  for (const Bytes& s : segments) out.PutU32(static_cast<uint32_t>(s.size()));
}

uint32_t Fold(uint32_t crc, const Segments& segments, size_t skip = 0) {
  for (size_t k = 0; k < segments.size(); ++k) {
    std::span<const uint8_t> bytes(segments[k]);
    if (k == 0) bytes = bytes.subspan(std::min(skip, bytes.size()));
    crc = UpdateModuleCrc(crc, bytes);
  }
  return crc;
}

// The description with sizes, format level and checksum made consistent.
ModuleDescription Completed(const ModuleDescription& d) {
  ModuleDescription m = d;
  if (!m.consistent) return m;
  uint8_t* h = m.header.data();
  const size_t H = m.header.size();
  if (!m.labelOffsets.empty() || !m.jumpTable.empty() || m.byteCode.size() >= 0xFC00) {
    StoreU16(h + 4, 4);
    StoreU16(h + 6, LoadU16(h + 6) | 0x0400);
  }
  if (H >= 512) {
    StoreU32(h + 344, static_cast<uint32_t>(m.byteCode.size()));
    StoreU32(h + 352, static_cast<uint32_t>(TotalSize(m.symbols)));
    StoreU32(h + 356, static_cast<uint32_t>(TotalSize(m.strings)));
    StoreU32(h + 364, static_cast<uint32_t>(TotalSize(m.extendedStrings) / 4));
    StoreU32(h + 368, static_cast<uint32_t>(m.strings.size()));
    StoreU32(h + 380, static_cast<uint32_t>(TotalSize(m.extendedSymbols) / 4));
    StoreU32(h + 384, static_cast<uint32_t>(m.symbols.size()));
  }
  StoreU16(h + 16, static_cast<uint16_t>(m.byteCode.size()));
  StoreU16(h + 22, static_cast<uint16_t>(TotalSize(m.symbols)));
  StoreU16(h + 24, static_cast<uint16_t>(TotalSize(m.strings)));
  if (H >= 396) {
    StoreU32(h + 388, static_cast<uint32_t>(TotalSize(m.labelOffsets) / 4));
    StoreU32(h + 392, static_cast<uint32_t>(TotalSize(m.jumpTable) / 8));
  }
  if (!m.symbols.empty() && m.symbols[0].size() >= 4) StoreU32(m.symbols[0].data(), ModuleChecksum(m));
  return m;
}

}  // namespace

Bytes Pattern(size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i);
  return bytes;
}

uint32_t ModuleChecksum(const ModuleDescription& d) {
  uint32_t crc = UpdateModuleCrc(0, std::span<const uint8_t>(d.header).first(std::min<size_t>(300, d.header.size())));
  crc = Fold(crc, d.strings);
  crc = Fold(crc, d.symbols, 4);
  crc = UpdateModuleCrc(crc, d.byteCode);
  return Fold(crc, d.productMacros);
}

Bytes BuildModuleImage(const ModuleDescription& description) {
  const ModuleDescription m = Completed(description);
  const size_t chunk = std::clamp<size_t>(m.chunk, 1, 4088);
  Bytes image(m.actionFlags ? 14 : 0, 0);  // the prefix is filled in last
  ByteWriter out(image);

  auto unknownOfType = [&](auto wanted) {
    for (const auto& u : m.unknown)
      if (wanted(u.type)) PutRecord(out, u.type, u.body);
  };
  const bool segmentRecords = m.header.size() > 4 && m.header[4] > 3;
  PutRecord(out, 1, m.header);
  if (segmentRecords) PutSegmentList(out, 8, m.strings);
  PutChunks(out, 9, m.extendedStrings, chunk);
  PutChunks(out, 3, m.strings, chunk);
  PutChunks(out, 15, m.labelOffsets, chunk);
  if (segmentRecords) PutSegmentList(out, 13, m.symbols);
  PutChunks(out, 14, m.extendedSymbols, chunk);
  PutChunks(out, 5, m.symbols, chunk);
  PutChunks(out, 4, Segments{m.byteCode}, chunk);
  PutChunks(out, 7, m.productMacros, chunk);

  const auto firstType11 = std::find_if(m.unknown.begin(), m.unknown.end(), [](const auto& u) { return u.type == 11; });
  if (firstType11 != m.unknown.end()) {
    PutRecord(out, 11, firstType11->body);
  } else if ((LoadU16(m.header.data() + 6) & 0x0400) != 0 && LoadU16(m.header.data() + 18) != 0) {
    Bytes body(8, 0);
    StoreU32(body.data() + 4, LoadU16(m.header.data() + 18));
    PutRecord(out, 11, body);
  }
  PutChunks(out, 16, m.jumpTable, chunk);
  unknownOfType([](uint16_t t) { return t == 2; });
  PutChunks(out, 17, m.lineNumbers, chunk);
  unknownOfType([](uint16_t t) { return t != 2 && t != 11; });

  if (m.actionFlags) {
    if (image.size() % 2 != 0) out.PutU8(0);
    StoreU16(image.data(), 0x0281);
    StoreU16(image.data() + 2, 0xFF85);
    StoreU16(image.data() + 4, static_cast<uint16_t>(image.size() - 2));
    StoreU32(image.data() + 6, *m.actionFlags);
    StoreU32(image.data() + 10, static_cast<uint32_t>(image.size() - 14));
  }
  return image;
}

}  // namespace quillet::sim
