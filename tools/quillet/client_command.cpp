// `quillet client DESCRIPTION`: a realistic client session. The simulated
// database the file describes is made, a controlling application switches
// profiling on through the queue, the design elements are opened through the
// library's note-open hook and run, a design save is tried through the
// note-update hook, and the report written by "FINALIZERUN" is shown.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "sim/client/design_notes.h"
#include "timing/report_reader.h"
#include "tools/quillet/client_description.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/flags_option.h"
#include "tools/quillet/module_source.h"
#include "tools/quillet/report_views.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {
namespace {

struct Options {
  std::string description;
  std::string flags;
  std::string report;
  size_t top = 10;
  uint32_t timeLimit = RunOptions{}.maxSeconds;
};

const char* KindName(sim::DesignKind kind) {
  switch (kind) {
    case sim::DesignKind::kForm:
      return "form";
    case sim::DesignKind::kAgent:
      return "agent";
    case sim::DesignKind::kLibrary:
      return "library";
    case sim::DesignKind::kView:
      return "view";
  }
  return "element";
}

void PrintStep(const ClientStep& step, const ClientStepResult& result) {
  const bool run = step.action == ClientStep::Action::kRun;
  std::printf("=== %s %s %s\n", run ? "run" : "save", KindName(step.kind), step.title.c_str());
  if (run && result.status == 0) {
    std::fwrite(result.output.data(), 1, result.output.size(), stdout);
    if (!result.runOk) std::printf("(the run failed: %s)\n", result.error.c_str());
  } else if (result.status == 0) {
    std::printf("saved\n");
  } else {
    std::printf("refused (status 0x%X)\n", static_cast<unsigned>(result.status));
    if (!result.messageBox.empty()) std::printf("message box: %s\n", result.messageBox.c_str());
  }
}

int Client(const Options& options) {
  std::vector<uint8_t> text;
  std::string error;
  if (!ReadWholeFile(options.description, text, error)) return Fail("client", error);
  const std::string folder = std::filesystem::path(options.description).parent_path().string();
  ClientDescription description;
  if (!ParseClientDescription(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), folder,
                              description, error)) {
    return Fail("client", options.description + ": " + error);
  }

  ClientSessionSpec spec;
  spec.database = description.database;
  spec.steps = description.steps;
  for (ClientStep& step : spec.steps) step.maxSeconds = options.timeLimit;
  SourceIndex sources;
  ModuleLines modules;  // the modules as compiled, for the lines they record
  for (const ClientElementSource& element : description.elements) {
    sim::DesignSpec design{element.kind, element.title, {}};
    int exitCode = kExitOk;
    design.modules.emplace_back();
    if (!CompileSourceFile("client", element.sourcePath, design.modules.back(), exitCode)) return exitCode;
    std::string ignored;
    static_cast<void>(sources.Add(element.sourcePath, ignored));  // only for line numbers in the view
    static_cast<void>(modules.AddImage(design.modules.back(), ignored));
    spec.elements.push_back(std::move(design));
  }
  if (!options.flags.empty() && !ParseHexFlags(options.flags, spec.flags))
    return Fail("client", "--flags takes a hexadecimal value up to FFFF, not \"" + options.flags + "\"");
  spec.reportPath = options.report.empty()
                        ? std::filesystem::path(options.description).replace_extension(".zvk").string()
                        : options.report;
  // Refused before the session: the library would only find out at its end.
  if (!CheckWritable(spec.reportPath, error)) return Fail("client", error);

  std::fflush(stdout);
  const ClientSessionResult result = ProfileClientSession(spec);
  for (size_t i = 0; i < result.steps.size(); ++i) PrintStep(spec.steps[i], result.steps[i]);
  if (!result.reportWritten) return Fail("client", options.description + ": " + result.error);

  Report report;
  ReportError reportError;
  if (!ReadReportFile(spec.reportPath, report, reportError))
    return Fail("client", spec.reportPath + ": " + reportError.Text);
  const std::string view = RenderReportText(BuildReportModel(report, &sources, &modules), spec.reportPath, options.top);
  std::printf("=== report %s\n", spec.reportPath.c_str());
  std::fwrite(view.data(), 1, view.size(), stdout);
  return kExitOk;
}

}  // namespace

void AddClientCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("client", "Profile a simulated Notes client session over a database described "
                                               "by a small file (docs/cli.md)");
  auto options = std::make_shared<Options>();
  cmd->add_option("DESCRIPTION", options->description, "the session's description file")->required();
  cmd->add_option("--flags", options->flags, "instrumentation flags, hexadecimal (default 3)")
      ->check(HexFlagsCheck());
  cmd->add_option("--report", options->report, "report file (default: DESCRIPTION with .zvk)");
  cmd->add_option("--time-limit", options->timeLimit, "seconds before a run stops as endless")
      ->check(CLI::Range(uint32_t{1}, uint32_t{86400}))
      ->capture_default_str();
  cmd->add_option("--top", options->top, "rows of the report's procedure and line lists (0: all)")
      ->check(CLI::Range(size_t{0}, size_t{1000}))
      ->capture_default_str();
  cmd->callback([options, &exitCode] { exitCode = Client(*options); });
}

}  // namespace quillet::tool
