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
// The value a slot of `type` holds after an assignment of `v`.
[[nodiscard]] int Convert(const Value& v, SlotType type, Value& out);
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
