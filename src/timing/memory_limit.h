// The bound on the memory a profile context's call records may take.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// The setting, in MiB; absent, zero or negative means the default.
inline constexpr const char* kMaxProfileMemorySetting = "MaxProfileMemoryMB";
inline constexpr int32_t kDefaultMaxProfileMemoryMB = 1024;

// The limit in MiB from the settings store.
int32_t ReadMaxProfileMemoryMB();
// `mb` MiB in bytes.
constexpr uint64_t MegabytesToBytes(int32_t mb) { return static_cast<uint64_t>(mb) << 20; }

// The console line written once when a context first drops a call.
std::string MemoryLimitConsoleLine(int32_t limitMB);
// The report message that counts the dropped calls.
std::string DroppedCallsMessage(uint64_t dropped, int32_t limitMB);

}  // namespace quillet
