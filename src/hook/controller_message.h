// Controller messages: the text commands that the controlling application
// sends through the client's message queue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr std::string_view kControllerQueueName = "MQ$BCPROFILER_Q";
// A message is at most this many bytes; the queue scan uses a buffer this size.
inline constexpr uint16_t kControllerMessageMax = 4095;

// Message forms (fields separated by ","; the command word ignores case):
//   fields | form                              | command
//   4      | "ENABLE",on,clear,value           | kEnable (on/clear: the field reads 1)
//   2      | "SETFILTER",database path         | kSetFilter
//   3      | "FINALIZERUN",report path,number  | kFinalizeRun (the number is not used)
// Anything else is kIgnored.
enum class ControllerCommandKind { kIgnored, kEnable, kSetFilter, kFinalizeRun };

struct ControllerCommand {
  ControllerCommandKind kind = ControllerCommandKind::kIgnored;
  bool on = false;
  bool clear = false;
  int32_t value = 0;
  std::string path;  // SETFILTER: database to watch; FINALIZERUN: report path
};

// Splits at ","; a trailing "," adds no field, so "" has no fields.
std::vector<std::string_view> SplitMessageFields(std::string_view text);

// Reads a decimal integer the way the C runtime does: leading blanks, an
// optional sign, then digits; no digits reads 0. Values beyond int32 clamp.
int32_t ReadDecimal(std::string_view field);

// Parses one queue message. The text ends at its first zero byte or after
// kControllerMessageMax bytes, whichever comes first.
ControllerCommand ParseControllerMessage(std::span<const uint8_t> message);

}  // namespace quillet
