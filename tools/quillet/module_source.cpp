// Compiling source files and reading module images for the commands.
#include "tools/quillet/module_source.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "sim/lsc/compiler.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
bool IsSourceName(const std::string& path) {
  if (path.size() < 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".lss";
}

bool CompileSourceFile(const char* command, const std::string& path, std::vector<uint8_t>& image, int& exitCode) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) {
    exitCode = Fail(command, error);
    return false;
  }
  const std::string_view source(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::vector<CompileError> errors;
  if (!CompileLotusScript(source, image, errors)) {
    for (const CompileError& e : errors)
      std::fprintf(stderr, "%s:%d:%d: %s\n", path.c_str(), e.line, e.column, e.message.c_str());
    exitCode = Fail(command, path + ": " + std::to_string(errors.size()) + " error(s)");
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
