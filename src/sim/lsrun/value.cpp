// Value construction, copying with reference counts, and printed text.
#include "sim/lsrun/value.h"

#include <cmath>
#include <cstdio>

namespace quillet::lsrun {

SlotType SlotTypeOf(uint16_t typeWord) {
  switch (typeWord & ~type_word::kArrayFlag) {
    case type_word::kInteger: return SlotType::kInteger;
    case type_word::kLong: return SlotType::kLong;
    case type_word::kString: return SlotType::kString;
    case type_word::kDouble: return SlotType::kDouble;
    case type_word::kObject: return SlotType::kObject;
    default: return SlotType::kVariant;
  }
}

Value Value::Boolean(bool b) {
  Value v;
  v.type_ = Type::kBoolean;
  v.n_ = b ? -1 : 0;
  return v;
}

Value Value::Integer(int16_t i) {
  Value v;
  v.type_ = Type::kInteger;
  v.n_ = i;
  return v;
}

Value Value::Long(int32_t i) {
  Value v;
  v.type_ = Type::kLong;
  v.n_ = i;
  return v;
}

Value Value::Double(double d) {
  Value v;
  v.type_ = Type::kDouble;
  v.u_.d = d;
  return v;
}

Value Value::String(std::string text) {
  Value v;
  v.type_ = Type::kString;
  v.u_.block = new StrRep(std::move(text));
  v.u_.block->AddRef();
  return v;
}

Value Value::Object(Instance* instance) {
  Value v;
  v.type_ = Type::kObject;
  v.u_.block = instance;
  if (instance) instance->AddRef();
  return v;
}

Value Value::Array(ArrayRep* array) {
  Value v;
  v.type_ = Type::kArray;
  v.u_.block = array;
  array->AddRef();
  return v;
}

Value Value::Ref(Value* slot, SlotType type, Counted* holder) {
  Value v;
  v.type_ = Type::kRef;
  v.slot_ = type;
  v.u_.ref = slot;
  v.holder_ = holder;
  if (holder) holder->AddRef();
  return v;
}

Value Value::DefaultOf(SlotType type) {
  switch (type) {
    case SlotType::kInteger: return Integer(0);
    case SlotType::kLong: return Long(0);
    case SlotType::kDouble: return Double(0);
    case SlotType::kString: return String("");
    case SlotType::kObject: return Nothing();
    case SlotType::kVariant: break;
  }
  return Value();
}

const std::string& Value::text() const {
  static const std::string kEmpty;
  return type_ == Type::kString ? static_cast<StrRep*>(u_.block)->text : kEmpty;
}

Counted* Value::Block() const {
  switch (type_) {
    case Type::kString:
    case Type::kObject:
    case Type::kArray: return u_.block;
    default: return nullptr;
  }
}

void Value::Clear() {
  // Detach first: a release may run code that looks at this value again.
  Counted* block = Block();
  Counted* holder = holder_;
  type_ = Type::kEmpty;
  holder_ = nullptr;
  if (block) block->Release();
  if (holder) holder->Release();
}

void Value::CopyFrom(const Value& other) {
  type_ = other.type_;
  slot_ = other.slot_;
  n_ = other.n_;
  u_ = other.u_;
  holder_ = other.holder_;
  if (Counted* b = Block()) b->AddRef();
  if (holder_) holder_->AddRef();
}

void Value::MoveFrom(Value& other) noexcept {
  type_ = other.type_;
  slot_ = other.slot_;
  n_ = other.n_;
  u_ = other.u_;
  holder_ = other.holder_;
  other.type_ = Type::kEmpty;
  other.holder_ = nullptr;
}

bool FormatValue(const Value& v, std::string& text) {
  switch (v.type()) {
    case Value::Type::kEmpty: text.clear(); return true;
    case Value::Type::kBoolean: text = v.n() ? "True" : "False"; return true;
    case Value::Type::kInteger:
    case Value::Type::kLong: text = std::to_string(v.n()); return true;
    case Value::Type::kString: text = v.text(); return true;
    case Value::Type::kDouble: {
      // Fifteen significant digits; like the runtime, no zero before the
      // point of a fraction (".5", "-.25").
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15G", v.d());
      text = buf;
      if (text.rfind("0.", 0) == 0) text.erase(0, 1);
      if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
      return true;
    }
    case Value::Type::kRef:
      return v.ref() != nullptr && FormatValue(*v.ref(), text);
    case Value::Type::kObject:
    case Value::Type::kArray: return false;
  }
  return false;
}

}  // namespace quillet::lsrun
