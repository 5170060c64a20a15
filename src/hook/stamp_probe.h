// The presence probe: a stamp-notes call that asks whether the hook is loaded.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

// A stamp-notes call whose item name is exactly this text is a probe.
inline constexpr std::string_view kProbeItemName = "$QUILLET_MESSAGE";
// Written into the probe's data block when its first word is non-zero.
inline constexpr uint32_t kProbeAnswer = 68369;  // 0x10B11

// Probe data block, little-endian:
//   offset | width | meaning
//   0      | u32   | question (non-zero asks for the answer)
//   4      | u32   | answer: kProbeAnswer, or 0 when the question is 0
inline constexpr uint32_t kProbeQuestionOffset = 0;
inline constexpr uint32_t kProbeAnswerOffset = 4;
// A shorter block is neither read nor written.
inline constexpr uint16_t kProbeBlockSize = 8;

}  // namespace quillet
