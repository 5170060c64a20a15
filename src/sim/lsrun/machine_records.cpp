// Starting values of declared slots, and the values of user-defined Types:
// a Type's variable, member or array element holds its own record from the
// start, as a scalar holds its zero.
#include <vector>

#include "sim/lsrun/machine.h"

namespace quillet::lsrun {
namespace {

// Types nest deeper than this only in a module that declares a Type within
// itself, which the compiler refuses.
constexpr int kMaxRecordNesting = 64;

}  // namespace

Value Machine::SlotDefault(const VariableInfo& v) {
  if (v.isList) return Value::List(new ListRep(v.type));
  if (v.isArray) {
    // An array without elements is dynamic.
    ArrayRep* rep = v.bounds.empty() ? new ArrayRep(v.lower, v.count, v.type) : new ArrayRep(v.bounds, v.type);
    rep->dynamic = v.bounds.empty() && v.count == 0;
    rep->record = v.record;
    Value array = Value::Array(rep);
    FillRecords(*rep);
    return array;
  }
  if (v.type == SlotType::kRecord) return NewRecord(v.record);
  return Value::DefaultOf(v.type);
}

void Machine::AddDefaults(const std::vector<VariableInfo>& vars, std::vector<Value>& defaults,
                          std::vector<FreshSlot>& fresh) {
  for (const VariableInfo& v : vars) {
    const size_t slot = v.slot / 4u;
    if (slot >= defaults.size()) continue;
    std::erase_if(fresh, [slot](const FreshSlot& f) { return f.slot == slot; });
    if (v.isList || v.isArray || v.type == SlotType::kRecord) {
      defaults[slot] = Value();
      fresh.push_back({slot, &v});
    } else {
      defaults[slot] = Value::DefaultOf(v.type);
    }
  }
}

void Machine::PrepareDefaults(Procedure& proc) {
  proc.localDefaults.assign(proc.info.frameSlots, Value());
  AddDefaults(proc.info.locals, proc.localDefaults, proc.freshLocals);
  if (proc.info.returnsValue) proc.resultDefault = Value::DefaultOf(proc.info.resultType);
  proc.lean = IsLean(proc);
}

Value Machine::NewRecord(int32_t index, int depth) {
  if (index < 0 || static_cast<size_t>(index) >= recordTypes_.size() || depth > kMaxRecordNesting) return Value();
  const ClassInfo& cls = *recordTypes_[static_cast<size_t>(index)];
  auto* rep = new RecordRep(static_cast<uint16_t>(index), cls.slots);
  Value record = Value::Record(rep);
  for (const VariableInfo& m : cls.members) {
    if (m.slot / 4u >= rep->members.size()) continue;
    rep->members[m.slot / 4u] = m.type == SlotType::kRecord ? NewRecord(m.record, depth + 1) : Value::DefaultOf(m.type);
  }
  return record;
}

void Machine::FillRecords(ArrayRep& rep) {
  if (rep.element != SlotType::kRecord) return;
  for (Value& item : rep.items) {
    if (item.record() == nullptr) item = NewRecord(rep.record);
  }
}

}  // namespace quillet::lsrun
