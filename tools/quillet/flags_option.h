// Reading the hexadecimal instrumentation flags of --flags.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

namespace quillet::tool {

// "3", "0x83", "FFFF": hexadecimal, with or without "0x", at most 0xFFFF.
// False for anything else.
[[nodiscard]] inline bool ParseHexFlags(const std::string& text, int32_t& flags) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
  if (digits.empty() || digits.size() > 4) return false;
  int32_t value = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return false;
    value = value * 16 + d;
  }
  flags = value;
  return true;
}

// The check of a --flags option: a value ParseHexFlags refuses is a usage
// error, found while the command line is read.
inline CLI::Validator HexFlagsCheck() {
  return CLI::Validator(
      [](std::string& text) {
        int32_t flags = 0;
        return ParseHexFlags(text, flags) ? std::string()
                                          : "takes a hexadecimal value up to FFFF, not \"" + text + "\"";
      },
      "HEX");
}

}  // namespace quillet::tool
