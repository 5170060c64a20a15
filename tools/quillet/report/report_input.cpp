// Loading a report for the report and diff commands.
#include "tools/quillet/report/report_input.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include <CLI/CLI.hpp>

#include "util/ascii.h"

#include "tools/quillet/commands.h"
#include "tools/quillet/text_format.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

// Module files a warning names before it says "...".
constexpr size_t kNamedModules = 5;

}  // namespace

void AddViewOptions(CLI::App* cmd, ViewOptions& options, const std::vector<std::string>& formats) {
  std::string names;
  for (const std::string& f : formats) names += (names.empty() ? "" : ", ") + f;
  cmd->add_option("--format", options.format, names)->check(CLI::IsMember(formats))->capture_default_str();
  cmd->add_option_function<int64_t>(
         "--top",
         [&options](const int64_t& top) {
           options.top = top;
           options.topGiven = true;
         },
         "rows of the procedure and line lists (0: all; default 20, JSON: all)")
      ->check(CLI::Range(int64_t{0}, int64_t{1000000}));
  // One value per --source, so that a source never swallows the report file after it.
  cmd->add_option("--source", options.sources, "a folder of .lss files or one .lss file (repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("--module", options.modules,
                  "a compiled module (.lso, or .lss to compile) or a folder of .lso files: lines as the "
                  "source file numbers them, for the procedures of the modules the report was recorded from "
                  "(repeatable)")
      ->allow_extra_args(false);
  cmd->add_option("-o,--output", options.output, "write to this file instead of stdout");
}

bool LoadReportInput(const char* command, const std::string& file, const std::vector<std::string>& sources,
                     const std::vector<std::string>& modules, ReportInput& input, int& exitCode) {
  for (const std::string& path : sources) {
    std::string error;
    if (!input.sources.Add(path, error)) {
      exitCode = Fail(command, error);
      return false;
    }
  }
  for (const std::string& path : modules) {
    std::string error;
    if (!input.modules.Add(path, error)) {
      exitCode = Fail(command, error);
      return false;
    }
  }
  ReportError error;
  if (!ReadReportFile(file, input.report, error)) {
    exitCode = Fail(command, file + ": " + error.Text);
    return false;
  }
  if (input.report.Calls.size() >= kProgressCalls)
    std::fprintf(stderr, "quillet %s: read %s (%zu calls), building the model\n", command, file.c_str(),
                 input.report.Calls.size());
  input.model = BuildReportModel(input.report, input.sources.Empty() ? nullptr : &input.sources,
                                 input.modules.Empty() ? nullptr : &input.modules);
  return true;
}

void WarnUnmatchedSources(const char* command, const std::vector<std::string>& sources,
                          std::initializer_list<const ReportModel*> models) {
  auto known = [&models](const std::string& module) {
    for (const ReportModel* model : models)
      for (const ProcedureStats& p : model->procedures)
        if (AsciiEqualNoCase(p.module, module)) return true;
    return false;
  };
  for (const std::string& path : sources) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      // A folder may hold other modules' files; one with none of the
      // report's is named, with the modules it would need.
      bool matched = false;
      for (const auto& entry : std::filesystem::directory_iterator(path, ec))
        if (AsciiEqualNoCase(entry.path().extension().string(), ".lss"))
          matched = matched || known(entry.path().stem().string());
      if (matched || ec) continue;
      std::set<std::string> modules;
      for (const ReportModel* model : models)
        for (const ProcedureStats& p : model->procedures)
          if (!p.module.empty()) modules.insert(p.module);
      if (modules.empty()) continue;
      std::string names;
      size_t shown = 0;
      for (const std::string& m : modules) {
        if (shown == kNamedModules) {
          names += ", ...";
          break;
        }
        names += (shown++ == 0 ? "" : ", ") + m + ".lss";
      }
      std::fprintf(stderr, "quillet %s: warning: %s: no file of the folder is named after a module of the report (%s)\n",
                   command, EscapeControlBytes(path).c_str(), EscapeControlBytes(names).c_str());
      continue;
    }
    const std::string module = std::filesystem::path(path).stem().string();
    if (!known(module))
      std::fprintf(stderr, "quillet %s: warning: %s: the report has no module \"%s\"; the file is not used\n", command,
                   EscapeControlBytes(path).c_str(), EscapeControlBytes(module).c_str());
  }
}

void Progress(const char* command, const ReportModel& model, const std::string& what) {
  if (model.callCount < kProgressCalls) return;
  std::fprintf(stderr, "quillet %s: %s (%" PRIu64 " calls, %zu call paths)\n", command, what.c_str(), model.callCount,
               model.paths.size());
}

int WriteOutput(const char* command, const std::string& path, std::string_view text) {
  if (path.empty()) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      return Fail(command, "cannot write to the standard output");
    return kExitOk;
  }
  std::string error;
  if (!WriteWholeFile(path, text, error)) return Fail(command, error);
  return kExitOk;
}

}  // namespace quillet::tool
