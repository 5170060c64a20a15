// Matching two reports' procedures and lines and showing what changed.
#include "tools/quillet/report/report_diff.h"

#include <algorithm>
#include <cinttypes>
#include <cstdlib>
#include <map>

#include "tools/quillet/report/html_page.h"
#include "tools/quillet/report/report_formats.h"
#include "tools/quillet/text_format.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::ordered_json;

size_t Limit(size_t size, size_t top) { return top == 0 ? size : std::min(size, top); }

void SortByChange(std::vector<DiffRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const DiffRow& a, const DiffRow& b) {
    const int64_t x = std::llabs(a.Delta());
    const int64_t y = std::llabs(b.Delta());
    if (x != y) return x > y;
    if (a.procedure != b.procedure) return a.procedure < b.procedure;
    return a.line < b.line;
  });
}

template <typename Fill>
void Merge(std::map<std::pair<std::string, int32_t>, DiffRow>& rows, const std::string& procedure, bool isLine,
           int32_t line, Fill fill) {
  DiffRow& row = rows[{procedure, line}];
  row.procedure = procedure;
  row.isLine = isLine;
  row.line = line;
  fill(row);
}

void AddSide(const ReportModel& model, bool after, std::map<std::pair<std::string, int32_t>, DiffRow>& procedures,
             std::map<std::pair<std::string, int32_t>, DiffRow>& lines) {
  const int64_t f = model.frequency;
  for (const ProcedureStats& p : model.procedures) {
    Merge(procedures, p.name, false, 0, [&](DiffRow& row) {
      DiffSide& side = after ? row.after : row.before;
      if (p.calls == 0) {
        side.uncalled = true;
        return;
      }
      side.present = true;
      side.calls += p.calls;
      side.time += ToNanoseconds(p.inclusive, f);
      side.exclusive += ToNanoseconds(p.exclusive, f);
    });
  }
  for (const LineStats& l : model.lines) {
    Merge(lines, model.procedures[l.procedure].name, true, l.line, [&](DiffRow& row) {
      DiffSide& side = after ? row.after : row.before;
      side.present = true;
      side.calls += static_cast<uint64_t>(std::max<int64_t>(l.hits, 0));
      side.time += ToNanoseconds(l.total, f);
    });
  }
}

const char* Mark(const DiffRow& row) {
  if (!row.before.present) return "only in after";
  if (!row.after.present) return "only in before";
  return "";
}

