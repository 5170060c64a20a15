// TimeDate encoding and the simulator clock.
#include "sim/sim_time.h"

#include <cstdio>

namespace quillet::sim {

namespace {
// Julian day number of 2024-01-01.
constexpr uint64_t kStartDay = 2460311;
}  // namespace

TimeDate TimeFromTicks(uint64_t ticks) {
  return TimeDate{{static_cast<uint32_t>(ticks % kTicksPerDay), static_cast<uint32_t>(ticks / kTicksPerDay)}};
}

uint64_t TicksFromTime(const TimeDate& time) {
  return static_cast<uint64_t>(time.innards[1]) * kTicksPerDay + time.innards[0];
}

std::string FormatTime(const TimeDate& time) {
  // Julian day number to the proleptic Gregorian calendar (Fliegel & Van Flandern).
  int64_t l = static_cast<int64_t>(time.innards[1]) + 68569;
  const int64_t n = 4 * l / 146097;
  l = l - (146097 * n + 3) / 4;
  const int64_t i = 4000 * (l + 1) / 1461001;
  l = l - 1461 * i / 4 + 31;
  const int64_t j = 80 * l / 2447;
  const int64_t day = l - 2447 * j / 80;
  l = j / 11;
  const int64_t month = j + 2 - 12 * l;
  const int64_t year = 100 * (n - 49) + i + l;
  const uint32_t seconds = time.innards[0] / 100;
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02u:%02u:%02u", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

SimClock::SimClock() : ticks_(kStartDay * kTicksPerDay) {}

}  // namespace quillet::sim
