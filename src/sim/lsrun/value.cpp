// Value construction, copying with reference counts, and printed text.
#include "sim/lsrun/value.h"

#include <cmath>
#include <cstdio>

#include "sim/lsrun/dates.h"

namespace quillet::lsrun {

SlotType SlotTypeOf(uint16_t typeWord) {
  if ((typeWord & type_word::kRecordMask) == type_word::kRecordBase) return SlotType::kRecord;
  switch (typeWord & ~(type_word::kArrayFlag | type_word::kListFlag | type_word::kBoundsFlag)) {
    case type_word::kInteger: return SlotType::kInteger;
    case type_word::kLong: return SlotType::kLong;
    case type_word::kString: return SlotType::kString;
    case type_word::kDouble: return SlotType::kDouble;
    case type_word::kSingle: return SlotType::kSingle;
    case type_word::kCurrency: return SlotType::kCurrency;
    case type_word::kBoolean: return SlotType::kBoolean;
    case type_word::kByte: return SlotType::kByte;
    case type_word::kObject: return SlotType::kObject;
    default: return SlotType::kVariant;
  }
}

Value Value::Double(double d) {
  Value v;
  v.type_ = Type::kDouble;
  v.u_.d = d;
  return v;
}

Value Value::Single(double d) {
  Value v;
  v.type_ = Type::kSingle;
  v.u_.d = static_cast<double>(static_cast<float>(d));
  return v;
}

Value Value::Byte(uint8_t b) {
  Value v;
  v.type_ = Type::kByte;
  v.n_ = b;
  return v;
}

Value Value::Currency(int64_t tenThousandths) {
  Value v;
  v.type_ = Type::kCurrency;
  v.u_.c = tenThousandths;
  return v;
}

Value Value::Date(double serial) {
  Value v;
  v.type_ = Type::kDate;
  v.u_.d = serial;
  return v;
}

Value Value::Null() {
  Value v;
  v.n_ = kNullMark;
  return v;
}

Value Value::Missing() {
  Value v;
  v.n_ = kMissingMark;
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

Value Value::Holding(Type type, Counted* block) {
  Value v;
  v.type_ = type;
  v.u_.block = block;
  block->AddRef();
  return v;
}

Value Value::Array(ArrayRep* array) { return Holding(Type::kArray, array); }
Value Value::Record(RecordRep* record) { return Holding(Type::kRecord, record); }
Value Value::List(ListRep* list) { return Holding(Type::kList, list); }

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
    case SlotType::kSingle: return Single(0);
    case SlotType::kCurrency: return Currency(0);
    case SlotType::kBoolean: return Boolean(false);
    case SlotType::kByte: return Byte(0);
    case SlotType::kString: return String("");
    case SlotType::kObject: return Nothing();
    case SlotType::kVariant:
    case SlotType::kRecord: break;  // the machine makes a Type's value, knowing its members
  }
  return Value();
}

const std::string& Value::text() const {
  static const std::string kEmpty;
  return type_ == Type::kString ? static_cast<StrRep*>(u_.block)->text : kEmpty;
}

void Value::ClearCounted() {
  // Detach first: a release may run code that looks at this value again.
  Counted* block = Block();
  Counted* holder = holder_;
  type_ = Type::kEmpty;
  n_ = 0;
  holder_ = nullptr;
  if (block) block->Release();
  if (holder) holder->Release();
}

void Value::AddRefCounted() {
  if (Counted* b = Block()) b->AddRef();
  if (holder_) holder_->AddRef();
}

bool FormatValue(const Value& v, std::string& text) {
  switch (v.type()) {
    case Value::Type::kEmpty: text.clear(); return true;
    case Value::Type::kBoolean: text = v.n() ? "True" : "False"; return true;
    case Value::Type::kInteger:
    case Value::Type::kLong: text = std::to_string(v.n()); return true;
    case Value::Type::kString: text = v.text(); return true;
    case Value::Type::kByte: text = std::to_string(v.n()); return true;
    case Value::Type::kDouble:
    case Value::Type::kSingle: {
      // Fifteen (Single: seven) significant digits; like the runtime, no
      // zero before the point of a fraction (".5", "-.25").
      char buf[40];
      std::snprintf(buf, sizeof buf, v.type() == Value::Type::kDouble ? "%.15G" : "%.7G", v.d());
      text = buf;
      if (text.rfind("0.", 0) == 0) text.erase(0, 1);
      if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
      return true;
    }
    case Value::Type::kCurrency: text = CurrencyText(v.c()); return true;
    case Value::Type::kDate: text = DateText(v.d()); return true;
    case Value::Type::kRef:
      return v.ref() != nullptr && FormatValue(*v.ref(), text);
    case Value::Type::kObject:
    case Value::Type::kArray:
    case Value::Type::kList:
    case Value::Type::kRecord: return false;
  }
  return false;
}

}  // namespace quillet::lsrun
