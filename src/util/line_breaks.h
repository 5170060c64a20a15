// Line breaks of source text: CR LF, a lone LF and a lone CR each end one
// line. The compiler numbers lines by this rule and the tool splits source
// files by it, so both agree on every line number.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quillet {

// The length of the line break that starts at `pos` (2 for CR LF, 1 for a
// lone LF or CR), 0 when none starts there or `pos` is past the end.
constexpr size_t LineBreakAt(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\n') return 1;
  if (text[pos] != '\r') return 0;
  return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
}

// Whether the character at `pos` ends a line: an LF, or a CR not followed by
// LF (the LF of a CR LF pair is the one that ends it).
constexpr bool EndsLineAt(std::string_view text, size_t pos) { return LineBreakAt(text, pos) == 1; }

// The number of line breaks in `text`.
constexpr size_t CountLineBreaks(std::string_view text) {
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); ++pos) count += EndsLineAt(text, pos) ? 1 : 0;
  return count;
}

// The lines of `text` without their breaks. A break at the very end does not
// start another line, so "a\n" is one line and "" none.
inline std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t br = LineBreakAt(text, pos);
    if (br == 0) {
      ++pos;
      continue;
    }
    lines.push_back(text.substr(start, pos - start));
    pos += br;
    start = pos;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace quillet
