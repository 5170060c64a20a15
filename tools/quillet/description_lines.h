// The line reading shared by the tool's small description files: words split
// by blanks, "#" starts a comment, faults reported as "line N: reason".
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/quillet/text_format.h"
#include "util/line_breaks.h"
#include "util/utf8.h"

namespace quillet::tool {

inline std::vector<std::string> DescriptionWords(std::string_view line) {
  std::istringstream in{std::string(line.substr(0, line.find('#')))};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Calls `visit(number, words)` for each line of `text` that holds words,
// numbered from 1; stops at the first call that returns false, and returns
// whether none did.
// CR LF, LF and a lone CR each end a line and a byte order mark before the
// first is skipped, as in source files.
template <typename Visit>
bool ForEachDescriptionLine(std::string_view text, Visit&& visit) {
  int number = 0;
  for (const std::string_view line : SplitLines(WithoutByteOrderMark(text))) {
    ++number;
    const std::vector<std::string> words = DescriptionWords(line);
    if (!words.empty() && !visit(number, words)) return false;
  }
  return true;
}

// Why `path` cannot name a database of the simulated data directory (which
// refuses absolute paths and ".." parts), or empty when it can.
inline std::string DatabasePathFault(std::string_view path) {
  if (path.front() == '/' || path.front() == '\\' || (path.size() > 1 && path[1] == ':'))
    return "the database path \"" + std::string(path) + "\" is absolute; give it relative to the data directory";
  for (size_t start = 0; start <= path.size();) {
    const size_t end = std::min(path.find_first_of("/\\", start), path.size());
    if (path.substr(start, end - start) == "..")
      return "the database path \"" + std::string(path) + "\" leaves the data directory (\"..\")";
    start = end + 1;
  }
  return {};
}

// Sets `error` to "line N: reason" and returns false. Control characters the
// reason quotes from the file are shown as \xNN: a binary file given as a
// description must not send raw control bytes to the terminal.
inline bool RefuseLine(std::string& error, int line, const std::string& reason) {
  error = "line " + std::to_string(line) + ": " + EscapeControlBytes(reason);
  return false;
}

}  // namespace quillet::tool
