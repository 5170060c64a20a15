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
  struct Options {
    std::string before;
    std::string after;
    std::string format = "text";
    int64_t top = 20;
    std::vector<std::string> sources;
    std::string output;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("BEFORE", options->before, "report file of the first run")->required();
  cmd->add_option("AFTER", options->after, "report file of the second run")->required();
  cmd->add_option("--format", options->format, "text, json or html")
      ->check(CLI::IsMember({"text", "json", "html"}))
      ->capture_default_str();
  CLI::Option* top = cmd->add_option("--top", options->top, "rows of the procedure and line lists (0: all)")
                         ->check(CLI::Range(int64_t{0}, int64_t{1000000}))
                         ->capture_default_str();
  cmd->add_option("--source", options->sources, "a folder of .lss files or one .lss file (repeatable)");
  cmd->add_option("-o,--output", options->output, "write to this file instead of stdout");
  cmd->callback([options, top, &exitCode] {
    ReportInput before;
    ReportInput after;
    if (!LoadReportInput("diff", options->before, options->sources, before, exitCode)) return;
    if (!LoadReportInput("diff", options->after, options->sources, after, exitCode)) return;
    const ReportDiff diff = DiffReports(before.model, after.model, options->before, options->after);
    // Like the report command, JSON lists everything unless a limit is asked for.
    const size_t rows = options->format == "json" && top->count() == 0 ? 0 : static_cast<size_t>(options->top);
    std::string out;
    if (options->format == "text")
      out = RenderDiffText(diff, rows);
    else if (options->format == "json")
      out = RenderDiffJson(diff, rows).dump(2) + "\n";
    else
      out = RenderDiffHtml(diff, rows);
    exitCode = WriteOutput("diff", options->output, out);
  });
}

}  // namespace quillet::tool
