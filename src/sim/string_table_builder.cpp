// Writer of well-formed string tables for the test kit.
#include "sim/string_table_builder.h"

#include <set>

#include "lsobject/header.h"
#include "lsobject/string_chains.h"
#include "lsobject/string_table.h"
#include "util/bytes.h"

namespace quillet::sim {
namespace {

constexpr size_t kSegmentSpan = 0x10000;
constexpr size_t kSegmentLimit = 0xFFF9;  // a segment never reaches this size

}  // namespace

size_t StringTableBuilder::Add(std::string_view ascii) {
  std::u16string units;
  for (char c : ascii) units.push_back(static_cast<unsigned char>(c));
  return AddUnits(units);
}

size_t StringTableBuilder::AddUnits(std::u16string_view units) {
  texts_.emplace_back(units);
  return texts_.size() - 1;
}

StringTableImage StringTableBuilder::Build() const {
  StringTableImage t;
  std::vector<uint32_t> positions;
  for (const std::u16string& text : texts_) {
    const size_t size = strings::EntrySize(text.size());
    if (t.strings.empty() || t.strings.back().size() + size >= kSegmentLimit) t.strings.emplace_back();
    positions.push_back(static_cast<uint32_t>((t.strings.size() - 1) * kSegmentSpan + t.strings.back().size()));
    strings::AppendEntry(t.strings.back(), text);
  }

  // Handles: offsets inside the first 64 KiB are their own; the others get
  // extended-table indices that are neither 0..4 nor another string's offset
  // (such indices map to themselves).
  std::set<uint32_t> direct;
  for (uint32_t p : positions)
    if (p + 4 <= 0xFFFF) direct.insert(p + 4);
  std::vector<uint32_t> extended;
  for (uint32_t p : positions) {
    const uint32_t offset = p + 4;
    t.offsets.push_back(offset);
    if (offset <= 0xFFFF) {
      t.handles.push_back(static_cast<uint16_t>(offset));
      continue;
    }
    while (extended.size() <= 4 || direct.count(static_cast<uint32_t>(extended.size())) != 0)
      extended.push_back(static_cast<uint32_t>(extended.size()));
    t.handles.push_back(static_cast<uint16_t>(extended.size()));
    extended.push_back(offset);
  }
  if (!extended.empty()) {
    Bytes bytes(extended.size() * 4);
    for (size_t i = 0; i < extended.size(); ++i) StoreU32(&bytes[4 * i], extended[i]);
    t.extendedStrings = {bytes};
  }

  // Chains in table order, as the module links them; a word is the string's
  // handle - 4.
  std::vector<strings::ChainEntry> entries;
  for (size_t i = 0; i < texts_.size(); ++i)
    entries.push_back({positions[i], static_cast<uint16_t>(t.handles[i] - strings::kEntryHeaderSize),
                       NameHash(texts_[i])});
  t.heads = strings::LinkChains(entries, [&](uint32_t position, uint16_t link) {
    StoreU16(&t.strings[position / kSegmentSpan][position % kSegmentSpan], link);
  });
  return t;
}

void StringTableBuilder::Into(ModuleDescription& d) const {
  const StringTableImage t = Build();
  d.strings = t.strings;
  d.extendedStrings = t.extendedStrings;
  for (size_t b = 0; b < t.heads.size(); ++b) StoreU16(&d.header[header::kStringChainHeads + 2 * b], t.heads[b]);
}

StringTableBuilder NumberedStrings(size_t bytes, std::string_view prefix) {
  StringTableBuilder builder;
  size_t total = 0;
  for (size_t i = 0; total < bytes; ++i) {
    const std::string text = std::string(prefix) + std::to_string(i);
    builder.Add(text);
    total += strings::EntrySize(text.size());
  }
  return builder;
}

}  // namespace quillet::sim
