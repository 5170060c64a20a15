// String table of a compiled module.
#include "sim/lsc/string_pool.h"

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
  entries_.emplace_back(position, static_cast<uint16_t>(NameHash(units) % kStringChainCount));
  return handle;
}

std::vector<uint16_t> StringPool::LinkChains() {
  std::vector<uint16_t> heads(kStringChainCount, strings::kEndOfChain);
  std::vector<size_t> lastOf(kStringChainCount, SIZE_MAX);
  for (const auto& [position, bucket] : entries_) {
    if (lastOf[bucket] == SIZE_MAX) {
      heads[bucket] = static_cast<uint16_t>(position);
    } else {
      StoreU16(bytes_.data() + lastOf[bucket], static_cast<uint16_t>(position));
    }
    lastOf[bucket] = position;
  }
  for (size_t last : lastOf) {
    if (last != SIZE_MAX) StoreU16(bytes_.data() + last, strings::kEndOfChain);
  }
  return heads;
}

}  // namespace quillet::lsc
