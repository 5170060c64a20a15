// Jump-target look-ups over an instruction list: linear one-offs and the
// offset index the marking uses.
#include <algorithm>
#include <cstdio>

#include "bytecode/marking.h"
#include "bytecode/module_errors.h"

namespace quillet {
namespace {

bool IsConditionalJump(const COpCode& instr) {
  const int code = instr.opcode();
  return code == op::kJZ || code == op::kJNZ;
}

int LinearFind(const InstructionList& list, int32_t target) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i]->offset == target) return static_cast<int>(i);
  }
  return -1;
}

[[noreturn]] void ThrowInvalidTarget(const InstructionList& list, int32_t target, bool fromIndexAt) {
  const unsigned limit = list.empty() ? 0u : static_cast<unsigned>(list.back()->offset);
  char text[160];
  if (fromIndexAt) {
    std::snprintf(text, sizeof text, "%s (%d): Invalid jump target : 0x%X (should be < 0x%X)\n",
                  kJumpTargetSource, kIndexAtLine, static_cast<unsigned>(target), limit);
  } else {
    std::snprintf(text, sizeof text, "%s(%d) - Invalid jump target : 0x%X (should be < 0x%X)\n",
                  kJumpTargetSource, kInstructionAtLine, static_cast<unsigned>(target), limit);
  }
  throw CIllegalArgumentException(text);
}

}  // namespace

COpCode& InstructionAt(const InstructionList& list, int32_t target) {
  const int i = LinearFind(list, target);
  if (i < 0) ThrowInvalidTarget(list, target, false);
  return *list[static_cast<size_t>(i)];
}

int IndexAt(const InstructionList& list, int32_t target) {
  const int i = LinearFind(list, target);
  if (i < 0) ThrowInvalidTarget(list, target, true);
  return i;
}

COpCode* NextConditionalJump(const InstructionList& list, int32_t offset) {
  const int at = LinearFind(list, offset);
  if (at < 0) return nullptr;
  for (size_t i = static_cast<size_t>(at) + 1; i < list.size(); ++i) {
    if (IsConditionalJump(*list[i])) return list[i].get();
  }
  return nullptr;
}

InstructionArrays InstructionArrays::Of(const InstructionList& list) {
  InstructionArrays arrays;
  arrays.offsets.reserve(list.size());
  arrays.opcodes.reserve(list.size());
  for (const auto& instr : list) arrays.Add(*instr);
  return arrays;
}

InstructionIndex::InstructionIndex(const InstructionList& list)
    : list_(list), owned_(InstructionArrays::Of(list)), arrays_(owned_) {
  Build();
}

InstructionIndex::InstructionIndex(const InstructionList& list, const InstructionArrays& arrays)
    : list_(list), arrays_(arrays) {
  Build();
}

void InstructionIndex::Build() {
  const std::vector<int32_t>& offsets = arrays_.offsets;
  const size_t n = arrays_.opcodes.size();
  // One backward walk finds each index's next conditional jump and whether
  // the offsets ever decrease.
  nextConditional_.assign(n, -1);
  int next = -1;
  for (size_t i = n; i-- > 0;) {
    nextConditional_[i] = next;
    const int code = arrays_.opcodes[i];
    if (code == op::kJZ || code == op::kJNZ) next = static_cast<int>(i);
    if (i > 0 && offsets[i] < offsets[i - 1]) inOrder_ = false;
  }
  // Decoded lists are already in offset order and are searched as they
  // stand; any other list gets pairs sorted by (offset, index), which keeps
  // the first of equal offsets first, as the linear search finds it.
  if (!inOrder_) {
    byOffset_.reserve(offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i) byOffset_.emplace_back(offsets[i], static_cast<int>(i));
    std::sort(byOffset_.begin(), byOffset_.end());
  }
}

int InstructionIndex::Find(int32_t target) const {
  if (inOrder_) {
    // The first of equal offsets, as the linear search finds it.
    const std::vector<int32_t>& offsets = arrays_.offsets;
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), target);
    return it != offsets.end() && *it == target ? static_cast<int>(it - offsets.begin()) : -1;
  }
  const auto it = std::lower_bound(byOffset_.begin(), byOffset_.end(), std::make_pair(target, -1));
  return it != byOffset_.end() && it->first == target ? it->second : -1;
}

int InstructionIndex::IndexAt(int32_t target) const {
  const int i = Find(target);
  if (i < 0) ThrowInvalidTarget(list_, target, true);
  return i;
}

COpCode& InstructionIndex::InstructionAt(int32_t target) const {
  const int i = Find(target);
  if (i < 0) ThrowInvalidTarget(list_, target, false);
  return *list_[static_cast<size_t>(i)];
}

int InstructionIndex::NextConditionalJumpAfter(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= nextConditional_.size()) return -1;
  return nextConditional_[static_cast<size_t>(index)];
}

}  // namespace quillet
