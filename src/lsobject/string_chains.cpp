// The seven string hash chains and their heads in the header.
#include "lsobject/string_chains.h"

#include <array>
#include <vector>

#include "lsobject/name_hash.h"
#include "lsobject/string_table.h"
#include "util/ascii_text.h"

namespace quillet {

strings::ChainHeads strings::LinkChains(std::span<const ChainEntry> entries,
                                        const std::function<void(uint32_t position, uint16_t link)>& store) {
  ChainHeads heads;
  heads.fill(kEndOfChain);
  std::array<const ChainEntry*, kStringChainCount> last{};
  for (const ChainEntry& entry : entries) {
    const size_t bucket = entry.hash % kStringChainCount;
    if (last[bucket] == nullptr) {
      heads[bucket] = entry.word;
    } else {
      store(last[bucket]->position, entry.word);
    }
    last[bucket] = &entry;
  }
  for (const ChainEntry* entry : last)
    if (entry != nullptr) store(entry->position, kEndOfChain);
  return heads;
}

uint16_t CStringTable::ChainWord(uint32_t position) const {
  // A chain word is the next string's handle - 4, which for strings inside
  // the first 64 KiB is simply their entry position.
  const uint32_t offset = position + strings::kEntryHeaderSize;
  if (offset <= strings::kMaxDirectOffset) return static_cast<uint16_t>(position);
  uint16_t handle = 0;
  if (!extended_.Empty() && HandleForOffset(offset, handle))
    return static_cast<uint16_t>(handle - strings::kEntryHeaderSize);
  return static_cast<uint16_t>(position - strings::kEntryHeaderSize);  // no handle: nothing better to point at
}

void CStringTable::RebuildStringChains(CHeader& header) {
  // Buckets hash the text as the host reads it back, so a string the host
  // set cannot represent lands where the runtime will look for it.
  // Most names come back as they are, and need no round through the host.
  std::vector<strings::ChainEntry> entries;
  StringCursor cursor;
  uint32_t position = 0;
  uint16_t count = 0;
  std::u16string units;
  const bool keepsAscii = text_->KeepsPrintableAscii();
  while (NextEntry(cursor, position, count)) {
    // Printable ASCII that the services keep as itself is hashed in place.
    const uint8_t* at = data_.data() + position + strings::kEntryHeaderSize;
    uint16_t hash = 0;
    bool ascii = keepsAscii;
    for (uint16_t i = 0; ascii && i < count; ++i) {
      const uint16_t unit = LoadU16(at + 2u * i);
      ascii = IsPrintableAscii(static_cast<char32_t>(unit));
      hash = NameHashStep(hash, unit);
    }
    if (!ascii) {
      units.resize(count);
      for (uint16_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(LoadU16(at + 2u * i));
      hash = text_->KeepsUnits(units) ? NameHash(units) : NameHash(text_->ToUnicode(text_->ToHost(units)));
    }
    entries.push_back({position, ChainWord(position), hash});
  }
  const strings::ChainHeads heads = strings::LinkChains(entries, [&](uint32_t position, uint16_t link) {
    StoreU16(data_.data() + position, link);  // the walk visited it, so it lies inside the data
  });
  for (uint16_t b = 0; b < kStringChainCount; ++b) {
    const size_t at = header::kStringChainHeads + 2u * b;
    if (!header.Holds(at, 2)) break;
    header.SetU16(at, heads[b]);
  }
}

}  // namespace quillet
