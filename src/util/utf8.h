// UTF-8 to UTF-16, the one decoder: overlong forms, surrogates, values past
// U+10FFFF and truncated sequences are malformed; each malformed sequence
// consumes only its lead byte, so the bytes after it are still decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// What a byte that starts no well-formed sequence becomes.
enum class MalformedUtf8 : uint8_t {
  kReplacement,  // U+FFFD
  kByteValue,    // the character of the byte's value (Latin-1 reading)
};

namespace utf8_detail {

inline constexpr char32_t kMalformed = 0xFFFFFFFF;

// One sequence at `text[pos]`, advancing `pos`; kMalformed for a bad one.
constexpr char32_t Decode(std::string_view text, size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kMalformed;
  }
  if (length > text.size() - pos) {
    ++pos;
    return kMalformed;
  }
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kMalformed;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kMalformed;
  }
  pos += length;
  return value;
}

}  // namespace utf8_detail

inline std::u16string Utf8ToUtf16(std::string_view text, MalformedUtf8 rule) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    char32_t c = utf8_detail::Decode(text, pos);
    if (c == utf8_detail::kMalformed) {
      c = rule == MalformedUtf8::kReplacement ? char32_t{0xFFFD} : static_cast<unsigned char>(text[start]);
    }
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// The byte order mark some Windows editors put before UTF-8 text; it is no
// part of the text.
inline constexpr std::string_view kUtf8ByteOrderMark{"\xEF\xBB\xBF", 3};

constexpr std::string_view WithoutByteOrderMark(std::string_view text) {
  return text.starts_with(kUtf8ByteOrderMark) ? text.substr(kUtf8ByteOrderMark.size()) : text;
}

}  // namespace quillet
