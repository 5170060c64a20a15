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
//
// The settings reader asks for a key with the default text kAbsentMarker and
// takes that stored text as "no value"; so the value "NoKey" is stored with
// its first byte escaped ("&$4e;oKey"), which decodes to the same value.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The stored text that stands for "no value".
inline constexpr std::u16string_view kAbsentMarker = u"NoKey";

// A stored value never passes this many characters.
inline constexpr size_t kSettingValueLimit = 65534;

// The stored form of `value`, stopping before the first byte whose form would
// pass kSettingValueLimit characters.
std::u16string EncodeSettingValue(std::string_view value);

// The bytes a stored value stands for. `nativeBytes` tells whether any "&#"
// form was met (the bytes then still need translation to the host set).
std::string DecodeSettingValue(std::u16string_view stored, bool& nativeBytes);

}  // namespace quillet
