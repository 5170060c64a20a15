// The timer entry points' event types.
#pragma once

#include <cstdint>

namespace quillet {

// The last fixed argument of a timer call.
inline constexpr int32_t kTimerProcedureEnter = 1;  // KVXFunctionTimer
inline constexpr int32_t kTimerProcedureExit = 2;   // KVXFunctionTimer
inline constexpr int32_t kTimerLine = 3;            // KVXLineTimer
inline constexpr int32_t kTimerRunEnd = 5;          // KVXFunctionTimer, server runs only

// A module key or note ID passed as two 16-bit halves in 32-bit slots.
constexpr uint32_t JoinHalves(uint32_t low, uint32_t high) { return ((high & 0xFFFF) << 16) | (low & 0xFFFF); }

}  // namespace quillet
