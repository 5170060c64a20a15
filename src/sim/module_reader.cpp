// The test kit's independent module reader and consistency checker.
#include "sim/module_reader.h"

#include <array>
#include <algorithm>
#include <cstdio>
#include <map>

#include "sim/string_table_builder.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr size_t kSegmentSpan = 0x10000;

size_t Total(const Segments& segments) {
  size_t total = 0;
  for (const Bytes& s : segments) total += s.size();
  return total;
}

void Place(Segments& segments, uint32_t offset, std::span<const uint8_t> bytes) {
  const size_t k = offset / kSegmentSpan, at = offset % kSegmentSpan;
  if (segments.size() <= k) segments.resize(k + 1);
  Bytes& s = segments[k];
  if (s.size() < at + bytes.size()) s.resize(at + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), s.begin() + static_cast<std::ptrdiff_t>(at));
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

// The string entries of a table: position -> code units.
std::map<uint32_t, std::u16string> Entries(const Segments& strings, std::vector<std::string>& problems) {
  std::map<uint32_t, std::u16string> entries;
  for (size_t k = 0; k < strings.size(); ++k) {
    const Bytes& s = strings[k];
    for (size_t p = 0; p < s.size();) {
      if (p + 4 > s.size()) {
        problems.push_back("string entry header cut at " + Hex(static_cast<uint32_t>(k * kSegmentSpan + p)));
        break;
      }
      const size_t n = LoadU16(&s[p + 2]);
      const size_t size = (4 + 2 * n + 2 + 3) / 4 * 4;
      if (p + size > s.size() || LoadU16(&s[p + 4 + 2 * n]) != 0) {
        problems.push_back("string entry broken at " + Hex(static_cast<uint32_t>(k * kSegmentSpan + p)));
        break;
      }
      entries[static_cast<uint32_t>(k * kSegmentSpan + p)] = LoadUtf16Le(&s[p + 4], n);
      p += size;
    }
  }
  return entries;
}

void CheckStringChains(const ImageContents& c, std::vector<std::string>& problems) {
  const ModuleDescription& d = c.description;
  const auto entries = Entries(d.strings, problems);
  Bytes extended;
  for (const Bytes& s : d.extendedStrings) extended.insert(extended.end(), s.begin(), s.end());
  // A chain word + 4 is a handle; handles the extended table holds map to offsets.
  auto positionOf = [&](uint16_t word) -> uint32_t {
    const uint32_t handle = (word + 4u) & 0xFFFF;
    if (!extended.empty() && extended.size() >= 4u * handle + 4) return LoadU32(&extended[4 * handle]) - 4;
    return handle - 4;
  };
  auto linkAt = [&](uint32_t position) { return LoadU16(&d.strings[position / kSegmentSpan][position % kSegmentSpan]); };

  std::map<uint32_t, int> seen;
  for (uint16_t b = 0; b < 7; ++b) {
    uint16_t word = LoadU16(&d.header[40 + 2 * b]);
    for (size_t steps = 0; word != 0xFFFF; ++steps) {
      const uint32_t p = positionOf(word);
      const auto entry = entries.find(p);
      if (entry == entries.end() || steps > entries.size()) {
        problems.push_back("chain " + std::to_string(b) + " leads to " + Hex(p) + ", not a string");
        break;
      }
      if (KitNameHash(entry->second) % 7 != b)
        problems.push_back("string at " + Hex(p) + " in chain " + std::to_string(b));
      ++seen[p];
      word = linkAt(p);
    }
  }
  for (const auto& [p, units] : entries)
    if (seen[p] != 1) problems.push_back("string at " + Hex(p) + " on " + std::to_string(seen[p]) + " chains");
}

}  // namespace

