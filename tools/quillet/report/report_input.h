// What the report and diff commands share: reading a report with its
// sources into a model, progress lines, and writing the result.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "timing/report_reader.h"
#include "tools/quillet/report/source_index.h"
#include "tools/quillet/report_model.h"

namespace quillet::tool {

// Reports with at least this many calls get progress lines on stderr.
inline constexpr uint64_t kProgressCalls = 200000;

struct ReportInput {
  Report report;
  SourceIndex sources;
  ReportModel model;
};

// Reads the sources, then the report, and builds its model. On failure
// prints the reason, sets `exitCode` and returns false.
bool LoadReportInput(const char* command, const std::string& file, const std::vector<std::string>& sources,
                     ReportInput& input, int& exitCode);

// "quillet <command>: <what> (N calls)" on stderr for a large report.
void Progress(const char* command, const ReportModel& model, const std::string& what);

// Writes `text` to `path`, or to stdout when `path` is empty; the exit code.
int WriteOutput(const char* command, const std::string& path, std::string_view text);

}  // namespace quillet::tool
