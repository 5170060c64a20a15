// String table of a compiled module.
#include "sim/lsc/string_pool.h"

#include "lsobject/string_chains.h"
#include "lsobject/string_table.h"
#include "util/bytes.h"
#include "util/utf8.h"

namespace quillet::lsc {

std::u16string Utf8ToUtf16(const std::string& text) {
  return quillet::Utf8ToUtf16(text, MalformedUtf8::kByteValue);
}

uint16_t StringPool::FindOrAdd(const std::string& text) {
  if (auto it = handles_.find(text); it != handles_.end()) return it->second;
  const std::u16string units = Utf8ToUtf16(text);
  const size_t position = bytes_.size();
  strings::AppendEntry(bytes_, units);
  const uint16_t handle = static_cast<uint16_t>(position + strings::kEntryHeaderSize);
  handles_.emplace(text, handle);
  // Handles are plain offsets here: a link word is the entry's position.
  entries_.push_back({static_cast<uint32_t>(position), static_cast<uint16_t>(position), NameHash(units)});
  return handle;
}

std::vector<uint16_t> StringPool::LinkChains() {
  const strings::ChainHeads heads = strings::LinkChains(entries_, [&](uint32_t position, uint16_t link) {
    StoreU16(bytes_.data() + position, link);
  });
  return std::vector<uint16_t>(heads.begin(), heads.end());
}

}  // namespace quillet::lsc
