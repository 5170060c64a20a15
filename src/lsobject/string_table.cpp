// Reading strings: offset validation, segment-aware walk and handle lookups.
#include "lsobject/string_table.h"

#include <cstdio>

#include "lsobject/module_errors.h"

namespace quillet {
namespace {

[[noreturn]] void ThrowBadOffset(uint32_t offset, const char* reason) {
  char message[96];
  std::snprintf(message, sizeof message, "Bad String Offset : %d - %s", static_cast<int>(offset), reason);
  throw CAssertionError(message);
}

}  // namespace

CStringTable::CStringTable() : text_(&HostModuleText()), offsetByText_(TextLess{&HostModuleText()}) {}

CStringTable::CStringTable(const CStringTable& other)
    : CMultiSection(other),
      extended_(other.extended_),
      text_(other.text_),
      offsetByText_(other.offsetByText_),
      textByOffset_(other.textByOffset_),
      mapsBuilt_(other.mapsBuilt_),
      mappedLength_(other.mappedLength_),
      handleByOffset_(other.handleByOffset_),
      indexedLength_(other.indexedLength_) {}

CStringTable& CStringTable::operator=(const CStringTable& other) {
  if (this == &other) return *this;
  CMultiSection::operator=(other);
  extended_ = other.extended_;
  text_ = other.text_;
  offsetByText_ = other.offsetByText_;
  textByOffset_ = other.textByOffset_;
  mapsBuilt_ = other.mapsBuilt_;
  mappedLength_ = other.mappedLength_;
  handleByOffset_ = other.handleByOffset_;
  indexedLength_ = other.indexedLength_;
  return *this;
}

void CStringTable::Clear() {
  CMultiSection::Clear();
  extended_.Clear();
  ClearMaps();
}

void CStringTable::ClearMaps() {
  offsetByText_.clear();
  textByOffset_.clear();
  mapsBuilt_ = false;
  mappedLength_ = 0;
  handleByOffset_.clear();
  indexedLength_ = SIZE_MAX;
}

void CStringTable::SetText(const ModuleText& text) {
  // The text map is ordered by the comparison, so it is rebuilt under the new one.
  text_ = &text;
  ClearMaps();
  offsetByText_ = std::map<std::string, uint32_t, TextLess>(TextLess{text_});
}

std::u16string CStringTable::GetStringAt(uint32_t offset) const {
  const uint64_t length = data_.size();
  if (offset <= 3 || offset % 4 != 0) ThrowBadOffset(offset, "Bad boundry");
  if (length < 2 || offset > length - 2) ThrowBadOffset(offset, "out of bounds");
  const uint16_t n = LoadU16(data_.data() + offset - 2);
  if (length < uint64_t{offset} + 2u * n + 2) ThrowBadOffset(offset, "Too short");
  if (LoadU16(data_.data() + offset + 2u * n) != 0) ThrowBadOffset(offset, "No NULL terminator");
  std::u16string units(n, u'\0');
  for (uint16_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(LoadU16(data_.data() + offset + 2u * i));
  return units;
}

std::string CStringTable::GetTextAt(uint32_t offset) const { return text_->ToHost(GetStringAt(offset)); }

int32_t CStringTable::ForEachString(const StringVisitor& visit) const {
  const std::vector<int32_t>& sizes = SegmentSizes();
  const uint64_t length = data_.size();
  uint64_t p = 0;
  size_t k = 0;
  int32_t count = 0;
  // Every step moves p forward by at least 4, so a corrupt table cannot loop.
  while (p + strings::kEntryHeaderSize <= length) {
    const uint16_t link = LoadU16(data_.data() + p);
    const uint16_t n = LoadU16(data_.data() + p + 2);
    std::string text;
    try {
      text = GetTextAt(static_cast<uint32_t>(p + strings::kEntryHeaderSize));
    } catch (const CAssertionError&) {
      break;
    }
    if (!visit(static_cast<uint32_t>(p), link, text)) break;
    ++count;
    p += strings::kEntryHeaderSize + 2u * n;
    p += (p + 2) % 4 == 0 ? 2 : 4;  // past the terminator to the next multiple of 4
    // A full segment sends the walk to the next 64 KiB boundary. The position
    // is measured from the segment's start, so a segment of exactly 64 KiB
    // is recognised too.
    const uint64_t segmentStart = uint64_t{k} * multi::kSegmentSpan;
    if (k < sizes.size() && p >= segmentStart && p - segmentStart >= static_cast<uint64_t>(std::max(sizes[k], 0))) {
      p = segmentStart + multi::kSegmentSpan;
      ++k;
    }
  }
  return count;
}

std::u16string CStringTable::GetString(uint16_t handle) const {
  if (handle == strings::kEmptyHandle) return {};
  return GetStringAt(Resolve(handle));
}

std::string CStringTable::GetText(uint16_t handle) {
  if (handle == strings::kEmptyHandle) return {};
  EnsureMaps();
  const auto found = textByOffset_.find(Resolve(handle));
  return found == textByOffset_.end() ? std::string() : found->second;
}

}  // namespace quillet
