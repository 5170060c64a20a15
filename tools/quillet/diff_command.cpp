// `quillet diff BEFORE.zvk AFTER.zvk`: two runs side by side.
#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/quillet/commands.h"
#include "tools/quillet/report/report_diff.h"
#include "tools/quillet/report/report_input.h"

namespace quillet::tool {

void AddDiffCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("diff", "Compare two report files: procedures and lines with their change");
  struct Options : ViewOptions {
    std::string before;
    std::string after;
    std::vector<std::string> afterSources;  // when the change moved lines of the source
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("BEFORE", options->before, "report file of the first run")->required();
  cmd->add_option("AFTER", options->after, "report file of the second run")->required();
  AddViewOptions(cmd, *options, {"text", "json", "html"});
  cmd->add_option("--after-source", options->afterSources,
                  "the sources of AFTER when they differ from --source (repeatable)")
      ->allow_extra_args(false);
  cmd->callback([options, &exitCode] {
    ReportInput before;
    ReportInput after;
    if (!LoadReportInput("diff", options->before, options->sources, options->modules, before, exitCode)) return;
    const auto& afterSources = options->afterSources.empty() ? options->sources : options->afterSources;
    if (!LoadReportInput("diff", options->after, afterSources, options->modules, after, exitCode)) return;
    if (options->afterSources.empty()) {
      WarnUnmatchedSources("diff", options->sources, {&before.model, &after.model});
    } else {
      WarnUnmatchedSources("diff", options->sources, {&before.model});
      WarnUnmatchedSources("diff", options->afterSources, {&after.model});
    }
    const ReportDiff diff = DiffReports(before.model, after.model, options->before, options->after);
    const size_t rows = options->Rows();
    std::string out;
    if (options->format == "text")
      out = RenderDiffText(diff, rows);
    else if (options->format == "json")
      out = RenderDiffJson(diff, rows).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    else
      out = RenderDiffHtml(diff, rows);
    exitCode = WriteOutput("diff", options->output, out);
  });
}

}  // namespace quillet::tool
