// Validation and re-encoding of operation streams. Jumps are kept as old
// targets while the stream is re-emitted and patched once every operation's
// new place is known; the map from old to new places is filled in order, so
// each look-up is a binary search.
#include "formula/operation_stream.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "formula/formula_operations.h"
#include "formula/formula_status.h"
#include "util/bytes.h"

namespace quillet {
namespace {

// The place a jump offset field reaches: offsets are 16-bit and wrap.
uint16_t JumpTarget(size_t origin, uint16_t offset) { return static_cast<uint16_t>(origin + offset); }

// The jump fields of the operation at `pos`: (field position, origin of its offset).
struct JumpField {
  size_t field = 0;
  size_t origin = 0;
};
size_t JumpFields(const FormulaOperation& operation, size_t pos, JumpField (&fields)[2]) {
  if (operation.op == kOpJump) {
    fields[0] = {pos + 2, pos};
    return 1;
  }
  if (operation.op == kOpTwoWayJump) {
    fields[0] = {pos + 2, pos};
    fields[1] = {pos + kTwoWaySecondOrigin, pos + kTwoWaySecondOrigin};
    return 2;
  }
  return 0;
}

}  // namespace

Status32 ValidateOperationStream(std::span<const uint8_t> stream) {
  std::vector<uint16_t> starts;   // every operation's offset, ascending
  std::vector<uint16_t> targets;  // every jump's target
  int sum = 0;
  size_t pos = 0;
  while (pos < stream.size()) {
    FormulaOperation operation;
    if (Status32 status = DescribeOperation(stream, pos, operation)) return status;
    sum += operation.stackEffect;
    if (sum <= 0) return kErrFormulaStackUnderflow;
    starts.push_back(static_cast<uint16_t>(pos));
    JumpField fields[2];
    for (size_t i = 0, n = JumpFields(operation, pos, fields); i < n; ++i) {
      targets.push_back(JumpTarget(fields[i].origin, LoadU16(stream.data() + fields[i].field)));
    }
    pos += operation.size;
  }
  if (sum > 1) return kErrFormulaStackOverflow;
  if (sum < 1) return kErrFormulaStackUnderflow;  // an empty stream leaves nothing
  starts.push_back(static_cast<uint16_t>(stream.size()));
  for (uint16_t target : targets) {
    if (!std::ranges::binary_search(starts, target)) return kErrBadFormulaExpression;
  }
  return kNoError;
}

Status32 ReencodeOperationStream(std::span<const uint8_t> stream, const RewriteArgs& args, RecordBuffer& out) {
  struct Patch {
    size_t field;      // in `out`
    size_t newOrigin;  // relative to the new stream
    uint16_t oldTarget;
  };
  const size_t base = out.length();
  std::vector<std::pair<uint16_t, uint16_t>> moved;  // old offset -> new offset, ascending
  std::vector<Patch> patches;
  size_t pos = 0;
  while (pos < stream.size()) {
    FormulaOperation operation;
    if (Status32 status = DescribeOperation(stream, pos, operation)) return status;
    const size_t at = out.length();
    const size_t newPos = at - base;
    moved.emplace_back(static_cast<uint16_t>(pos), static_cast<uint16_t>(newPos));
    const std::span<const uint8_t> bytes = stream.subspan(pos, operation.size);
    if (operation.op == kOpString || operation.op == kOpName) {
      const auto text = bytes.subspan(kTextOperationHeader, LoadU16(bytes.data() + 2));
      size_t length = text.size();
      if (Status32 status = out.Append(bytes.first(kTextOperationHeader))) return status;
      // Names are always copied: no rewrite flag selects them.
      Status32 status = operation.op == kOpString ? EmitPiece(PieceKind::Text, text, args, out, length)
                                                  : out.Append(text);
      if (status != kNoError) return status;
      if (length > 0xFFFF) return kErrBadFormulaExpression;
      out.PutU16(at + 2, static_cast<uint16_t>(length));
      if (Status32 status = out.PadEven(at)) return status;
    } else {
      if (Status32 status = out.Append(bytes)) return status;
      JumpField fields[2];
      for (size_t i = 0, n = JumpFields(operation, pos, fields); i < n; ++i) {
        const uint16_t target = JumpTarget(fields[i].origin, LoadU16(stream.data() + fields[i].field));
        patches.push_back(Patch{at + (fields[i].field - pos), newPos + (fields[i].origin - pos), target});
      }
    }
    pos += operation.size;
  }
  moved.emplace_back(static_cast<uint16_t>(stream.size()), static_cast<uint16_t>(out.length() - base));
  for (const Patch& patch : patches) {
    auto found = std::ranges::lower_bound(moved, patch.oldTarget, {}, &std::pair<uint16_t, uint16_t>::first);
    if (found == moved.end() || found->first != patch.oldTarget) return kErrBadFormulaExpression;
    out.PutU16(patch.field, static_cast<uint16_t>(found->second - patch.newOrigin));
  }
  return kNoError;
}

}  // namespace quillet
