// The performance counter on Linux: CLOCK_MONOTONIC in nanoseconds.
#include <time.h>

#include "platform/platform.h"

namespace quillet::platform {

int64_t PerformanceCounter() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int64_t PerformanceFrequency() { return 1'000'000'000; }

}  // namespace quillet::platform
