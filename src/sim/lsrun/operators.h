// Conversions and operators of the simulated runtime. Each returns 0 or the
// runtime's error number (errors.h); the output is written only on success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/lsrun/value.h"

namespace quillet::lsrun {

[[nodiscard]] int ToDouble(const Value& v, double& out);
// Rounds half to even, as the runtime's integer conversions do.
[[nodiscard]] int ToLong(const Value& v, int32_t& out);
// Ten-thousandths, rounded; Overflow beyond the Currency range.
[[nodiscard]] int ToCurrency(const Value& v, int64_t& out);
// Like: "?" one character, "*" any run, "#" a digit, "[a-z]" / "[!a-z]" a
// character in / not in the list.
bool LikeMatch(std::string_view text, std::string_view pattern);
[[nodiscard]] int ToText(const Value& v, std::string& out);
// The value type a slot of `type` holds; kEmpty for a Variant.
constexpr Value::Type HeldType(SlotType type) {
  switch (type) {
    case SlotType::kInteger: return Value::Type::kInteger;
    case SlotType::kLong: return Value::Type::kLong;
    case SlotType::kDouble: return Value::Type::kDouble;
    case SlotType::kSingle: return Value::Type::kSingle;
    case SlotType::kCurrency: return Value::Type::kCurrency;
    case SlotType::kBoolean: return Value::Type::kBoolean;
    case SlotType::kByte: return Value::Type::kByte;
    case SlotType::kString: return Value::Type::kString;
    case SlotType::kObject: return Value::Type::kObject;
    // No value assigned to a Type's slot is a list: a Type's value always
    // takes the path that copies it.
    case SlotType::kRecord: return Value::Type::kList;
    case SlotType::kVariant: break;
  }
  return Value::Type::kEmpty;
}
// Convert for the values that need converting.
[[nodiscard]] int ConvertOther(const Value& v, SlotType type, Value& out);
// The value a slot of `type` holds after an assignment of `v`. A value of
// the slot's own type goes as it is (strings are immutable and shared):
// the common case, inline.
[[nodiscard]] inline int Convert(const Value& v, SlotType type, Value& out) {
  if (v.type() == HeldType(type)) return (out = v, 0);
  return ConvertOther(v, type, out);
}
// The truth of a condition: non-zero numbers are true.
[[nodiscard]] int Truth(const Value& v, bool& out);

// `opcode` is the binary operator's byte (168-198, both rows of arithmetic
// and comparison opcodes).
// A string longer than `maxString` bytes is "Out of string space".
[[nodiscard]] int Binary(int opcode, const Value& a, const Value& b, Value& out,
                         size_t maxString = kMaxStringLength);
[[nodiscard]] int Negate(const Value& v, Value& out);
[[nodiscard]] int Not(const Value& v, Value& out);

}  // namespace quillet::lsrun
