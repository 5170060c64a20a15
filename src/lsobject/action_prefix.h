// The 14 bytes in front of a module that is the body of an agent's script action.
//
//   | off | width | meaning                                               |
//   |   0 | u16   | 0x0281: action-header record (signature 0x81, len 2) |
//   |   2 | u16   | 0xFF85: signature of the script action record         |
//   |   4 | u16   | length of that record = image length - 2              |
//   |   6 | u32   | action flags, carried                                 |
//   |  10 | u32   | script length = image length - 14 (low word written,  |
//   |     |       | high word carried)                                    |
#pragma once

#include <array>
#include <cstdint>

namespace quillet {

struct ActionPrefix {
  static constexpr size_t kSize = 14;
  static constexpr uint16_t kMarker = 0x0281;
  static constexpr size_t kRecordLength = 4;
  static constexpr size_t kScriptLength = 10;

  std::array<uint8_t, kSize> bytes{};
};

}  // namespace quillet
