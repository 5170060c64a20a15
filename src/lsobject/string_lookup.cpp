// Finding and adding strings through the lookup maps; handles beyond 64 KiB.
#include <algorithm>
#include <cstdio>

#include "bytecode/module_errors.h"
#include "lsobject/string_table.h"
#include "util/ascii_text.h"

namespace quillet {
namespace {

// Indices 0..4 are where Find looks last, and index 3 would make the chain
// word (handle - 4) the end-of-chain mark, so new handles start above them.
constexpr uint32_t kLowIndices = 4;
constexpr uint32_t kMaxHandle = 0xFFFE;  // 0xFFFF is the empty string

}  // namespace

void CStringTable::EnsureMaps() {
  // A length the maps do not describe means the data was installed or
  // changed behind their back (restored copy, direct edit): start over.
  if (mapsBuilt_ && mappedLength_ == data_.size()) return;
  offsetByText_.clear();
  textByOffset_.clear();
  offsetByQuery_.clear();
  appended_.clear();
  mappedKeys_.reset();
  mappedUnkeyed_ = false;
  // Short names dominate: an entry of a few units takes about 16 bytes.
  textByOffset_.reserve(data_.size() / 16);
  StringCursor cursor;
  uint32_t position = 0;
  uint16_t link = 0;
  std::u16string units;
  while (NextString(cursor, position, link, units)) {
    const uint32_t offset = position + strings::kEntryHeaderSize;
    const auto stored = textByOffset_.emplace(offset, text_->ToHost(units)).first;
    offsetByText_.emplace(stored->second, offset);  // the first of equal texts wins
    NoteMappedKey(stored->second);
  }
  mapsBuilt_ = true;
  mappedLength_ = data_.size();
}

CStringTable::TextKey CStringTable::KeyOf(std::string_view text) const {
  TextKey key;
  key.keyed = text_->NoCaseKey(text, key.key);
  return key;
}

void CStringTable::NoteMappedKey(std::string_view text) {
  if (const TextKey key = KeyOf(text); key.keyed) {
    mappedKeys_.set(key.key % kKeyFilterBits);
  } else {
    mappedUnkeyed_ = true;
  }
}

bool CStringTable::MayBeMapped(const TextKey& key) const {
  return !key.keyed || mappedUnkeyed_ || mappedKeys_.test(key.key % kKeyFilterBits);
}

bool CStringTable::FindOffset(std::string_view text, const TextKey& key, uint32_t& offset) {
  EnsureMaps();
  if (const auto known = offsetByQuery_.find(text); known != offsetByQuery_.end()) {
    offset = known->second;
    return true;
  }
  if (const auto found = MayBeMapped(key) ? offsetByText_.find(text) : offsetByText_.end();
      found != offsetByText_.end()) {
    offset = found->second;
  } else {
    // The host compares only texts whose keys do not already tell them apart.
    const auto equal = std::find_if(appended_.begin(), appended_.end(), [&](const Appended& a) {
      if (key.keyed && a.key.keyed && a.key.key != key.key) return false;
      return text_->Compare(a.text, text, kCompareNoCase) == 0;
    });
    if (equal == appended_.end()) return false;
    offset = equal->offset;
  }
  offsetByQuery_.emplace(text, offset);
  return true;
}

const std::string* CStringTable::MappedText(uint32_t offset) const {
  if (const auto found = textByOffset_.find(offset); found != textByOffset_.end()) return &found->second;
  const auto at = std::lower_bound(appended_.begin(), appended_.end(), offset,
                                   [](const Appended& a, uint32_t o) { return a.offset < o; });
  return at != appended_.end() && at->offset == offset ? &at->text : nullptr;
}

void CStringTable::MergeAppended() {
  for (Appended& a : appended_) {
    const auto stored = textByOffset_.emplace(a.offset, std::move(a.text)).first;
    offsetByText_.emplace(stored->second, a.offset);  // an equal text mapped earlier wins
    NoteMappedKey(stored->second);
  }
  appended_.clear();
}

void CStringTable::EnsureExtendedIndex() const {
  if (indexedLength_ == extended_.Data().size()) return;
  handleByOffset_.clear();
  const uint32_t count = static_cast<uint32_t>(std::min<int32_t>(extended_.EntryCount(), kMaxHandle + 1));
  // Find's rule: the first index above 4 holding a value, else the last of 0..4.
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t value = extended_.Get(i);
    if (value <= strings::kMaxDirectOffset) continue;
    const auto [at, inserted] = handleByOffset_.emplace(value, static_cast<uint16_t>(i));
    if (!inserted && at->second <= kLowIndices) at->second = static_cast<uint16_t>(i);
  }
  indexedLength_ = extended_.Data().size();
}

