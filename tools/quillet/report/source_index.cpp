// Reading .lss files and finding where each module-level procedure starts.
#include "tools/quillet/report/source_index.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "tools/quillet/tool_io.h"
#include "util/line_breaks.h"
#include "util/utf8.h"

namespace quillet::tool {
namespace {

constexpr const char* kSourceExtension = ".LSS";

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The words of a line up to its first comment, upper-case.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == '\'') break;
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$') {
      word += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (!word.empty()) {
      words.push_back(std::move(word));
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

// The procedure a line declares, or "" when it declares none.
std::string DeclaredProcedure(const std::vector<std::string>& words) {
  size_t i = 0;
  while (i < words.size() && (words[i] == "PUBLIC" || words[i] == "PRIVATE" || words[i] == "STATIC")) ++i;
  if (i + 1 < words.size() && (words[i] == "SUB" || words[i] == "FUNCTION")) return words[i + 1];
  if (i + 2 < words.size() && words[i] == "PROPERTY") return words[i + 2];
  return "";
}

// Whether a line, after its leading blanks, starts with `upperText`.
bool StartsWith(const std::string& line, const std::string& upperText) {
  const size_t start = line.find_first_not_of(" \t");
  return start != std::string::npos && Upper(line.substr(start, upperText.size())) == upperText;
}

SourceFile ParseSource(const std::string& path, const std::string& text) {
  SourceFile file;
  file.path = path;
  bool inClass = false;
  bool inRemBlock = false;  // %Rem ... %End Rem: lines the compiler ignores
  for (const std::string_view view : SplitLines(WithoutByteOrderMark(text))) {
    std::string line(view);
    file.lines.push_back(line);
    if (inRemBlock) {
      file.remarks.push_back(true);
      inRemBlock = !StartsWith(line, "%END REM");
      continue;
    }
    if (StartsWith(line, "%REM")) {
      file.remarks.push_back(true);
      inRemBlock = true;
      continue;
    }
    file.remarks.push_back(false);
    const std::vector<std::string> words = Words(line);
    if (words.size() >= 2 && words[0] == "END" && words[1] == "CLASS") inClass = false;
    else if (!words.empty() && (words[0] == "CLASS" || (words.size() >= 2 && words[1] == "CLASS" &&
                                                         (words[0] == "PUBLIC" || words[0] == "PRIVATE"))))
      inClass = true;
    if (inClass) continue;
    const std::string name = DeclaredProcedure(words);
    if (!name.empty()) file.procedures.emplace(name, static_cast<int32_t>(file.lines.size()));
  }
  return file;
}

bool HasSourceExtension(const std::filesystem::path& path) { return Upper(path.extension().string()) == kSourceExtension; }

}  // namespace

bool SourceIndex::Add(const std::string& path, std::string& error) {
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(path, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(path, ec))
      if (entry.is_regular_file() && HasSourceExtension(entry.path())) files.push_back(entry.path());
    if (ec) {
      error = path + ": " + ec.message();
      return false;
    }
  } else {
    files.push_back(path);
  }
  for (const auto& file : files) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(file.string(), bytes, error)) return false;
    files_[Upper(file.stem().string())] = ParseSource(file.string(), std::string(bytes.begin(), bytes.end()));
  }
  return true;
}

const SourceFile* SourceIndex::Find(const std::string& module) const {
  auto it = files_.find(Upper(module));
  return it == files_.end() ? nullptr : &it->second;
}

bool SourceIndex::LineOffset(const std::string& module, const std::string& fullName, int32_t& offset) const {
  const SourceFile* file = Find(module);
  if (file == nullptr) return false;
  if (fullName.find("::") != std::string::npos) {
    offset = 0;  // class members already carry the file's lines
    return true;
  }
  auto it = file->procedures.find(Upper(fullName));
  if (it == file->procedures.end()) return false;
  offset = it->second;
  return true;
}

std::pair<int32_t, int32_t> SourceIndex::ProcedureSpan(const SourceFile& file, int32_t line) {
  const auto count = static_cast<int32_t>(file.lines.size());
  line = std::clamp<int32_t>(line, 1, std::max<int32_t>(count, 1));
  // The words of a line the compiler reads; none for a line of a %Rem block.
  auto codeWords = [&file](int32_t n) {
    const auto at = static_cast<size_t>(n - 1);
    return at < file.remarks.size() && file.remarks[at] ? std::vector<std::string>{} : Words(file.lines[at]);
  };
  int32_t first = line;
  while (first > 1 && DeclaredProcedure(codeWords(first)).empty()) --first;
  int32_t last = line;
  while (last < count) {
    const std::vector<std::string> words = codeWords(last);
    if (words.size() >= 2 && words[0] == "END" && (words[1] == "SUB" || words[1] == "FUNCTION" || words[1] == "PROPERTY"))
      break;
    ++last;
  }
  return {first, last};
}

}  // namespace quillet::tool
