// Item rules of configuration documents.
#include "config/config_entry.h"

#include <cmath>
#include <limits>

#include "config/host_text.h"
#include "config/quillet_config.h"
#include "util/bytes.h"

namespace quillet {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Eight hex digits at the start of `text` as one word.
std::optional<uint32_t> HexWord(std::string_view text) {
  uint32_t value = 0;
  for (char c : text.substr(0, 8)) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace

std::optional<uint32_t> ParseHexNoteId(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty() || text.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return value;
}

std::optional<Unid> ParseUnidText(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() < 32) return std::nullopt;
  // Text group g holds the word at position kWordOfGroup[g].
  constexpr size_t kWordOfGroup[4] = {1, 0, 3, 2};
  Unid unid;
  for (size_t group = 0; group < 4; ++group) {
    const std::optional<uint32_t> word = HexWord(text.substr(group * 8, 8));
    if (!word) return std::nullopt;
    StoreU32(unid.bytes + kWordOfGroup[group] * 4, *word);
  }
  return unid;
}

int32_t RunCountFrom(std::optional<double> number) {
  if (!number || std::isnan(*number)) return 1;
  const double truncated = std::trunc(*number);
  if (truncated >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (truncated <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(truncated);
}

int32_t ProfileFlagsFrom(std::string_view text) {
  if (HostCompare(text, "ENTRY", kCompareNoCase) == 0) return kProfileFlagsEntry;
  if (HostCompare(text, "FUNC_LINE", kCompareNoCase) == 0) return kProfileFlagsFuncLine;
  if (HostCompare(text, "FUNC", kCompareNoCase) == 0) return kProfileFlagsFunc;
  return kProfileFlagsFuncLine;
}

bool EnabledFrom(std::string_view text) { return HostCompare(text, "1", kCompareNoCase) == 0; }

}  // namespace quillet
