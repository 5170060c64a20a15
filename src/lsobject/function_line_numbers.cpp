// The key -> line map of the function line-number table.
#include "lsobject/code_tables.h"

namespace quillet {

namespace {
constexpr size_t kFirstPair = 4;
constexpr size_t kPairSize = 4;
}  // namespace

int32_t CFunctionLineNumbers::LookupLine(uint16_t key) const {
  if (data_.empty()) return kNoLine;
  if (!lines_) {
    std::unordered_map<uint16_t, int32_t> lines;
    for (size_t p = kFirstPair; p < data_.size() && kPairSize <= data_.size() - p; p += kPairSize) {
      lines[LoadU16(data_.data() + p)] = LoadU16(data_.data() + p + 2);
    }
    lines_ = std::move(lines);
  }
  const auto it = lines_->find(key);
  return it == lines_->end() ? kNoLine : it->second;
}

bool CFunctionLineNumbers::ReadRecord(std::span<const uint8_t> image, size_t position, ParseError& error) {
  lines_.reset();
  return CMultiSection::ReadRecord(image, position, error);
}

void CFunctionLineNumbers::Clear() {
  lines_.reset();
  CMultiSection::Clear();
}

}  // namespace quillet
