// Profiling a module the way the library does it in the Notes client: the
// library started as the client process in a simulated host, switched on by
// controller messages, the module rewritten into the current profile context
// and run, the report written by "FINALIZERUN".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet::tool {

// The database the session watches; the module is taken to come from it.
inline constexpr const char* kProfiledDatabase = "quillet/profiled.nsf";
// Time every procedure and every line.
inline constexpr int32_t kDefaultProfileFlags = 0x0003;

struct ProfileRunOptions {
  std::string entry;       // as RunOptions::entry
  int32_t flags = kDefaultProfileFlags;  // the "ENABLE" value
  std::string reportPath;  // where "FINALIZERUN" writes the report
  std::string title;       // the module's title in the report
};

struct ProfileRunResult {
  bool reportWritten = false;
  bool runOk = false;
  std::string output;  // what the module printed
  std::string error;   // why the session or the run failed
};

// Never throws. The report is written whenever the module could be
// instrumented, even when the run itself fails.
ProfileRunResult ProfileModule(std::span<const uint8_t> image, const ProfileRunOptions& options) noexcept;

}  // namespace quillet::tool
