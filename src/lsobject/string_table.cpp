// Reading strings: offset validation, segment-aware walk and handle lookups.
#include "lsobject/string_table.h"

#include <algorithm>
#include <cstdio>

#include "bytecode/module_errors.h"
#include "lsobject/name_hash.h"

namespace quillet {
namespace {

[[noreturn]] void ThrowBadOffset(uint32_t offset, const char* reason) {
  char message[96];
  std::snprintf(message, sizeof message, "Bad String Offset : %d - %s", static_cast<int>(offset), reason);
  throw CAssertionError(message);
}

}  // namespace

CStringTable::CStringTable() : text_(&PlainModuleText()), offsetByText_(TextLess{&PlainModuleText()}) {}

CStringTable::CStringTable(const CStringTable& other)
    : CMultiSection(other),
      extended_(other.extended_),
      text_(other.text_),
      offsetByText_(TextLess{other.text_}),
      mapsBuilt_(other.mapsBuilt_),
      mappedLength_(other.mappedLength_),
      handleByOffset_(other.handleByOffset_),
      indexedLength_(other.indexedLength_) {
  CopyMaps(other);
}

CStringTable::CStringTable(const CStringTable& other, WithoutMaps)
    : CMultiSection(other), extended_(other.extended_), text_(other.text_), offsetByText_(TextLess{other.text_}) {}

CStringTable& CStringTable::operator=(const CStringTable& other) {
  if (this == &other) return *this;
  CMultiSection::operator=(other);
  extended_ = other.extended_;
  text_ = other.text_;
  CopyMaps(other);
  mapsBuilt_ = other.mapsBuilt_;
  mappedLength_ = other.mappedLength_;
  handleByOffset_ = other.handleByOffset_;
  indexedLength_ = other.indexedLength_;
  return *this;
}

void CStringTable::CopyMaps(const CStringTable& other) {
  // The text map's keys must view this table's own texts.
  offsetByText_ = TextMap(TextLess{text_});
  textByOffset_ = other.textByOffset_;
  for (const auto& [text, offset] : other.offsetByText_) {
    const auto stored = textByOffset_.find(offset);
    if (stored != textByOffset_.end()) offsetByText_.emplace_hint(offsetByText_.end(), stored->second, offset);
  }
  offsetByQuery_ = other.offsetByQuery_;
  appended_ = other.appended_;
  mappedKeys_ = other.mappedKeys_;
  mappedUnkeyed_ = other.mappedUnkeyed_;
}

void CStringTable::Clear() {
  CMultiSection::Clear();
  extended_.Clear();
  ClearMaps();
}

void CStringTable::ClearMaps() {
  offsetByText_.clear();
  textByOffset_.clear();
  offsetByQuery_.clear();
  appended_.clear();
  mappedKeys_.reset();
  mappedUnkeyed_ = false;
  mapsBuilt_ = false;
  mappedLength_ = 0;
  handleByOffset_.clear();
  indexedLength_ = SIZE_MAX;
}

void CStringTable::SetText(const ModuleText& text) {
  // The text map is ordered by the comparison, so it is rebuilt under the new one.
  text_ = &text;
  ClearMaps();
  offsetByText_ = TextMap(TextLess{text_});
}

bool CStringTable::CheckString(uint32_t offset, uint16_t& n, const char*& fault) const {
  const uint64_t length = data_.size();
  fault = nullptr;
  n = 0;
  if (offset <= 3 || offset % 4 != 0) fault = "Bad boundry";
  else if (length < 2 || offset > length - 2) fault = "out of bounds";
  if (fault != nullptr) return false;
  n = LoadU16(data_.data() + offset - 2);
  if (length < uint64_t{offset} + 2u * n + 2) fault = "Too short";
  else if (LoadU16(data_.data() + offset + 2u * n) != 0) fault = "No NULL terminator";
  return fault == nullptr;
}

bool CStringTable::ReadUnits(uint32_t offset, std::u16string& units, const char*& fault) const {
  uint16_t n = 0;
  if (!CheckString(offset, n, fault)) return false;
  units.resize(n);
  for (uint16_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(LoadU16(data_.data() + offset + 2u * i));
  return true;
}

std::u16string CStringTable::GetStringAt(uint32_t offset) const {
  std::u16string units;
  const char* fault = nullptr;
  if (!ReadUnits(offset, units, fault)) ThrowBadOffset(offset, fault);
  return units;
}

std::string CStringTable::GetTextAt(uint32_t offset) const { return text_->ToHost(GetStringAt(offset)); }

bool CStringTable::NextEntry(StringCursor& cursor, uint32_t& position, uint16_t& count) const {
  const uint64_t p = cursor.position;
  if (p + strings::kEntryHeaderSize > data_.size()) return false;
  const char* fault = nullptr;
  if (!CheckString(static_cast<uint32_t>(p + strings::kEntryHeaderSize), count, fault)) return false;
  position = static_cast<uint32_t>(p);

  uint64_t next = p + strings::kEntryHeaderSize + 2u * count;
  next += (next + 2) % 4 == 0 ? 2 : 4;  // past the terminator to the next multiple of 4
  // A full segment sends the walk to the next 64 KiB boundary. The position
  // is measured from the segment's start, so a segment of exactly 64 KiB
  // is recognised too.
  const std::vector<int32_t>& sizes = SegmentSizes();
  const size_t k = cursor.segment;
  const uint64_t segmentStart = uint64_t{k} * multi::kSegmentSpan;
  if (k < sizes.size() && next >= segmentStart &&
      next - segmentStart >= static_cast<uint64_t>(std::max(sizes[k], 0))) {
    next = segmentStart + multi::kSegmentSpan;
    ++cursor.segment;
  }
  cursor.position = next;  // at least 4 past p, so a corrupt table cannot loop
  return true;
}

bool CStringTable::NextString(StringCursor& cursor, uint32_t& position, uint16_t& link,
                              std::u16string& units) const {
  uint16_t count = 0;
  if (!NextEntry(cursor, position, count)) return false;
  link = LoadU16(data_.data() + position);
  const uint8_t* at = data_.data() + position + strings::kEntryHeaderSize;
  units.resize(count);
  for (uint16_t i = 0; i < count; ++i) units[i] = static_cast<char16_t>(LoadU16(at + 2u * i));
  return true;
}

int32_t CStringTable::ForEachString(const StringVisitor& visit) const {
  StringCursor cursor;
  uint32_t position = 0;
  uint16_t link = 0;
  std::u16string units;
  int32_t count = 0;
  while (NextString(cursor, position, link, units)) {
    if (!visit(position, link, text_->ToHost(units))) break;
    ++count;
  }
  return count;
}

std::u16string CStringTable::GetString(uint16_t handle) const {
  if (handle == strings::kEmptyHandle) return {};
  return GetStringAt(Resolve(handle));
}

bool CStringTable::NameHashOf(uint16_t handle, uint16_t& hash) const {
  hash = 0;
  if (handle == strings::kEmptyHandle) return true;
  const uint32_t offset = Resolve(handle);
  uint16_t n = 0;
  const char* fault = nullptr;
  if (!CheckString(offset, n, fault)) return false;
  const uint8_t* units = data_.data() + offset;
  for (uint16_t i = 0; i < n; ++i) hash = NameHashStep(hash, LoadU16(units + 2u * i));
  return true;
}

std::string CStringTable::GetText(uint16_t handle) { return TextOf(handle); }

const std::string& CStringTable::TextOf(uint16_t handle) {
  static const std::string kNone;
  if (handle == strings::kEmptyHandle) return kNone;
  EnsureMaps();
  const std::string* text = MappedText(Resolve(handle));
  return text == nullptr ? kNone : *text;
}

std::string CStringTable::WalkedText(uint16_t handle) const {
  if (handle == strings::kEmptyHandle) return {};
  const uint32_t offset = Resolve(handle);
  StringCursor cursor;
  uint32_t position = 0;
  uint16_t link = 0;
  std::u16string units;
  // Entries lie in increasing order: once past the offset, none starts there.
  while (NextString(cursor, position, link, units)) {
    const uint64_t at = uint64_t{position} + strings::kEntryHeaderSize;
    if (at == offset) return text_->ToHost(units);
    if (at > offset) break;
  }
  return {};
}

}  // namespace quillet
