// The text rules of profile files shared by both platform layers.
#include "platform/profile_text.h"

#include <string>

#include "platform/platform.h"

namespace quillet::platform::profile_text {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f\x1a";

bool FitsOnOneLine(std::u16string_view text) {
  return text.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string_view::npos;
}

}  // namespace

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool EntryFits(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (!FitsOnOneLine(section) || !FitsOnOneLine(key) || !FitsOnOneLine(value)) return false;
  const std::string sectionText = Utf16ToUtf8(section);
  const std::string keyText = Utf16ToUtf8(key);
  const std::string_view sectionName = Trim(sectionText);
  const std::string_view keyName = Trim(keyText);
  return sectionName.find(']') == std::string_view::npos && !keyName.empty() &&
         keyName.find('=') == std::string_view::npos && !keyName.starts_with('[');
}

}  // namespace quillet::platform::profile_text