std::string Nanos(int64_t ns) { return FormatDuration(ns, 1'000'000'000); }

std::string Change(const DiffRow& row) {
  char text[64];
  const int64_t d = row.Delta();
  std::snprintf(text, sizeof text, "%s%s", d > 0 ? "+" : d < 0 ? "-" : "", Nanos(std::llabs(d)).c_str());
  return text;
}

std::string Percent(const DiffRow& row) {
  if (!row.before.present || row.before.time == 0) return !row.before.present ? "new" : "-";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f%%", PercentChange(row.before.time, row.after.time));
  return text;
}

std::string RowName(const DiffRow& row) {
  return row.isLine ? row.procedure + ":" + std::to_string(row.line) : row.procedure;
}

Json RowJson(const DiffRow& row) {
  Json j;
  j["procedure"] = row.procedure;
  if (row.isLine) j["line"] = row.line;
  auto side = [&](const DiffSide& s) -> Json {
    if (!s.present) return nullptr;
    Json out;
    out[row.isLine ? "hits" : "calls"] = s.calls;
    out["time_ns"] = s.time;
    if (!row.isLine) out["exclusive_ns"] = s.exclusive;
    return out;
  };
  j["before"] = side(row.before);
  j["after"] = side(row.after);
  j["delta_ns"] = row.Delta();
  j["delta_percent"] = row.before.present && row.before.time != 0 ? Json(PercentChange(row.before.time, row.after.time))
                                                                   : Json(nullptr);
  j["only_in"] = !row.before.present ? Json("after") : !row.after.present ? Json("before") : Json(nullptr);
  if (!row.isLine) {
    const bool uncalledBefore = !row.before.present && row.before.uncalled;
    const bool uncalledAfter = !row.after.present && row.after.uncalled;
    j["not_called_in"] = uncalledBefore ? Json("before") : uncalledAfter ? Json("after") : Json(nullptr);
  }
  return j;
}

}  // namespace

double PercentChange(int64_t before, int64_t after) {
  if (before == 0) return 0.0;
  return 100.0 * static_cast<double>(after - before) / static_cast<double>(before);
}

ReportDiff DiffReports(const ReportModel& before, const ReportModel& after, const std::string& beforeName,
                       const std::string& afterName) {
  ReportDiff diff;
  diff.before = beforeName;
  diff.after = afterName;
  diff.totalBefore = ToNanoseconds(before.totalTime, before.frequency);
  diff.totalAfter = ToNanoseconds(after.totalTime, after.frequency);
  std::map<std::pair<std::string, int32_t>, DiffRow> procedures;
  std::map<std::pair<std::string, int32_t>, DiffRow> lines;
  AddSide(before, false, procedures, lines);
  AddSide(after, true, procedures, lines);
  // A procedure called in neither run has nothing to compare.
  for (auto& [key, row] : procedures)
    if (row.before.present || row.after.present) diff.procedures.push_back(std::move(row));
  for (auto& [key, row] : lines) diff.lines.push_back(std::move(row));
  SortByChange(diff.procedures);
  SortByChange(diff.lines);
  return diff;
}

std::string RenderDiffText(const ReportDiff& diff, size_t top) {
  std::string out;
  Append(out, "Diff\n  before %s\n  after  %s\n", diff.before.c_str(), diff.after.c_str());
  DiffRow total;
  total.before = {true, 0, diff.totalBefore, 0};
  total.after = {true, 0, diff.totalAfter, 0};
  Append(out, "  total time %s -> %s (%s, %s)\n", Nanos(diff.totalBefore).c_str(), Nanos(diff.totalAfter).c_str(),
         Change(total).c_str(), Percent(total).c_str());
  auto table = [&](const char* heading, const std::vector<DiffRow>& rows, const char* count) {
    Append(out, "\n%s (largest change first)\n", heading);
    Append(out, "  %12s %12s %12s %8s %9s %9s  %s\n", "before", "after", "delta", "%", count, count, "name");
    for (size_t i = 0; i < Limit(rows.size(), top); ++i) {
      const DiffRow& r = rows[i];
      const std::string mark = *Mark(r) ? std::string("  [") + Mark(r) + "]" : "";
      Append(out, "  %12s %12s %12s %8s %9" PRIu64 " %9" PRIu64 "  %s%s\n",
             r.before.present ? Nanos(r.before.time).c_str() : "-", r.after.present ? Nanos(r.after.time).c_str() : "-",
             Change(r).c_str(), Percent(r).c_str(), r.before.calls, r.after.calls, RowName(r).c_str(), mark.c_str());
    }
    if (rows.empty()) out += "  (none)\n";
  };
  table("Procedures by inclusive time", diff.procedures, "calls");
  table("Lines", diff.lines, "hits");
  return out;
}

Json RenderDiffJson(const ReportDiff& diff, size_t top) {
  Json out;
  out["before"] = diff.before;
  out["after"] = diff.after;
  out["total_before_ns"] = diff.totalBefore;
  out["total_after_ns"] = diff.totalAfter;
  out["total_delta_ns"] = diff.totalAfter - diff.totalBefore;
  Json procedures = Json::array();
  for (size_t i = 0; i < Limit(diff.procedures.size(), top); ++i) procedures.push_back(RowJson(diff.procedures[i]));
  out["procedures"] = std::move(procedures);
  Json lines = Json::array();
  for (size_t i = 0; i < Limit(diff.lines.size(), top); ++i) lines.push_back(RowJson(diff.lines[i]));
  out["lines"] = std::move(lines);
  return out;
}

std::string RenderDiffHtml(const ReportDiff& diff, size_t top) {
  std::string body;
  DiffRow total;
  total.before = {true, 0, diff.totalBefore, 0};
  total.after = {true, 0, diff.totalAfter, 0};
  body += "<section><h2>Runs</h2><p>Before: " + EscapeHtml(diff.before) + "<br>After: " + EscapeHtml(diff.after) +
          "</p><p>Total time " + Nanos(diff.totalBefore) + " &rarr; " + Nanos(diff.totalAfter) + " (<span class=\"" +
          (total.Delta() > 0 ? "plus" : "minus") + "\">" + Change(total) + ", " + Percent(total) + "</span>)</p></section>\n";
  auto table = [&](const char* heading, const std::vector<DiffRow>& rows, const char* count, const char* id) {
    body += std::string("<section><h2>") + heading + " (largest change first)</h2><table id=\"" + id + "\">\n";
    body += std::string("<tr><th class=\"name\">Name</th><th>Before</th><th>After</th><th>Delta</th><th>%</th><th>") +
            count + " before</th><th>" + count + " after</th></tr>\n";
    for (size_t i = 0; i < Limit(rows.size(), top); ++i) {
      const DiffRow& r = rows[i];
      const std::string mark = *Mark(r) ? std::string(" <span class=\"only\">(") + Mark(r) + ")</span>" : "";
      const char* cls = r.Delta() > 0 ? "plus" : r.Delta() < 0 ? "minus" : "";
      body += "<tr><td class=\"name\">" + EscapeHtml(RowName(r)) + mark + "</td><td>" +
              (r.before.present ? Nanos(r.before.time) : "-") + "</td><td>" +
              (r.after.present ? Nanos(r.after.time) : "-") + "</td><td class=\"" + cls + "\">" + Change(r) +
              "</td><td class=\"" + cls + "\">" + Percent(r) + "</td><td>" + std::to_string(r.before.calls) +
              "</td><td>" + std::to_string(r.after.calls) + "</td></tr>\n";
    }
    body += "</table></section>\n";
  };
  table("Procedures by inclusive time", diff.procedures, "Calls", "procedures");
  table("Lines", diff.lines, "Hits", "lines");
  return StaticPage("quillet diff", body);
}

}  // namespace quillet::tool
