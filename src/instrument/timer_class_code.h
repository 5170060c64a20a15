// The code the instrumentation injects: the timer class's NEW and DELETE
// bodies, the entry code of a profiled procedure and the call before a line.
//
// Lengths (bytes):
//   | list                              | bytes |
//   |-----------------------------------|-------|
//   | NEW body                          | 75    |
//   | DELETE body                       | 25    |
//   | DELETE body with the end-of-run   | 63    |
//   | procedure entry                   | 27    |
//   | line call                         | 29    |
// Every piece starts with a synthetic line marker (line 0xFFFF).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "bytecode/opcode.h"

namespace quillet {

inline constexpr size_t kTimerMemberCount = 5;
inline constexpr int32_t kNewBodyLength = 75;
inline constexpr int32_t kDeleteBodyLength = 25;
inline constexpr int32_t kDeleteBodyWithEndLength = 63;
inline constexpr int32_t kEntryCodeLength = 27;
inline constexpr int32_t kLineCallLength = 29;

// Timer types passed as the last argument of the function timer.
namespace timer_type {
inline constexpr int16_t kEnter = 1;
inline constexpr int16_t kExit = 2;
inline constexpr int16_t kLine = 3;
inline constexpr int16_t kEndOfRun = 5;
}  // namespace timer_type

// Symbol handles of the injected class: its member variables and its NEW
// procedure's parameters, in the order of the timer arguments.
struct TimerClassHandles {
  std::array<uint16_t, kTimerMemberCount> members{};
  std::array<uint16_t, kTimerMemberCount> params{};
};

// The identity a timer call passes: module key, procedure handle, note ID.
struct TimerIdentity {
  uint32_t key = 0;
  uint16_t procedure = 0;
  uint32_t noteId = 0;
};

// Copies every member from the parameter in the same position, then calls
// the function timer with the members and type 1.
InstructionList BuildNewBody(const TimerClassHandles& handles, uint16_t functionTimer);

// Calls the function timer with type 2; with `endOfRun`, then calls it with
// type 5 when the instance's procedure ("dwFnId") is that procedure.
InstructionList BuildDeleteBody(const TimerClassHandles& handles, uint16_t functionTimer,
                                std::optional<uint16_t> endOfRun);

// The same bodies encoded, built without instruction lists.
std::vector<uint8_t> EncodeNewBody(const TimerClassHandles& handles, uint16_t functionTimer);
std::vector<uint8_t> EncodeDeleteBody(const TimerClassHandles& handles, uint16_t functionTimer,
                                      std::optional<uint16_t> endOfRun);

// Stores a new timer instance in the procedure's local `timerVariable`.
InstructionList BuildEntryCode(uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id);
// The same entry code encoded (kEntryCodeLength bytes), built without an
// instruction list.
std::vector<uint8_t> EncodeEntryCode(uint16_t timerVariable, uint16_t timerClass, const TimerIdentity& id);

// The encoded call of the line timer and where its line argument goes.
struct LineCall {
  std::vector<uint8_t> bytes;  // kLineCallLength bytes
  size_t argumentAt = 0;       // the s16 line argument's position in `bytes`

  void SetLine(uint16_t argument);
};

LineCall BuildLineCall(uint16_t lineTimer, const TimerIdentity& id);

}  // namespace quillet
