// `quillet run FILE.lss|FILE.lso [--profile]`: runs a module in the simulated
// runner, or profiles it through the library's client path.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "instrument/module_instrument.h"
#include "lsobject/ls_script_module.h"
#include "sim/lsrun/runner.h"
#include "timing/report_reader.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/flags_option.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/profile_session.h"
#include "tools/quillet/report_views.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

// Rows of the procedure and line lists in the summary after a profiled run.
constexpr size_t kSummaryRows = 10;

struct Options {
  std::string file;
  std::string entry;
  bool profile = false;
  std::string flags;
  std::string report;
  uint32_t timeLimit = RunOptions{}.maxSeconds;
  size_t stringLimit = RunOptions{}.maxStringLength;
};

int Profile(const Options& options, const std::vector<uint8_t>& image) {
  ProfileRunOptions profile;
  profile.entry = options.entry;
  profile.maxSeconds = options.timeLimit;
  profile.maxStringLength = options.stringLimit;
  if (!options.flags.empty() && !ParseHexFlags(options.flags, profile.flags))
    return Fail("run", "--flags takes a hexadecimal value up to FFFF, not \"" + options.flags + "\"");
  const std::filesystem::path input(options.file);
  profile.title = input.stem().string();
  profile.reportPath = options.report.empty() ? std::filesystem::path(input).replace_extension(".zvk").string()
                                              : options.report;
  // Refused before the run: the library would only find out at the end.
  if (std::string error; !CheckWritable(profile.reportPath, error)) return Fail("run", error);
  const ProfileRunResult result = ProfileModule(image, profile);
  std::fwrite(result.output.data(), 1, result.output.size(), stdout);
  if (!result.reportWritten) return Fail("run", options.file + ": " + result.error);

  Report report;
  ReportError error;
  if (!ReadReportFile(profile.reportPath, report, error)) return Fail("run", profile.reportPath + ": " + error.Text);
  // The module that ran numbers the lines as its source file does.
  SourceIndex sources;
  ModuleLines modules;
  std::string sourceError;
  const bool fromSource = IsSourceName(options.file) && sources.Add(options.file, sourceError);
  const bool fromModule = modules.AddImage(image, sourceError);
  const std::string summary = RenderReportText(
      BuildReportModel(report, fromSource ? &sources : nullptr, fromModule ? &modules : nullptr), profile.reportPath,
      kSummaryRows);
  std::fputs("\n", stdout);
  std::fwrite(summary.data(), 1, summary.size(), stdout);
  if (!result.runOk) return Fail("run", options.file + ": " + result.error);
  return kExitOk;
}

}  // namespace

void AddRunCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("run", "Run a module (source .lss or image .lso) in the simulated runner, "
                                            "optionally profiled");
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->file, "LotusScript source (.lss) or module image")->required();
  cmd->add_option("--entry", options->entry, "Sub to run instead of Initialize and Terminate");
  CLI::Option* profile = cmd->add_flag(
      "--profile", options->profile,
      "profile the run through the library in a simulated Notes client and print the report summary");
  cmd->add_option("--flags", options->flags, "instrumentation flags for --profile, hexadecimal (default 3)")
      ->needs(profile)
      ->check(HexFlagsCheck());
  cmd->add_option("--report", options->report, "report file for --profile (default: FILE with .zvk)")->needs(profile);
  cmd->add_option("--time-limit", options->timeLimit, "seconds before the run stops as endless")
      ->check(CLI::Range(uint32_t{1}, uint32_t{86400}))
      ->capture_default_str();
  cmd->add_option("--string-limit", options->stringLimit, "longest string in bytes (beyond: \"Out of string space\")")
      ->check(CLI::Range(size_t{1}, lsrun::kMaxStringLength))
      ->capture_default_str();
  cmd->callback([options, &exitCode] {
    std::vector<uint8_t> image;
    if (!LoadModuleImage("run", options->file, image, exitCode)) return;
    if (options->profile) {
      std::fflush(stdout);
      exitCode = Profile(*options, image);
      return;
    }
    RunOptions run;
    run.entry = options->entry;
    run.maxSeconds = options->timeLimit;
    run.maxStringLength = options->stringLimit;
    const RunResult result = RunModule(image, run);
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    std::fflush(stdout);
    if (!result.ok) {
      // A file that is no module at all gets the parser's reason and what
      // the file is instead (source, a report); a rewritten module, whose
      // timer calls find no library outside a profiled process, says so.
      CLSScriptModule module;
      ParseError refusal;
      std::string reason = result.error;
      if (!module.Parse(image, refusal))
        reason = ModuleRefusal(options->file, image, refusal.Text);
      else if (IsInstrumentedModule(module))
        reason += " (the module is instrumented: run the module it was made from with --profile)";
      exitCode = Fail("run", options->file + ": " + reason);
      return;
    }
    exitCode = kExitOk;
  });
}

}  // namespace quillet::tool
