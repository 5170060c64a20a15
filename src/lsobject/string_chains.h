// Linking a string table's seven hash chains: the one rule the module, the
// compiler's string pool and the test kit's table builder all chain by.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "lsobject/name_hash.h"

namespace quillet::strings {

struct ChainEntry {
  uint32_t position;  // where the entry (its link word) lies, as the caller addresses it
  uint16_t word;      // what a link to this entry holds: its handle - 4
  uint16_t hash;      // NameHash of its text as the host reads it
};

using ChainHeads = std::array<uint16_t, kStringChainCount>;

// Links `entries`, in table order, into the chains (bucket = hash % 7): calls
// `store(position, link)` once per entry with the word of the next entry of
// its bucket, or 0xFFFF for the last; returns each chain's first word, 0xFFFF
// for an empty chain.
ChainHeads LinkChains(std::span<const ChainEntry> entries,
                      const std::function<void(uint32_t position, uint16_t link)>& store);

}  // namespace quillet::strings