bool CStringTable::HandleForOffset(uint32_t offset, uint16_t& handle) const {
  handle = 0;
  if (offset <= strings::kMaxDirectOffset) {
    handle = static_cast<uint16_t>(offset);
    return true;
  }
  EnsureExtendedIndex();
  const auto found = handleByOffset_.find(offset);
  if (found == handleByOffset_.end()) return false;
  handle = found->second;
  return true;
}

bool CStringTable::FindString(std::string_view text, uint16_t& handle) {
  handle = 0;
  uint32_t offset = 0;
  return FindOffset(text, KeyOf(text), offset) && HandleForOffset(offset, handle);
}

uint16_t CStringTable::EncodeHandle(uint32_t offset) {
  EnsureExtendedIndex();
  uint32_t h = extended_.Encode(offset);
  // An index that equals an existing string's offset would resolve to this
  // string instead of that one: it keeps meaning itself and the next is tried.
  while (h <= kMaxHandle && (h <= kLowIndices || MappedText(h) != nullptr)) {
    extended_.Set(h, h);
    h = extended_.Encode(offset);
  }
  // The index now describes the table again: the placeholders hold small
  // values, which it never lists, and the new entry is added here.
  indexedLength_ = extended_.Data().size();
  if (h > kMaxHandle) {
    extended_.Set(h, h);
    char message[80];
    std::snprintf(message, sizeof message, "Bad String Offset : %d - no handle left", static_cast<int>(offset));
    throw CAssertionError(message);
  }
  handleByOffset_[offset] = static_cast<uint16_t>(h);
  return static_cast<uint16_t>(h);
}

uint16_t CStringTable::FindOrAddString(std::string_view text) {
  const TextKey key = KeyOf(text);
  if (uint32_t found = 0; FindOffset(text, key, found)) {
    uint16_t handle = 0;
    if (HandleForOffset(found, handle)) return handle;
    // A string beyond 64 KiB that nothing referred to yet gets its handle now
    // rather than a duplicate.
    return EncodeHandle(found);
  }
  const uint32_t offset = AppendString(text, key);
  if (offset <= strings::kMaxDirectOffset) return static_cast<uint16_t>(offset);
  return EncodeHandle(offset);
}

uint32_t CStringTable::AppendString(std::string_view text) { return AppendString(text, KeyOf(text)); }

uint32_t CStringTable::AppendString(std::string_view text, const TextKey& key) {
  // Printable ASCII, where the text services keep it as itself, is widened
  // here: the same units and host text as a round through the services.
  const bool ascii = text_->KeepsPrintableAscii() && IsPrintableAscii(text);
  std::u16string units;
  if (!ascii) units = text_->ToUnicode(text);
  const size_t count = ascii ? text.size() : units.size();
  if (count > strings::kMaxUnits) {
    char message[80];
    std::snprintf(message, sizeof message, "Bad String Offset : %d - Too long", static_cast<int>(count));
    throw CAssertionError(message);
  }
  const bool mapsCurrent = mapsBuilt_ && mappedLength_ == data_.size();

  // Link, count, units, terminator, and one more zero word to end on a
  // multiple of 4 when needed.
  const size_t entrySize = strings::EntrySize(count);
  thread_local std::vector<uint8_t> entry;  // built here, then copied into the data
  entry.clear();
  if (ascii) {
    strings::AppendAsciiEntry(entry, text);
  } else {
    strings::AppendEntry(entry, units);
  }
  AppendData(entry);

  const uint32_t offset = static_cast<uint32_t>(data_.size() - entrySize + strings::kEntryHeaderSize);
  if (mapsCurrent) {
    // What a later walk would read.
    if (appended_.size() == kMaxAppended) MergeAppended();
    // Room for the whole list at once: a module gains its names one by one.
    if (appended_.capacity() < kMaxAppended) appended_.reserve(kMaxAppended);
    Appended& added = appended_.emplace_back(Appended{offset, ascii ? std::string(text) : text_->ToHost(units), key});
    // The host may read the text back otherwise than it was given.
    if (!ascii && added.text != text) added.key = KeyOf(added.text);
    mappedLength_ = data_.size();
  }
  return offset;
}

}  // namespace quillet
