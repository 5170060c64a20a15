// `quillet report FILE.zvk`: the views of a report file.
#include <cstdint>
#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "timing/report_reader.h"
#include "tools/quillet/commands.h"
#include "tools/quillet/report_views.h"
#include "tools/quillet/tool_io.h"

namespace quillet::tool {

void AddReportCommand(CLI::App& app, int& exitCode) {
  CLI::App* cmd = app.add_subcommand("report", "Show a report file (.zvk) as text, JSON, folded stacks or speedscope");
  struct Options {
    std::string file;
    std::string format = "text";
    int64_t top = 20;
  };
  auto options = std::make_shared<Options>();
  cmd->add_option("FILE", options->file, "report file written by the profiler")->required();
  cmd->add_option("--format", options->format, "text, json, folded or speedscope")
      ->check(CLI::IsMember({"text", "json", "folded", "speedscope"}))
      ->capture_default_str();
  CLI::Option* top = cmd->add_option("--top", options->top, "rows of the procedure and line lists (0: all)")
                         ->check(CLI::Range(int64_t{0}, int64_t{1000000}))
                         ->capture_default_str();
  cmd->callback([options, top, &exitCode] {
    Report report;
    ReportError error;
    if (!ReadReportFile(options->file, report, error)) {
      exitCode = Fail("report", options->file + ": " + error.Text);
      return;
    }
    const ReportModel model = BuildReportModel(report);
    // Report texts are in the host's character set: bytes that are not UTF-8
    // become U+FFFD in the JSON views rather than failing them.
    constexpr auto kReplace = nlohmann::ordered_json::error_handler_t::replace;
    std::string out;
    if (options->format == "text") {
      out = RenderReportText(model, options->file, static_cast<size_t>(options->top));
    } else if (options->format == "json") {
      // The JSON form lists everything unless a limit is asked for.
      const size_t limit = top->count() > 0 ? static_cast<size_t>(options->top) : 0;
      out = RenderReportJson(model, limit).dump(2, ' ', false, kReplace) + "\n";
    } else if (options->format == "folded") {
      out = RenderFolded(model);
    } else {
      out = RenderSpeedscope(report, model, options->file).dump(-1, ' ', false, kReplace) + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    // The folded and speedscope views carry no messages: say it beside them.
    if (model.implausible && (options->format == "folded" || options->format == "speedscope"))
      std::fprintf(stderr, "quillet report: %s\n", model.messages.back().c_str());
    exitCode = kExitOk;
  });
}

}  // namespace quillet::tool
