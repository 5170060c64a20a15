// Printable ASCII text: the characters 0x20..0x7E are one byte each, of their
// own value, in UTF-8 and in the host character set (LMBCS group 0), and one
// code unit of the same value in UTF-16, so such text converts without a
// round through the host. Control characters are left out: LMBCS spends some
// of those byte values on group prefixes.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

constexpr bool IsPrintableAscii(char32_t c) { return c >= 0x20 && c <= 0x7E; }

constexpr bool IsPrintableAscii(std::u16string_view units) {
  for (char16_t u : units)
    if (!IsPrintableAscii(u)) return false;
  return true;
}

constexpr bool IsPrintableAscii(std::string_view text) {
  for (char c : text)
    if (!IsPrintableAscii(static_cast<unsigned char>(c))) return false;
  return true;
}

// REQUIRES: IsPrintableAscii(units).
inline std::string NarrowAscii(std::u16string_view units) {
  std::string text(units.size(), '\0');
  for (size_t i = 0; i < units.size(); ++i) text[i] = static_cast<char>(units[i]);
  return text;
}

// REQUIRES: IsPrintableAscii(text).
inline std::u16string WidenAscii(std::string_view text) {
  std::u16string units(text.size(), u'\0');
  for (size_t i = 0; i < text.size(); ++i) units[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  return units;
}

}  // namespace quillet
