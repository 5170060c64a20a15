// Text for the terminal: printf-style appending without a length limit, and
// control bytes shown by value.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quillet::tool {

template <typename... Args>
void Append(std::string& out, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(n) + 1);
  std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, format, args...);
  out.resize(at + static_cast<size_t>(n));
}

// `text` with each control character written as \xNN, so that bytes taken
// from an input never reach a terminal raw.
inline std::string EscapeControlBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillet::tool
