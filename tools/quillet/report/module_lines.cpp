// Reading compiled modules for the line offsets of their procedures.
#include "tools/quillet/report/module_lines.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "instrument/module_instrument.h"
#include "instrument/recorded_lines.h"
#include "lsobject/ls_script_module.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

bool IsModuleImageName(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".lso";
}

}  // namespace

bool ModuleLines::Add(const std::string& path, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_directory(path, ec)) return AddFile(path, error);
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec))
    if (entry.is_regular_file() && IsModuleImageName(entry.path())) files.push_back(entry.path());
  if (ec) {
    error = path + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files)
    if (!AddFile(file.string(), error)) return false;
  return true;
}

bool ModuleLines::AddFile(const std::string& path, std::string& error) {
  std::vector<uint8_t> image;
  if (IsSourceName(path)) {
    int exitCode = 0;  // the compiler's diagnostics are printed already
    if (!CompileSourceFile("report", path, image, exitCode)) {
      error = path + ": does not compile";
      return false;
    }
  } else if (!ReadWholeFile(path, image, error)) {
    return false;
  }
  if (!AddImage(image, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool ModuleLines::AddImage(std::span<const uint8_t> image, std::string& error) {
  CLSScriptModule module;
  ParseError refusal;
  if (!module.Parse(image, refusal)) {
    error = ModuleRefusal("", image, refusal.Text);
    return false;
  }
  ++modules_;
  const uint32_t key = ModuleKey(module);
  std::vector<ProcedureDescriptor> procedures;
  module.ListProcedures(procedures);
  for (const ProcedureDescriptor& p : procedures) {
    int32_t offset = 0;
    if (RecordedLineOffset(module, p.symbol, offset)) offsets_[{key, p.symbol}] = offset;
  }
  return true;
}

}  // namespace quillet::tool
