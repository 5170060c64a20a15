// String table of a compiled module.
#include "sim/lsc/string_pool.h"

#include "util/bytes.h"

namespace quillet::lsc {

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t b = static_cast<uint8_t>(text[i]);
    int extra = -1;
    uint32_t cp = 0;
    if (b < 0x80) {
      extra = 0, cp = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, cp = b & 0x07;
    }
    bool ok = extra >= 0 && static_cast<size_t>(extra) < text.size() - i;
    for (int k = 1; ok && k <= extra; ++k) {
      const uint8_t c = static_cast<uint8_t>(text[i + k]);
      ok = (c & 0xC0) == 0x80;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
               (cp >= 0xD800 && cp <= 0xDFFF))) {
      ok = false;  // overlong forms and surrogates are not characters
    }
    if (!ok) {
      out.push_back(static_cast<char16_t>(b));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
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
