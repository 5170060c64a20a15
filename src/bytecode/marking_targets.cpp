// Jump-target look-ups over an instruction list: linear one-offs and the
// offset index the marking uses.
#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "bytecode/marking.h"
#include "bytecode/module_errors.h"
#include "util/near_search.h"

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

// `limit`: the offset of the list's last instruction (0 for none).
[[noreturn]] void ThrowInvalidTarget(unsigned limit, int32_t target, bool fromIndexAt) {
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

unsigned LastOffset(const InstructionList& list) {
  return list.empty() ? 0u : static_cast<unsigned>(list.back()->offset);
}

unsigned LastOffset(const InstructionArrays& arrays) {
  return arrays.offsets.empty() ? 0u : static_cast<unsigned>(arrays.offsets.back());
}

}  // namespace

COpCode& InstructionAt(const InstructionList& list, int32_t target) {
  const int i = LinearFind(list, target);
  if (i < 0) ThrowInvalidTarget(LastOffset(list), target, false);
  return *list[static_cast<size_t>(i)];
}

int IndexAt(const InstructionList& list, int32_t target) {
  const int i = LinearFind(list, target);
  if (i < 0) ThrowInvalidTarget(LastOffset(list), target, true);
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
    : list_(&list), owned_(InstructionArrays::Of(list)), arrays_(owned_) {}

InstructionIndex::InstructionIndex(const InstructionList& list, const InstructionArrays& arrays)
    : list_(&list), arrays_(arrays) {}

InstructionIndex::InstructionIndex(const InstructionArrays& arrays) : list_(nullptr), arrays_(arrays) {}

void InstructionIndex::Build() const {
  // Built at the first look-up: a procedure without jumps is never looked up.
  if (built_) return;
  built_ = true;
  const std::vector<int32_t>& offsets = arrays_.offsets;
  for (size_t i = 1; i < offsets.size(); ++i) {
    if (offsets[i] < offsets[i - 1]) {
      inOrder_ = false;
      break;
    }
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

int InstructionIndex::Find(int32_t target, int near) const {
  Build();
  if (inOrder_) {
    // The first of equal offsets, as the linear search finds it.
    const std::vector<int32_t>& offsets = arrays_.offsets;
    const auto hint = near >= 0 && static_cast<size_t>(near) < offsets.size() ? offsets.begin() + near : offsets.begin();
    const auto it = LowerBoundNear(offsets.begin(), offsets.end(), hint, target);
    return it != offsets.end() && *it == target ? static_cast<int>(it - offsets.begin()) : -1;
  }
  const auto it = std::lower_bound(byOffset_.begin(), byOffset_.end(), std::make_pair(target, -1));
  return it != byOffset_.end() && it->first == target ? it->second : -1;
}

int InstructionIndex::IndexAt(int32_t target, int near) const {
  const int i = Find(target, near);
  if (i < 0) ThrowInvalidTarget(LastOffset(arrays_), target, true);
  return i;
}

int InstructionIndex::InstructionIndexAt(int32_t target, int near) const {
  const int i = Find(target, near);
  if (i < 0) ThrowInvalidTarget(LastOffset(arrays_), target, false);
  return i;
}

COpCode& InstructionIndex::InstructionAt(int32_t target) const {
  const int i = InstructionIndexAt(target);
  if (list_ == nullptr) throw std::logic_error("an index over arrays alone holds no instructions");
  return *(*list_)[static_cast<size_t>(i)];
}

int InstructionIndex::NextConditionalJumpAfter(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= arrays_.opcodes.size()) return -1;
  // Listed at the first question, apart from the offset look-ups' index.
  if (!conditionalsListed_) {
    conditionalsListed_ = true;
    for (size_t i = 0; i < arrays_.opcodes.size(); ++i) {
      const int code = arrays_.opcodes[i];
      if (code == op::kJZ || code == op::kJNZ) conditionals_.push_back(static_cast<int>(i));
    }
  }
  const auto next = std::upper_bound(conditionals_.begin(), conditionals_.end(), index);
  return next == conditionals_.end() ? -1 : *next;
}

}  // namespace quillet
