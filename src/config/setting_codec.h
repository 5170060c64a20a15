// How a setting's host-text value is stored in the UTF-16 settings file.
//
//   byte 0x28..0x7F     one character of that code
//   any other byte      "&$" + two lowercase hex digits + ";"  ("&$%02x;")
//                       (0x27 included: readers strip enclosing quotes)
//
// Reading also accepts "&#" + one or two hex digits + ";", a byte in the
// native code page: a value holding one is translated to the host set after
// decoding. Anything else, a lone "&" included, is taken character by
// character (the low byte of each).
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// A stored value never passes this many characters.
inline constexpr size_t kSettingValueLimit = 65534;

// The stored form of `value`, stopping before the first byte whose form would
// pass kSettingValueLimit characters.
std::u16string EncodeSettingValue(std::string_view value);

// The bytes a stored value stands for. `nativeBytes` tells whether any "&#"
// form was met (the bytes then still need translation to the host set).
std::string DecodeSettingValue(std::u16string_view stored, bool& nativeBytes);

}  // namespace quillet
