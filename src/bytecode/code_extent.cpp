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
  const std::array<int16_t, 256>& opcodeOf = DecodedOpcodes();
  DecodeCursor cursor{code, static_cast<int32_t>(start), 0};
  for (;;) {
    const int32_t at = cursor.position;
    if (!SkipNext(cursor)) return std::nullopt;  // code that does not decode, or runs out
    if (opcodeOf[code[static_cast<size_t>(at)]] == op::kEndSub) return static_cast<uint32_t>(cursor.position);
  }
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
