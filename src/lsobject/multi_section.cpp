// Chunked reading and writing, growth and checksum of multi-record sections.
#include "lsobject/multi_section.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <string>

#include "lsobject/checksum.h"

namespace quillet {
namespace {

// A legitimately segmented section fills about half of every segment span
// at least (growth only starts a segment near 64 KiB), so its data never
// comes near four times the image holding it.
uint64_t MaxDataFor(size_t imageLength) { return 4ull * imageLength + multi::kSegmentSpan; }

}  // namespace

template <typename Visit>
void CMultiSection::ForEachSegment(Visit visit) const {
  const size_t length = data_.size();
  if (segmentSizes_.empty()) {
    if (length > 0) visit(size_t{0}, length);
    return;
  }
  const bool spread = segmentSizes_.size() > 1;
  for (size_t k = 0; k < segmentSizes_.size(); ++k) {
    const size_t start = spread ? k * multi::kSegmentSpan : 0;
    if (start >= length) break;
    const size_t size = static_cast<size_t>(std::max(segmentSizes_[k], 0));
    visit(start, std::min(size, length - start));
  }
}

bool CMultiSection::ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) {
  uint16_t type = 0;
  std::span<const uint8_t> body;
  if (!ReadRecordBody(image, position, type, body, error)) return false;
  const size_t offsetAt = position + record::kRecordHeaderSize;
  const auto refuse = [&](std::string_view why) {
    return error.Refuse(kModuleSubject, offsetAt, record::FieldName(type, "placement offset"), why);
  };
  if (body.size() < 4)
    return error.Refuse(kModuleSubject, position + 2, record::FieldName(type, "record length"),
                        std::to_string(body.size()) + " leaves no room for the placement offset");
  const uint32_t offset = LoadU32(body.data());
  const std::span<const uint8_t> bytes = body.subspan(4);
  const size_t n = bytes.size();
  const size_t length = data_.size();
  const size_t count = segmentSizes_.size();
  const bool continues = count > 0 && (!IsSegmented() || (offset >> 16) == count - 1);

  if (count == 0) {
    if (offset != 0) return refuse(std::to_string(offset) + " where the first chunk must start at 0");
  } else if (continues) {
    if (offset != length)
      return refuse(std::to_string(offset) + " does not continue the data at " + std::to_string(length));
    if (IsSegmented() && (offset & 0xFFFF) + n > multi::kSegmentSpan)
      return refuse(std::to_string(n) + " bytes at " + std::to_string(offset) + " overflow their segment");
  } else if (offset != count * multi::kSegmentSpan) {
    // Out of order, overlapping or skipping a segment.
    return refuse(std::to_string(offset) + " is not the start of segment " + std::to_string(count));
  }
  const uint64_t newLength = uint64_t{offset} + n;
  if (newLength > MaxDataFor(image.size()) ||
      newLength > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return refuse(std::to_string(newLength) + " bytes of data are more than the image can hold");

  if (continues)
    segmentSizes_.back() += static_cast<int32_t>(n);
  else
    segmentSizes_.push_back(static_cast<int32_t>(n));
  // Unsegmented data (the byte code) is never longer than the image behind
  // it: room for all of it once, rather than growing chunk by chunk.
  if (count == 0 && !IsSegmented()) data_.reserve(image.size() - position);
  if (offset >= length) {
    // Appended behind the zeros of a skipped segment's tail, not zero-filled
    // and then overwritten.
    data_.insert(data_.end(), offset - length, 0);
    data_.insert(data_.end(), bytes.begin(), bytes.end());
  } else {
    data_.resize(static_cast<size_t>(newLength), 0);
    std::copy(bytes.begin(), bytes.end(), data_.begin() + offset);
  }
  return true;
}

int32_t CMultiSection::Write(ByteWriter& out) const {
  size_t written = 0;
  ForEachSegment([&](size_t start, size_t size) {
    for (size_t p = start; p < start + size;) {
      const size_t c = std::min(static_cast<size_t>(multi::kMaxChunk), start + size - p);
      out.PutU16(Type());
      out.PutU16(static_cast<uint16_t>(c + 4));
      out.PutU32(static_cast<uint32_t>(p));
      out.PutBytes(Data().subspan(p, c));
      written += multi::kRecordHeaderSize + c;
      p += c;
    }
  });
  return static_cast<int32_t>(written);
}

int32_t CMultiSection::SegmentCount() const {
  int32_t count = 0;
  ForEachSegment([&](size_t, size_t) { ++count; });
  return count;
}

int32_t CMultiSection::TotalSize() const {
  int64_t total = 0;
  for (int32_t s : segmentSizes_) total += s;
  return static_cast<int32_t>(total);
}

void CMultiSection::Clear() {
  CSection::Clear();
  segmentSizes_.clear();
}

bool CMultiSection::SetData(std::span<const uint8_t> bytes) {
  const int64_t oldLength = static_cast<int64_t>(data_.size());
  const int64_t growth = static_cast<int64_t>(bytes.size()) - oldLength;
  const int64_t last = segmentSizes_.empty() ? 0 : segmentSizes_.back();
  if (growth < 0 && -growth > last) return false;

  if (!StartsSegment(growth)) {
    data_.assign(bytes.begin(), bytes.end());
    GrowLastSegment(growth);
    return true;
  }
  const size_t pad = multi::kSegmentSpan - static_cast<size_t>(last);
  std::vector<uint8_t> grown;
  grown.reserve(bytes.size() + pad);
  grown.insert(grown.end(), bytes.begin(), bytes.begin() + oldLength);
  grown.insert(grown.end(), pad, 0);
  grown.insert(grown.end(), bytes.begin() + oldLength, bytes.end());
  data_ = std::move(grown);
  segmentSizes_.push_back(static_cast<int32_t>(growth));
  return true;
}

bool CMultiSection::SetData(std::vector<uint8_t>&& bytes) {
  const int64_t growth = static_cast<int64_t>(bytes.size()) - static_cast<int64_t>(data_.size());
  if (StartsSegment(growth)) return SetData(std::span<const uint8_t>(bytes));
  const int64_t last = segmentSizes_.empty() ? 0 : segmentSizes_.back();
  if (growth < 0 && -growth > last) return false;
  data_ = std::move(bytes);
  GrowLastSegment(growth);
  return true;
}

bool CMultiSection::StartsSegment(int64_t growth) const {
  // Only real growth can start a segment; an empty section has none to close.
  if (!IsSegmented() || growth <= 0 || segmentSizes_.empty()) return false;
  return segmentSizes_.back() + growth >= multi::kSegmentLimit;
}

void CMultiSection::GrowLastSegment(int64_t growth) {
  if (segmentSizes_.empty()) {
    segmentSizes_.push_back(static_cast<int32_t>(growth));
  } else {
    segmentSizes_.back() = static_cast<int32_t>(segmentSizes_.back() + growth);
  }
}

void CMultiSection::AppendData(std::span<const uint8_t> bytes) {
  const int64_t growth = static_cast<int64_t>(bytes.size());
  const int64_t last = segmentSizes_.empty() ? 0 : segmentSizes_.back();
  if (!IsSegmented() || growth == 0 || segmentSizes_.empty() || last + growth < multi::kSegmentLimit) {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    if (segmentSizes_.empty())
      segmentSizes_.push_back(static_cast<int32_t>(growth));
    else
      segmentSizes_.back() = static_cast<int32_t>(last + growth);
    return;
  }
  data_.insert(data_.end(), multi::kSegmentSpan - static_cast<size_t>(last), 0);
  data_.insert(data_.end(), bytes.begin(), bytes.end());
  segmentSizes_.push_back(static_cast<int32_t>(growth));
}

int32_t CMultiSection::InsertBytes(int32_t position, std::span<const uint8_t> bytes) {
  const size_t length = data_.size();
  if (position < -1 || (position >= 0 && static_cast<size_t>(position) > length)) return -1;
  const size_t at = position < 0 ? length : static_cast<size_t>(position);
  if (at == length) {
    AppendData(bytes);  // the common case: no need to copy what is there
    return static_cast<int32_t>(bytes.size());
  }
  const auto growth = static_cast<int64_t>(bytes.size());
  // Bytes taken from the section itself would move under the insert.
  const std::less<const uint8_t*> before;
  const bool apart = !before(bytes.data(), data_.data() + length) || !before(data_.data(), bytes.data() + bytes.size());
  if (apart && !StartsSegment(growth)) {
    // In place: the tail moves up (a reallocation, when needed, copies once).
    data_.insert(data_.begin() + static_cast<ptrdiff_t>(at), bytes.begin(), bytes.end());
    GrowLastSegment(growth);
    return static_cast<int32_t>(bytes.size());
  }
  std::vector<uint8_t> changed;
  changed.reserve(length + bytes.size());
  changed.insert(changed.end(), data_.begin(), data_.begin() + at);
  changed.insert(changed.end(), bytes.begin(), bytes.end());
  changed.insert(changed.end(), data_.begin() + at, data_.end());
  if (!SetData(std::move(changed))) return -1;  // taken over, not copied again
  return static_cast<int32_t>(bytes.size());
}

int32_t CMultiSection::InsertCode(int32_t position, const InstructionList& instructions) {
  const std::vector<uint8_t> encoded = EncodeInstructions(instructions);
  return InsertBytes(position, encoded);
}

int32_t CMultiSection::WriteSegmentList(uint16_t type, ByteWriter& out) const {
  const size_t count = segmentSizes_.empty() ? 1 : segmentSizes_.size();
  out.PutU16(type);
  out.PutU16(static_cast<uint16_t>(4 + 4 * count));
  out.PutU32(0);
  if (segmentSizes_.empty())
    out.PutU32(static_cast<uint32_t>(data_.size()));
  else
    for (int32_t s : segmentSizes_) out.PutU32(static_cast<uint32_t>(s));
  return static_cast<int32_t>(multi::kRecordHeaderSize + 4 * count);
}

uint32_t CMultiSection::ChecksumSegments(uint32_t crc, size_t skip) const {
  bool first = true;
  ForEachSegment([&](size_t start, size_t size) {
    const size_t leave = first ? std::min(skip, size) : 0;
    first = false;
    crc = UpdateModuleCrc(crc, Data().subspan(start + leave, size - leave));
  });
  return crc;
}

}  // namespace quillet
