// Format(number, pattern): the named number formats and digit patterns, with
// literal text around the digits and up to three sections.
#pragma once

#include <string>
#include <string_view>

namespace quillet::lsrun {

// `pattern` is a named format (General Number, Fixed, Standard, Percent) or
// digit placeholders (`0` a digit always shown, `#` one shown when needed,
// `.` the point, `,` thousands groups, `%` times 100) with literal text
// before and after them (`$`, `(`, a quoted "text", `\` and one character).
// Sections split by `;` are for positive, negative and zero values; the
// negative section shows no minus sign of its own, and an empty section
// falls back to the first.
std::string FormatNumber(double v, std::string_view pattern);

}  // namespace quillet::lsrun
