// Two reports side by side: procedures and lines with the change of their
// times, largest change first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/quillet/report_model.h"

namespace quillet::tool {

// Figures of one side, in nanoseconds (ticks when the frequency is unusable).
struct DiffSide {
  // Called (or hit) in that run. A procedure the report records but never
  // called is not present, as one the report does not hold: it is only in
  // the other run; `uncalled` tells the two apart.
  bool present = false;
  uint64_t calls = 0;  // calls of a procedure; hits of a line
  int64_t time = 0;    // inclusive time of a procedure; total of a line
  int64_t exclusive = 0;
  bool uncalled = false;
};

struct DiffRow {
  std::string procedure;
  bool isLine = false;  // a line row; line 0 is a real line (a statement on the Sub line)
  int32_t line = 0;
  DiffSide before;
  DiffSide after;
  int64_t Delta() const { return after.time - before.time; }
};

struct ReportDiff {
  std::string before;  // the names the reports are shown by
  std::string after;
  int64_t totalBefore = 0;
  int64_t totalAfter = 0;
  std::vector<DiffRow> procedures;  // largest change of time first
  std::vector<DiffRow> lines;
};

// Procedures are matched by name, lines by procedure name and line number.
ReportDiff DiffReports(const ReportModel& before, const ReportModel& after, const std::string& beforeName,
                       const std::string& afterName);

// `top` limits both lists; 0 shows everything.
std::string RenderDiffText(const ReportDiff& diff, size_t top);
nlohmann::ordered_json RenderDiffJson(const ReportDiff& diff, size_t top);
std::string RenderDiffHtml(const ReportDiff& diff, size_t top);

// The change from `before` to `after` in percent of `before`; "new" and
// "gone" rows are marked by the caller.
double PercentChange(int64_t before, int64_t after);

}  // namespace quillet::tool
