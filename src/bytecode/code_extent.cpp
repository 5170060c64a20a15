// Procedure code extents by decoding, and the procedures whose code overlaps.
#include "bytecode/code_extent.h"

#include <algorithm>
#include <map>

#include "bytecode/decoder.h"
#include "bytecode/opcode_numbers.h"
#include "bytecode/opcodes.h"

namespace quillet {

std::optional<uint32_t> ProcedureCodeEnd(std::span<const uint8_t> code, uint32_t start) noexcept {
  if (start >= code.size() || code.size() > INT32_MAX) return std::nullopt;
  const int32_t endSub = WalkProcedure(code, static_cast<int32_t>(start), 0, nullptr);  // appends nothing
  if (endSub < 0) return std::nullopt;  // code that does not decode, or runs out
  return static_cast<uint32_t>(endSub) + 1;
}

std::optional<uint32_t> CodeWalks::Walk(std::span<const uint8_t> code, uint32_t start) {
  if (const auto found = walked_.find(start); found != walked_.end()) return found->second.end;
  Walked w;
  w.first = lengths_.size();
  if (start < code.size() && code.size() <= INT32_MAX) {
    const int32_t endSub = WalkProcedure(code, static_cast<int32_t>(start), 0, nullptr, &lengths_);
    if (endSub >= 0) w.end = static_cast<uint32_t>(endSub) + 1;
  }
  if (!w.end) lengths_.resize(w.first);  // nothing kept of code that does not decode
  w.count = lengths_.size() - w.first;
  walked_.emplace(start, w);
  return w.end;
}

std::span<const uint8_t> CodeWalks::Lengths(uint32_t start) const {
  const auto found = walked_.find(start);
  if (found == walked_.end()) return {};
  return std::span<const uint8_t>(lengths_).subspan(found->second.first, found->second.count);
}

bool DecodesAsInsertableCode(std::span<const uint8_t> bytes) noexcept {
  if (bytes.size() > INT32_MAX) return false;
  const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
  DecodeCursor cursor{bytes, 0, 0};
  while (static_cast<size_t>(cursor.position) < bytes.size()) {
    const int32_t at = cursor.position;
    if (opcodeOf[bytes[static_cast<size_t>(at)]] == op::kEndSub || !SkipNext(cursor)) return false;
  }
  return true;
}

std::vector<bool> OverlappingCode(std::span<const uint8_t> code, std::span<const uint32_t> starts,
                                  const std::map<uint32_t, uint32_t>& known) {
  // Each distinct start once, in ascending order, with where its code ends.
  std::map<uint32_t, uint32_t> endOf;
  for (uint32_t start : starts) {
    if (endOf.contains(start)) continue;
    const auto found = known.find(start);
    endOf[start] = found != known.end() ? found->second : ProcedureCodeEnd(code, start).value_or(start);
  }
  // A start below the furthest end reached so far lies inside earlier code:
  // it and the procedure owning that end overlap.
  std::map<uint32_t, bool> overlaps;
  uint32_t furthestEnd = 0;
  uint32_t furthestOwner = 0;
  for (const auto& [start, end] : endOf) {
    if (start < furthestEnd) {
      overlaps[start] = true;
      overlaps[furthestOwner] = true;
    }
    if (end > furthestEnd) {
      furthestEnd = end;
      furthestOwner = start;
    }
  }
  std::vector<bool> result;
  result.reserve(starts.size());
  for (uint32_t start : starts) result.push_back(overlaps.contains(start));
  return result;
}

}  // namespace quillet
