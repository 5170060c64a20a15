// Test kit: a procedure's instruction list built by hand, the way the compiler
// lays out a construct. Offsets follow each instruction's byte length; jumps
// name their target by the index it will have.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "bytecode/opcodes.h"

namespace quillet::testkit {

class Shape {
 public:
  // Appends an instruction and answers it.
  template <class T, class... Args>
  T& Add(Args... args) {
    auto instr = std::make_unique<T>(args...);
    T& ref = *instr;
    list_.push_back(std::move(instr));
    return ref;
  }

  // Appends a jump to the instruction that will be at index `target`.
  template <class T>
  T& Jump(size_t target) {
    T& jump = Add<T>();
    targets_.push_back({&jump, [this, target] { return list_.at(target)->offset; }});
    return jump;
  }

  // Appends a jump to the absolute byte offset `target`.
  template <class T>
  T& JumpTo(int32_t target) {
    T& jump = Add<T>();
    targets_.push_back({&jump, [target] { return target; }});
    return jump;
  }

  // Lays the instructions out from `start` and points every jump at its target.
  InstructionList& Finish(int32_t start = 0) {
    int32_t at = start;
    for (auto& instr : list_) {
      instr->offset = at;
      at += 1 + OperandLength(LookupOpcode(instr->opcode()).layout);
    }
    for (auto& [jump, target] : targets_) SetTarget(*jump, target());
    return list_;
  }

  InstructionList& list() { return list_; }
  COpCode& operator[](size_t i) { return *list_.at(i); }

 private:
  static void SetTarget(COpCode& jump, int32_t target) {
    bool ok = false;
    if (auto* j = dynamic_cast<OpJmp*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpJZ*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpJNZ*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpNext*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpFor*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpForAll*>(&jump)) ok = j->setTarget(target);
    if (auto* j = dynamic_cast<OpNextForAll*>(&jump)) ok = j->setTarget(target);
    if (!ok) throw std::logic_error("shape jump out of reach or not a jump");
  }

  InstructionList list_;
  std::vector<std::pair<COpCode*, std::function<int32_t()>>> targets_;
};

// A label look-up for procedures without labels.
inline bool NoLabels(int32_t) { return false; }

}  // namespace quillet::testkit
