// The record buffer: bounded growth, appends that either complete or change
// nothing, and fixed structures written in their on-disk form.
#include "design/record_buffer.h"

#include <algorithm>
#include <cassert>

#include "design/design_messages.h"
#include "design/structures.h"
#include "util/bytes.h"

namespace quillet {

RecordBuffer::RecordBuffer(uint16_t initial, uint16_t growthStep, uint16_t maximum)
    : data_(std::make_unique_for_overwrite<uint8_t[]>(initial)),
      capacity_(initial),
      growthStep_(growthStep),
      maximum_(std::max(initial, maximum)) {}

Status32 RecordBuffer::Reserve(size_t n) {
  if (n <= capacity_) return kNoError;
  if (growthStep_ == 0 || n > maximum_) return kErrOutOfMemory;
  size_t grown = capacity_;
  while (grown < n) grown = std::min<size_t>(grown + growthStep_, maximum_);
  auto bigger = std::make_unique_for_overwrite<uint8_t[]>(grown);
  std::copy_n(data_.get(), length_, bigger.get());
  data_ = std::move(bigger);
  capacity_ = static_cast<uint16_t>(grown);
  return kNoError;
}

Status32 RecordBuffer::Append(std::span<const uint8_t> bytes) {
  if (Status32 status = Reserve(length_ + bytes.size())) return status;
  std::copy(bytes.begin(), bytes.end(), data_.get() + length_);
  length_ = static_cast<uint16_t>(length_ + bytes.size());
  return kNoError;
}

Status32 RecordBuffer::AppendZeros(size_t n) {
  if (Status32 status = Reserve(length_ + n)) return status;
  std::fill_n(data_.get() + length_, n, uint8_t{0});
  length_ = static_cast<uint16_t>(length_ + n);
  return kNoError;
}

Status32 RecordBuffer::AppendStruct(uint16_t code, std::span<const uint8_t> structure) {
  return PutStruct(length_, code, structure);
}

Status32 RecordBuffer::PutStruct(size_t position, uint16_t code, std::span<const uint8_t> structure) {
  assert(position <= length_);
  if (position > length_) return kErrOutOfMemory;
  StructureSizes sizes;
  if (Status32 status = StructureSize(code, sizes)) return status;
  if (Status32 status = Reserve(position + sizes.onDisk)) return status;
  std::span<uint8_t> target(data_.get() + position, sizes.onDisk);
  if (Status32 status = StructureToDisk(code, structure, target)) return status;
  length_ = static_cast<uint16_t>(std::max<size_t>(length_, position + sizes.onDisk));
  return kNoError;
}

Status32 RecordBuffer::PadEven(size_t start) {
  if (start > length_ || (length_ - start) % 2 == 0) return kNoError;
  return AppendZeros(1);
}

void RecordBuffer::PutU16(size_t at, uint16_t value) {
  assert(at <= length_ && length_ - at >= 2);
  if (at > length_ || length_ - at < 2) return;
  StoreU16(data_.get() + at, value);
}

void RecordBuffer::PutU32(size_t at, uint32_t value) {
  assert(at <= length_ && length_ - at >= 4);
  if (at > length_ || length_ - at < 4) return;
  StoreU32(data_.get() + at, value);
}

void RecordBuffer::Truncate(size_t n) {
  if (n < length_) length_ = static_cast<uint16_t>(n);
}

}  // namespace quillet
