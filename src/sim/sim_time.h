// The simulated host's time values: TimeDate as (hundredths of a second since
// midnight GMT, Julian day number), and the controllable clock that issues them.
#pragma once

#include <cstdint>
#include <string>

#include "config/notes_api.h"

namespace quillet::sim {

//   innards[0]  hundredths of a second since midnight GMT (0 .. 8,639,999)
//   innards[1]  Julian day number (no zone or daylight-saving bits)
// With this layout AsU64() orders values chronologically.
inline constexpr uint64_t kTicksPerDay = 8'640'000;

// Hundredths of a second since the start of Julian day 0 <-> TimeDate.
TimeDate TimeFromTicks(uint64_t ticks);
uint64_t TicksFromTime(const TimeDate& time);

// The host's minimum time: before every value the clock issues.
inline constexpr TimeDate kMinimumTime{{0, 0}};

// "YYYY-MM-DD HH:MM:SS" (GMT), the simulator's text form of a time.
std::string FormatTime(const TimeDate& time);

// A clock that only moves forward. Every stamp is strictly later than the one
// before, so "modified since T" is exact. REQUIRES external locking.
class SimClock {
 public:
  // Starts at 2024-01-01 00:00:00 GMT.
  SimClock();
  TimeDate Now() const { return TimeFromTicks(ticks_); }
  // Moves the clock by one tick and returns the new time.
  TimeDate Stamp() { return TimeFromTicks(++ticks_); }
  void Advance(uint64_t hundredths) { ticks_ += hundredths; }

 private:
  uint64_t ticks_;
};

}  // namespace quillet::sim
