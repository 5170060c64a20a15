// Elements and ReDim of arrays of several dimensions.
#include <vector>

#include "sim/lsrun/arrays.h"
#include "sim/lsrun/errors.h"
#include "sim/lsrun/machine.h"
#include "sim/lsrun/operators.h"

namespace quillet::lsrun {

// (array or its reference, subscript 1 ... subscript n): the element's value
// (OpLoadElemFromExpr) or a reference to it (OpElem).
Status Machine::ElementOfDims(const Insn& in, int& error) {
  const size_t n = static_cast<size_t>(in.a);
  const size_t first = stack_.size() - n;
  const Value& array = stack_[first - 1];
  const Value* held = array.type() == Value::Type::kRef ? array.ref() : &array;
  if (held->type() == Value::Type::kRef) held = held->ref();  // a Variant parameter passed by reference
  ArrayRep* rep = held->array();
  size_t at = 0;
  if (rep == nullptr) {
    error = err::kTypeMismatch;  // a list has one subscript, its tag
  } else {
    error = ElementPosition(*rep, &stack_[first], n, at);
  }
  Value result;
  if (error == 0) {
    Value& item = rep->items[at];
    result = in.op == op::kLoadElemFromExpr ? item : Value::Ref(&item, rep->element, rep);
  }
  stack_.resize(first - 1);
  if (error == 0) stack_.push_back(std::move(result));
  return Status::kOk;
}

// ReDim [Preserve] (reference, lower 1, upper 1, ... lower n, upper n).
Status Machine::RedimDims(Frame& f, const Insn& in, int& error) {
  const size_t n = static_cast<size_t>(in.a);
  if (n > kMaxArrayDims) return Fatal("ReDim of more dimensions than an array has");
  if (!Need(f, 2 * n + 1)) return Fatal("stack underflow");
  const size_t first = stack_.size() - 2 * n;
  std::vector<ArrayBound> bounds(n);
  int64_t total = 1;
  for (size_t d = 0; d < n && error == 0; ++d) {
    int32_t upper = 0;
    if ((error = ToLong(stack_[first + 2 * d], bounds[d].lower)) != 0) break;
    if ((error = ToLong(stack_[first + 2 * d + 1], upper)) != 0) break;
    const int64_t count = int64_t{upper} - bounds[d].lower + 1;
    total *= count < 0 ? 0 : count;
    if (count < 1 || total > kMaxArrayElements) error = err::kSubscriptOutOfRange;
    bounds[d].count = static_cast<int32_t>(count);
  }
  Value ref = std::move(stack_[first - 1]);
  stack_.resize(first - 1);
  if (error != 0) return Status::kOk;
  if (ref.type() != Value::Type::kRef) return Fatal("ReDim of something that is not a variable");
  Value* slot = ref.ref();
  if (slot->type() == Value::Type::kRef) slot = slot->ref();  // a parameter passed by reference
  auto* rep = new ArrayRep(std::move(bounds), in.type);
  rep->dynamic = true;
  Value fresh = Value::Array(rep);
  rep->record = in.b;
  if (ArrayRep* old = slot->array(); in.op == op::kRedimPreserve && old != nullptr) {
    if ((error = PreserveInto(*old, *rep)) != 0) return Status::kOk;
  }
  FillRecords(*rep);
  *slot = std::move(fresh);
  return Status::kOk;
}

}  // namespace quillet::lsrun