bool ReadModuleImage(std::span<const uint8_t> image, ImageContents& out) {
  out = ImageContents{};
  ModuleDescription& d = out.description;
  d.header.clear();
  size_t p = 0;
  if (image.size() >= 14 && LoadU16(image.data()) == 0x0281) {
    d.actionFlags = LoadU32(image.data() + 6);
    p = 14;
  }
  while (p + 4 <= image.size()) {
    const uint16_t type = LoadU16(&image[p]);
    const size_t length = LoadU16(&image[p + 2]);
    if (p + 4 + length > image.size()) return false;
    const std::span<const uint8_t> body = image.subspan(p + 4, length);
    out.recordTypes.push_back(type);
    auto chunk = [&](Segments& segments) {
      if (length < 4) return false;
      Place(segments, LoadU32(body.data()), body.subspan(4));
      return true;
    };
    auto sizes = [&] {
      std::vector<uint32_t> list;
      for (size_t i = 4; i + 4 <= length; i += 4) list.push_back(LoadU32(&body[i]));
      return list;
    };
    bool ok = true;
    switch (type) {
      case 1: d.header.assign(body.begin(), body.end()); break;
      case 3: ok = chunk(d.strings); break;
      case 4: {
        if (length < 4) return false;
        const uint32_t offset = LoadU32(body.data());
        if (d.byteCode.size() < offset + length - 4) d.byteCode.resize(offset + length - 4);
        std::copy(body.begin() + 4, body.end(), d.byteCode.begin() + offset);
        break;
      }
      case 5: ok = chunk(d.symbols); break;
      case 7: ok = chunk(d.productMacros); break;
      case 8: out.stringSegmentRecord = sizes(); break;
      case 9: ok = chunk(d.extendedStrings); break;
      case 13: out.symbolSegmentRecord = sizes(); break;
      case 14: ok = chunk(d.extendedSymbols); break;
      case 15: ok = chunk(d.labelOffsets); break;
      case 16: ok = chunk(d.jumpTable); break;
      case 17: ok = chunk(d.lineNumbers); break;
      case 2: case 10: case 11: d.unknown.push_back({type, Bytes(body.begin(), body.end())}); break;
      default: return false;
    }
    if (!ok) return false;
    p += 4 + length;
  }
  return d.header.size() >= 300;
}

std::vector<std::string> CheckModuleImage(std::span<const uint8_t> image) {
  std::vector<std::string> problems;
  ImageContents c;
  if (!ReadModuleImage(image, c)) return {"image unreadable"};
  const ModuleDescription& d = c.description;
  const uint8_t* h = d.header.data();
  const size_t H = d.header.size();
  auto expect = [&](const char* what, uint32_t stored, uint32_t wanted) {
    if (stored != wanted) problems.push_back(std::string(what) + " is " + Hex(stored) + ", wants " + Hex(wanted));
  };

  const bool extended = !d.labelOffsets.empty() || !d.jumpTable.empty() || d.byteCode.size() >= 0xFC00;
  if (extended) {
    expect("format level", LoadU16(h + 4), 4);
    expect("extended-format flag", LoadU16(h + 6) & 0x0400, 0x0400);
  }
  if (h[4] > 3) {
    auto sizesOf = [](const Segments& s) {
      std::vector<uint32_t> sizes;
      for (const Bytes& b : s) sizes.push_back(static_cast<uint32_t>(b.size()));
      if (sizes.empty()) sizes.push_back(0);
      return sizes;
    };
    if (c.stringSegmentRecord != sizesOf(d.strings)) problems.push_back("string segment record");
    if (c.symbolSegmentRecord != sizesOf(d.symbols)) problems.push_back("symbol segment record");
  } else if (c.stringSegmentRecord || c.symbolSegmentRecord) {
    problems.push_back("segment records below format level 4");
  }
  expect("byte-code size 16", LoadU16(h + 16), d.byteCode.size() & 0xFFFF);
  expect("symbol size 16", LoadU16(h + 22), Total(d.symbols) & 0xFFFF);
  expect("string size 16", LoadU16(h + 24), Total(d.strings) & 0xFFFF);
  if (H >= 512) {
    expect("byte-code size", LoadU32(h + 344), static_cast<uint32_t>(d.byteCode.size()));
    expect("symbol size", LoadU32(h + 352), static_cast<uint32_t>(Total(d.symbols)));
    expect("string size", LoadU32(h + 356), static_cast<uint32_t>(Total(d.strings)));
    expect("extended strings", LoadU32(h + 364), static_cast<uint32_t>(Total(d.extendedStrings) / 4));
    expect("string segments", LoadU32(h + 368), static_cast<uint32_t>(d.strings.size()));
    expect("extended symbols", LoadU32(h + 380), static_cast<uint32_t>(Total(d.extendedSymbols) / 4));
    expect("symbol segments", LoadU32(h + 384), static_cast<uint32_t>(d.symbols.size()));
  }
  if (H >= 396) {
    expect("label offsets", LoadU32(h + 388), static_cast<uint32_t>(Total(d.labelOffsets) / 4));
    expect("jumps", LoadU32(h + 392), static_cast<uint32_t>(Total(d.jumpTable) / 8));
  }
  if (!d.symbols.empty() && d.symbols[0].size() >= 4)
    expect("checksum", LoadU32(d.symbols[0].data()), ModuleChecksum(d));
  CheckStringChains(c, problems);
  return problems;
}

}  // namespace quillet::sim
