// Parsing of controller messages into commands.
#include "hook/controller_message.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "config/host_text.h"
#include "config/notes_api.h"

namespace quillet {
namespace {

bool IsCommand(std::string_view field, std::string_view word) {
  return HostCompare(field, word, kCompareNoCase) == 0;
}

}  // namespace

std::vector<std::string_view> SplitMessageFields(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < text.size()) {
    const size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(text.substr(start));
      break;
    }
    fields.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return fields;
}

int32_t ReadDecimal(std::string_view field) {
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || (field[i] >= '\t' && field[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  // Accumulate past the int32 range only as far as needed to clamp.
  constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (field[i] - '0'), kLimit);
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, kLimit - 1));
}

ControllerCommand ParseControllerMessage(std::span<const uint8_t> message) {
  const size_t limit = std::min<size_t>(message.size(), kControllerMessageMax);
  const auto* bytes = reinterpret_cast<const char*>(message.data());
  const void* zero = limit == 0 ? nullptr : std::memchr(bytes, 0, limit);
  const size_t length = zero == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(zero) - bytes);
  const std::vector<std::string_view> fields = SplitMessageFields(std::string_view(bytes, length));

  ControllerCommand command;
  if (fields.size() == 4 && IsCommand(fields[0], "ENABLE")) {
    command.kind = ControllerCommandKind::kEnable;
    command.on = ReadDecimal(fields[1]) == 1;
    command.clear = ReadDecimal(fields[2]) == 1;
    command.value = ReadDecimal(fields[3]);
  } else if (fields.size() == 2 && IsCommand(fields[0], "SETFILTER")) {
    command.kind = ControllerCommandKind::kSetFilter;
    command.path = fields[1];
  } else if (fields.size() == 3 && IsCommand(fields[0], "FINALIZERUN")) {
    command.kind = ControllerCommandKind::kFinalizeRun;
    command.path = fields[1];
  }
  return command;
}

}  // namespace quillet
