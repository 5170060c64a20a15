// Profile (INI) files on Linux with the reading and writing rules of the
// Windows profile API.
//
// On Linux a profile file is UTF-8 (an optional UTF-8 byte-order mark is kept);
// the API's UTF-16 names and values are converted at this boundary. Lines end
// in "\n" or "\r\n"; a rewrite keeps every line it does not change byte for
// byte and uses the file's first line ending for lines it adds.
//
//   [Section]          section names and keys compare trimmed, ignoring case
//   key = value        the first '=' splits; blanks around key and value go
//   other text         (blank lines, comments) is never a key, but is kept
#include <mutex>
#include <vector>

#include "platform/linux/linux_files.h"
#include "platform/platform.h"
#include "platform/profile_text.h"
#include "util/utf8.h"

namespace quillet::platform {

namespace {

using profile_text::Trim;

// Simple case folding to upper case: ASCII, Latin-1, basic Greek and Cyrillic.
char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded = Utf8ToUtf16(Trim(Utf16ToUtf8(name)));
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

bool SameName(std::string_view utf8Name, const std::u16string& folded) {
  return FoldName(Utf8ToUtf16(utf8Name)) == folded;
}

enum class LineKind { kOther, kSection, kKey };

// One line of the file as offsets into its text: [begin, end) is the line
// without its terminator, `next` is where the following line starts.
struct Line {
  size_t begin = 0;
  size_t end = 0;
  size_t next = 0;
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section name or key, trimmed
  std::string_view value;  // key lines: the value, trimmed
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = text.size() - WithoutByteOrderMark(text).size();
  while (pos < text.size()) {
    Line line;
    line.begin = pos;
    const size_t newline = text.find('\n', pos);
    line.next = newline == std::string_view::npos ? text.size() : newline + 1;
    line.end = newline == std::string_view::npos ? text.size() : newline;
    if (line.end > line.begin && text[line.end - 1] == '\r') --line.end;
    const std::string_view content = Trim(text.substr(line.begin, line.end - line.begin));
    if (content.starts_with('[')) {
      const size_t close = content.find(']');
      if (close != std::string_view::npos) {
        line.kind = LineKind::kSection;
        line.name = Trim(content.substr(1, close - 1));
      }
    } else if (const size_t equals = content.find('='); equals != std::string_view::npos) {
      line.kind = LineKind::kKey;
      line.name = Trim(content.substr(0, equals));
      line.value = Trim(content.substr(equals + 1));
    }
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

// Where a key is, or would go, in the first section of the given name.
struct Location {
  std::optional<size_t> section;   // index of the section's header line
  std::optional<size_t> key;       // index of the key's line
  size_t lastContent = 0;          // last non-blank line of the section
};

Location Locate(std::string_view text, const std::vector<Line>& lines, std::u16string_view section,
                std::u16string_view key) {
  const std::u16string wantedSection = FoldName(section);
  const std::u16string wantedKey = FoldName(key);
  Location where;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (line.kind == LineKind::kSection) {
      if (where.section) break;  // the section ended before the key was met
      if (SameName(line.name, wantedSection)) where.section = where.lastContent = i;
      continue;
    }
    if (!where.section) continue;
    if (!Trim(text.substr(line.begin, line.end - line.begin)).empty()) where.lastContent = i;
    if (line.kind == LineKind::kKey && SameName(line.name, wantedKey)) {
      where.key = i;
      break;
    }
  }
  return where;
}

// A value enclosed in matching double or single quotes is read without them.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, size_t bufferSize,
                                       std::u16string_view file) {
  std::u16string result;
  const std::optional<std::string> text = linux_files::ReadWholeFile(linux_files::NativePath(file));
  std::optional<size_t> keyLine;
  std::vector<Line> lines;
  if (text) {
    lines = SplitLines(*text);
    keyLine = Locate(*text, lines, section, key).key;
  }
  if (keyLine) {
    result = Utf8ToUtf16(Unquote(lines[*keyLine].value));
  } else {
    // The default loses its trailing spaces, as the Windows API strips them.
    result = defaultValue;
    while (!result.empty() && result.back() == u' ') result.pop_back();
  }
  if (bufferSize == 0) return {};
  if (result.size() > bufferSize - 1) result.resize(bufferSize - 1);
  return result;
}

// Reads the value as text, then: leading blanks, an optional sign and the
// leading decimal digits, with 32-bit wrap-around; no digits read as 0. An
// absent or empty value yields the default.
int32_t GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue,
                             std::u16string_view file) {
  const std::u16string text = GetPrivateProfileString(section, key, u"", 30, file);
  if (text.empty()) return defaultValue;
  size_t pos = 0;
  while (pos < text.size() && text[pos] <= u' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'-' || text[pos] == u'+')) negative = text[pos++] == u'-';
  uint32_t value = 0;
  for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
    value = value * 10 + static_cast<uint32_t>(text[pos] - u'0');
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

// Replaces the key's line in place, or adds the key after the last non-blank
// line of its section, or appends the section at the end of the file. Names
// or values that would break the line structure are refused, rather than
// written into a file that then reads back differently.
bool WritePrivateProfileString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view value, std::u16string_view file) {
  const std::string sectionName(Trim(Utf16ToUtf8(section)));
  const std::string keyName(Trim(Utf16ToUtf8(key)));
  if (!profile_text::EntryFits(section, key, value)) return false;
  const std::string path = linux_files::NativePath(file);
  std::lock_guard guard(WriteMutex());
  std::string text = linux_files::ReadWholeFile(path).value_or(std::string());
  const std::vector<Line> lines = SplitLines(text);
  const Location where = Locate(text, lines, section, key);
  const size_t crlf = text.find("\r\n");
  const std::string newline = crlf != std::string::npos && crlf == text.find('\n') - 1 ? "\r\n" : "\n";
  const std::string entry = keyName + "=" + Utf16ToUtf8(value);

  if (where.key) {
    // The key keeps the spelling it has in the file.
    const Line& line = lines[*where.key];
    text.replace(line.begin, line.end - line.begin, std::string(line.name) + "=" + Utf16ToUtf8(value));
  } else if (where.section) {
    const Line& after = lines[where.lastContent];
    std::string insertion = entry + newline;
    if (text[after.next - 1] != '\n') insertion.insert(0, newline);  // the file's last line, unterminated
    text.insert(after.next, insertion);
  } else {
    if (!text.empty() && text.back() != '\n') text += newline;
    text += "[" + sectionName + "]" + newline + entry + newline;
  }
  return linux_files::ReplaceFileAtomically(path, text);
}

}  // namespace quillet::platform
