// String table of a compiled module.
#include "sim/lsc/string_pool.h"

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
  ByteWriter out(bytes_);
  out.PutU16(0xFFFF);
  out.PutU16(static_cast<uint16_t>(units.size()));
  for (char16_t u : units) out.PutU16(u);
  out.PutU16(0);
  if (bytes_.size() % 4 != 0) out.PutU16(0);
  const uint16_t handle = static_cast<uint16_t>(position + 4);
  handles_.emplace(text, handle);
  entries_.emplace_back(position, static_cast<uint16_t>(NameHash(units) % 7));
  return handle;
}

std::vector<uint16_t> StringPool::LinkChains() {
  std::vector<uint16_t> heads(7, 0xFFFF);
  std::vector<size_t> lastOf(7, SIZE_MAX);
  for (const auto& [position, bucket] : entries_) {
    if (lastOf[bucket] == SIZE_MAX) {
      heads[bucket] = static_cast<uint16_t>(position);
    } else {
      StoreU16(bytes_.data() + lastOf[bucket], static_cast<uint16_t>(position));
    }
    lastOf[bucket] = position;
  }
  for (size_t last : lastOf) {
    if (last != SIZE_MAX) StoreU16(bytes_.data() + last, 0xFFFF);
  }
  return heads;
}

}  // namespace quillet::lsc
