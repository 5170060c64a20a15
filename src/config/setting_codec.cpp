// Encoding of setting values for the settings file.
#include "config/setting_codec.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr size_t kEscapeLength = 5;  // "&$xx;"
// A single quote (0x27) is escaped too: the profile-file readers drop quotes
// enclosing a value, so "'quoted'" stored plain would read back bare.
constexpr uint8_t kFirstPlainByte = 0x28;
constexpr uint8_t kLastPlainByte = 0x7F;

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Matches "&" + marker + one or two hex digits + ";" at the start of `text`;
// returns the form's length (4 or 5) or 0.
size_t MatchEscape(std::u16string_view text, char16_t& marker, uint8_t& byte) {
  if (text.size() < 4 || text[0] != u'&' || (text[1] != u'$' && text[1] != u'#')) return 0;
  int high = HexDigit(text[2]);
  if (high < 0) return 0;
  int value = high;
  size_t at = 3;
  if (int low = HexDigit(text[3]); low >= 0) {
    value = value * 16 + low;
    at = 4;
  }
  if (at >= text.size() || text[at] != u';') return 0;
  marker = text[1];
  byte = static_cast<uint8_t>(value);
  return at + 1;
}

}  // namespace

std::u16string EncodeSettingValue(std::string_view value) {
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  // Stored plain, this value would read back as absent.
  const bool markerValue = std::equal(value.begin(), value.end(), kAbsentMarker.begin(), kAbsentMarker.end());
  std::u16string stored;
  for (char c : value) {
    const auto byte = static_cast<uint8_t>(c);
    const bool plain = byte >= kFirstPlainByte && byte <= kLastPlainByte && !(markerValue && stored.empty());
    const size_t length = plain ? 1 : kEscapeLength;
    if (stored.size() + length > kSettingValueLimit) break;
    if (plain) {
      stored += static_cast<char16_t>(byte);
    } else {
      stored += u"&$";
      stored += kHex[byte >> 4];
      stored += kHex[byte & 0x0F];
      stored += u';';
    }
  }
  return stored;
}

std::string DecodeSettingValue(std::u16string_view stored, bool& nativeBytes) {
  nativeBytes = false;
  std::string value;
  value.reserve(stored.size());
  while (!stored.empty()) {
    char16_t marker = 0;
    uint8_t byte = 0;
    if (size_t length = MatchEscape(stored, marker, byte); length > 0) {
      value += static_cast<char>(byte);
      if (marker == u'#') nativeBytes = true;
      stored.remove_prefix(length);
    } else {
      value += static_cast<char>(stored.front() & 0xFF);
      stored.remove_prefix(1);
    }
  }
  return value;
}

}  // namespace quillet
