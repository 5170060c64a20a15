// SkipNext against DecodeNext: over every opcode byte, operand bytes of many
// kinds and every truncation, both accept and refuse the same instructions
// and leave the cursor at the same place on the same line.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bytecode/decoder.h"

namespace quillet {
namespace {

using Bytes = std::vector<uint8_t>;

struct Outcome {
  bool ok = false;
  int32_t position = 0;
  int32_t line = 0;
  bool operator==(const Outcome&) const = default;
};

Outcome Decoded(const Bytes& code) {
  DecodeCursor cursor{code, 0, 7};
  try {
    (void)DecodeNext(cursor);
  } catch (...) {
    return {false, 0, 7};
  }
  return {true, cursor.position, cursor.currentLine};
}

Outcome Skipped(const Bytes& code) {
  DecodeCursor cursor{code, 0, 7};
  if (!SkipNext(cursor)) {
    EXPECT_EQ(cursor.position, 0) << "a refusal leaves the cursor where it was";
    return {false, 0, cursor.currentLine};
  }
  return {true, cursor.position, cursor.currentLine};
}

// Operand bytes: zeros, ones, a counted list, built-in numbers inside and
// outside the known ranges, and pseudo-random bytes.
std::vector<Bytes> OperandPatterns() {
  std::vector<Bytes> patterns = {Bytes(12, 0x00), Bytes(12, 0xFF), {3, 0, 1, 0, 2, 0, 3, 0, 0, 0, 0, 0},
                                 {0x31, 0, 0x31, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
  for (int builtin : {0, 37, 38, 90, 91, 94, 96, 112, 124, 131, 140, 163, 174, 175})
    patterns.push_back({static_cast<uint8_t>(builtin), 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  uint32_t seed = 12345;
  for (int n = 0; n < 24; ++n) {
    Bytes random(12);
    for (uint8_t& b : random) {
      seed = seed * 1103515245u + 12345u;
      b = static_cast<uint8_t>(seed >> 16);
    }
    patterns.push_back(random);
  }
  return patterns;
}

TEST(SkipNext, AgreesWithDecodeNextOnEveryOpcodeAndTruncation) {
  size_t accepted = 0;
  size_t refused = 0;
  for (int op = 0; op < 256; ++op) {
    for (const Bytes& operands : OperandPatterns()) {
      for (size_t length = 0; length <= operands.size(); ++length) {
        Bytes code{static_cast<uint8_t>(op)};
        code.insert(code.end(), operands.begin(), operands.begin() + static_cast<std::ptrdiff_t>(length));
        const Outcome expected = Decoded(code);
        ASSERT_EQ(Skipped(code), expected) << "opcode " << op << ", " << length << " operand bytes";
        ++(expected.ok ? accepted : refused);
      }
    }
  }
  EXPECT_GT(accepted, 0u);
  EXPECT_GT(refused, 0u);
}

TEST(SkipNext, PositionsOutsideTheCodeAreRefused) {
  const Bytes code{0x00};
  for (int32_t at : {-1, 1, 5}) {
    DecodeCursor cursor{code, at, 3};
    EXPECT_FALSE(SkipNext(cursor)) << at;
    EXPECT_EQ(cursor.position, at);
  }
}

}  // namespace
}  // namespace quillet
