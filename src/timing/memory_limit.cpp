// Reading the profile memory limit and the texts that say it was reached.
#include "timing/memory_limit.h"

#include "config/settings.h"

namespace quillet {

int32_t ReadMaxProfileMemoryMB() {
  const int32_t mb = ReadSettingInt(kMaxProfileMemorySetting);
  return mb > 0 ? mb : kDefaultMaxProfileMemoryMB;
}

std::string MemoryLimitConsoleLine(int32_t limitMB) {
  return "PROFILER: the profile data reached its memory limit of " + std::to_string(limitMB) +
         " MB (MaxProfileMemoryMB); further calls are not recorded.";
}

std::string DroppedCallsMessage(uint64_t dropped, int32_t limitMB) {
  return "Memory limit of " + std::to_string(limitMB) + " MB reached: " + std::to_string(dropped) +
         " calls were not recorded; their time counts in their callers' time.";
}

}  // namespace quillet
