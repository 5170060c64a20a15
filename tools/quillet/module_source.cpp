// Compiling source files and reading module images for the commands.
#include "tools/quillet/module_source.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "sim/lsc/compiler.h"
#include "timing/report_format.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

// Errors printed of a failed compilation; the last line counts the rest, so
// that a binary file given as source does not flood the terminal.
constexpr size_t kShownCompileErrors = 20;

}  // namespace

bool IsSourceName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".lss";
}

std::string ModuleRefusal(const std::string& path, std::span<const uint8_t> image, const std::string& refusal) {
  std::string text = "not a compiled LotusScript module, or a damaged one (" + refusal + ")";
  const std::string_view start(reinterpret_cast<const char*>(image.data()),
                               std::min(image.size(), report::kSignature.size()));
  if (start == report::kSignature)
    text += "; it is a report file: show it with 'quillet report'";
  else if (IsSourceName(path))
    text += "; it is LotusScript source: compile it with 'quillet compile'";
  return text;
}

bool CompileSourceFile(const char* command, const std::string& path, std::vector<uint8_t>& image, int& exitCode) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) {
    exitCode = Fail(command, error);
    return false;
  }
  return CompileSourceText(command, path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                           image, exitCode);
}

bool CompileSourceText(const char* command, const std::string& path, std::string_view source,
                       std::vector<uint8_t>& image, int& exitCode) {
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) {
    const size_t shown = std::min(errors.size(), kShownCompileErrors);
    for (size_t i = 0; i < shown; ++i)
      std::fprintf(stderr, "%s:%d:%d: %s\n", path.c_str(), errors[i].line, errors[i].column, errors[i].message.c_str());
    // The compiler stops looking at its limit: there may be more.
    std::string summary =
        std::to_string(errors.size()) + (errors.size() >= kMaxCompileErrors ? " or more errors" : " error(s)");
    if (shown < errors.size()) summary += " (" + std::to_string(errors.size() - shown) + " not shown)";
    exitCode = Fail(command, path + ": " + summary);
    return false;
  }
  return true;
}

bool LoadModuleImage(const char* command, const std::string& path, std::vector<uint8_t>& image, int& exitCode) {
  if (IsSourceName(path)) return CompileSourceFile(command, path, image, exitCode);
  std::string error;
  if (!ReadWholeFile(path, image, error)) {
    exitCode = Fail(command, error);
    return false;
  }
  return true;
}

}  // namespace quillet::tool
