// The seven string hash chains and their heads in the header.
#include <array>
#include <vector>

#include "lsobject/name_hash.h"
#include "lsobject/string_table.h"

namespace quillet {

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
  std::array<std::vector<uint32_t>, kStringChainCount> chains;
  ForEachString([&](uint32_t position, uint16_t, const std::string& text) {
    chains[NameHash(text_->ToUnicode(text)) % kStringChainCount].push_back(position);
    return true;
  });

  for (uint16_t b = 0; b < kStringChainCount; ++b) {
    const size_t at = header::kStringChainHeads + 2u * b;
    if (!header.Holds(at, 2)) break;
    header.SetU16(at, chains[b].empty() ? strings::kEndOfChain : ChainWord(chains[b].front()));
  }
  for (const std::vector<uint32_t>& chain : chains) {
    for (size_t i = 0; i < chain.size(); ++i) {
      const uint16_t link = i + 1 < chain.size() ? ChainWord(chain[i + 1]) : strings::kEndOfChain;
      StoreU16(data_.data() + chain[i], link);  // the walk visited it, so it lies inside the data
    }
  }
}

}  // namespace quillet
