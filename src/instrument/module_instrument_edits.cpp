// Collecting procedure edits and installing them in one pass.
#include "instrument/module_instrument_edits.h"

#include <algorithm>
#include <cstdint>

namespace quillet {

void CodeEdits::Reset(std::span<const uint32_t> codeOffsets) {
  for (auto& [start, edit] : edits_) {
    edit.bytes.clear();
    spare_.push_back(std::move(edit.bytes));
  }
  edits_.clear();
  calls_.clear();
  offsets_.assign(codeOffsets.begin(), codeOffsets.end());
  std::sort(offsets_.begin(), offsets_.end());
  offsets_.erase(std::unique(offsets_.begin(), offsets_.end()), offsets_.end());
  tree_.assign(offsets_.size() + 1, 0);
}

size_t CodeEdits::Rank(uint32_t offset) const {
  return static_cast<size_t>(std::lower_bound(offsets_.begin(), offsets_.end(), offset) - offsets_.begin());
}

bool CodeEdits::Overlaps(uint32_t start, uint32_t oldLength) const {
  const uint64_t end = uint64_t{start} + std::max<uint32_t>(oldLength, 1);
  auto next = edits_.lower_bound(start);
  if (next != edits_.end() && next->first < end) return true;
  if (next == edits_.begin()) return false;
  const auto& [prevStart, prev] = *std::prev(next);
  return uint64_t{prevStart} + std::max<uint32_t>(prev.oldLength, 1) > start;
}

size_t CodeEdits::HeldBytes() const {
  size_t held = calls_.capacity() * sizeof(uint32_t);
  for (const auto& [start, edit] : edits_) held += edit.bytes.capacity();
  for (const auto& spare : spare_) held += spare.capacity();
  return held;
}

void CodeEdits::Add(uint32_t start, uint32_t oldLength, UninitVector<uint8_t>& bytes,
                    const EditInsertions& insertions) {
  const int64_t inserted = static_cast<int64_t>(bytes.size()) - oldLength;
  UninitVector<uint8_t> spare;
  if (!spare_.empty()) {
    spare = std::move(spare_.back());
    spare_.pop_back();
  }
  edits_.emplace(start, Edit{oldLength, std::move(bytes), calls_.size(), insertions.calls.size(), insertions.prefix,
                             insertions.callLength});
  bytes = std::move(spare);
  bytes.clear();
  calls_.insert(calls_.end(), insertions.calls.begin(), insertions.calls.end());
  for (size_t i = Rank(start) + 1; i < tree_.size(); i += i & (~i + 1)) tree_[i] += inserted;
}

int64_t CodeEdits::InsertedBefore(uint32_t offset) const {
  int64_t sum = 0;
  for (size_t i = Rank(offset); i > 0; i -= i & (~i + 1)) sum += tree_[i];
  return sum;
}

std::vector<uint8_t> CodeEdits::Apply(std::span<const uint8_t> code) const {
  size_t grown = code.size();
  for (const auto& [start, edit] : edits_) grown += edit.bytes.size() - edit.oldLength;
  std::vector<uint8_t> out;
  out.reserve(grown);
  size_t copied = 0;
  for (const auto& [start, edit] : edits_) {
    out.insert(out.end(), code.begin() + static_cast<ptrdiff_t>(copied), code.begin() + start);
    out.insert(out.end(), edit.bytes.begin(), edit.bytes.end());
    copied = size_t{start} + edit.oldLength;
  }
  out.insert(out.end(), code.begin() + static_cast<ptrdiff_t>(copied), code.end());
  return out;
}

uint32_t CodeEdits::Relocate(uint32_t offset) const {
  return static_cast<uint32_t>(offset + InsertedBefore(offset));
}

uint32_t CodeEdits::RelocateLabel(uint32_t position) const {
  auto next = edits_.upper_bound(position);
  if (next != edits_.begin()) {
    const auto& [start, edit] = *std::prev(next);
    const uint32_t within = position - start;
    if (within < std::max<uint32_t>(edit.oldLength, 1)) {
      const auto first = calls_.begin() + static_cast<ptrdiff_t>(edit.callsAt);
      const auto last = first + static_cast<ptrdiff_t>(edit.callsLength);
      const auto calls = static_cast<uint32_t>(std::lower_bound(first, last, within) - first);
      return Relocate(start) + edit.prefix + within + calls * edit.callLength;
    }
  }
  return Relocate(position);
}

std::optional<std::pair<uint32_t, uint32_t>> CodeEdits::RelocateRange(uint32_t start, uint32_t end) const {
  if (end <= start) return std::nullopt;
  auto next = edits_.lower_bound(start);
  if (next != edits_.begin()) {
    const auto& [prevStart, prev] = *std::prev(next);
    if (uint64_t{prevStart} + prev.oldLength > start) return std::nullopt;
  }
  int64_t grown = 0;
  if (next != edits_.end() && next->first == start) {
    const Edit& edit = next->second;
    if (edit.oldLength > end - start) return std::nullopt;
    grown = static_cast<int64_t>(edit.bytes.size()) - edit.oldLength;
    ++next;
  }
  if (next != edits_.end() && next->first < end) return std::nullopt;
  const uint32_t moved = Relocate(start);
  const int64_t movedEnd = int64_t{moved} + (end - start) + grown;
  if (movedEnd > UINT32_MAX) return std::nullopt;
  return std::make_pair(moved, static_cast<uint32_t>(movedEnd));
}

}  // namespace quillet
