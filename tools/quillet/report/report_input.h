// What the report and diff commands share: reading a report with its
// sources into a model, progress lines, and writing the result.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "timing/report_reader.h"
#include "tools/quillet/report/module_lines.h"
#include "tools/quillet/report/source_index.h"
#include "tools/quillet/report_model.h"

namespace CLI {
class App;
class Option;
}

namespace quillet::tool {

// The options the report and diff commands share.
struct ViewOptions {
  std::string format = "text";
  int64_t top = 20;
  bool topGiven = false;  // the JSON forms list everything unless a limit is asked for
  std::vector<std::string> sources;
  std::vector<std::string> modules;
  std::string output;

  // The row limit for `format`: 0 (everything) for JSON without --top.
  size_t Rows() const { return format == "json" && !topGiven ? 0 : static_cast<size_t>(top); }
};

// Registers --format (one of `formats`), --top, --source, --module and -o on `cmd`.
void AddViewOptions(CLI::App* cmd, ViewOptions& options, const std::vector<std::string>& formats);

// Reports with at least this many calls get progress lines on stderr.
inline constexpr uint64_t kProgressCalls = 200000;

struct ReportInput {
  Report report;
  SourceIndex sources;
  ModuleLines modules;
  ReportModel model;
};

// Reads the sources and modules, then the report, and builds its model. On
// failure prints the reason, sets `exitCode` and returns false.
bool LoadReportInput(const char* command, const std::string& file, const std::vector<std::string>& sources,
                     const std::vector<std::string>& modules, ReportInput& input, int& exitCode);

// "quillet <command>: warning: FILE: ..." on stderr for each --source file
// (not folder) named after no module of `models`: it numbers nothing.
void WarnUnmatchedSources(const char* command, const std::vector<std::string>& sources,
                          std::initializer_list<const ReportModel*> models);

// "quillet <command>: <what> (N calls)" on stderr for a large report.
void Progress(const char* command, const ReportModel& model, const std::string& what);

// Writes `text` to `path`, or to stdout when `path` is empty; the exit code.
int WriteOutput(const char* command, const std::string& path, std::string_view text);

}  // namespace quillet::tool
