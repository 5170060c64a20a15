// `quillet report FILE.zvk`: the views of a report file.
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "timing/report_reader.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/report/report_formats.h"
#include "tools/quillet/report/report_input.h"
#include "tools/quillet/report_views.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {

void AddReportCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand(
      "report", "Show a report file (.zvk) as text, JSON, HTML, folded stacks, speedscope, pprof or callgrind");
  struct Options : ViewOptions {
    std::string file;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->file, "report file written by the profiler")->required();
  AddViewOptions(cmd, *options, {"text", "json", "html", "folded", "speedscope", "pprof", "callgrind"});
  cmd->callback([options, &exitCode] {
    // Compressed bytes on a terminal are noise and can upset it.
    if (options->format == "pprof" && options->output.empty() && isatty(STDOUT_FILENO) != 0) {
      exitCode = Fail("report", "the pprof view is compressed binary data, not written to a terminal: "
                                "give -o FILE.pb.gz or redirect the output");
      return;
    }
    ReportInput input;
    if (!LoadReportInput("report", options->file, options->sources, options->modules, input, exitCode)) return;
    WarnUnmatchedSources("report", options->sources, {&input.model});
    const ReportModel& model = input.model;
    const SourceIndex* sources = input.sources.Empty() ? nullptr : &input.sources;
    Progress("report", model, "rendering " + options->format);
    // Report texts are in the host's character set: bytes that are not UTF-8
    // become U+FFFD in the JSON views rather than failing them.
    constexpr auto kReplace = nlohmann::ordered_json::error_handler_t::replace;
    std::string out;
    if (options->format == "text") {
      out = RenderReportText(model, options->file, options->Rows());
    } else if (options->format == "json") {
      out = RenderReportJson(model, options->Rows()).dump(2, ' ', false, kReplace) + "\n";
    } else if (options->format == "html") {
      out = RenderReportHtml(model, sources, options->file);
    } else if (options->format == "folded") {
      out = RenderFolded(model);
    } else if (options->format == "pprof") {
      std::string error;
      if (!RenderPprof(model, out, error)) {
        exitCode = Fail("report", error);
        return;
      }
    } else if (options->format == "callgrind") {
      out = RenderCallgrind(model, options->file);
    } else {
      out = RenderSpeedscope(input.report, model, options->file);
    }
    exitCode = WriteOutput("report", options->output, out);
    // The folded and speedscope views carry no messages: say it beside them.
    if (exitCode == kExitOk && model.implausible && (options->format == "folded" || options->format == "speedscope"))
      std::fprintf(stderr, "quillet report: %s\n", model.messages.back().c_str());
  });
}

}  // namespace quillet::tool
