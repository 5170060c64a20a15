// The figures of the HTML report, as JSON for the page's script.
#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

#include "tools/quillet/report/html_page.h"
#include "tools/quillet/report/report_formats.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::json;

// The page lists this many hottest lines; the annotated source has them all.
constexpr size_t kPageLines = 200;

// A larger tree keeps only the paths of at least 1/kSmallPathShare of the
// total time, so the page stays quick to open.
constexpr size_t kPageMaxPaths = 100000;
constexpr int64_t kSmallPathShare = 100000;

Json TreeArrays(const ReportModel& model, size_t& dropped) {
  const size_t n = model.paths.size();
  // Parents come before their children, so one pass sees each parent first.
  std::vector<int64_t> index(n, -1);
  std::vector<int64_t> parent, proc, calls, total, self, depth, nested;
  dropped = 0;
  for (size_t i = 0; i < n; ++i) {
    const PathNode& node = model.paths[i];
    if (i > 0) {
      const bool small = n > kPageMaxPaths && node.total < model.totalTime / kSmallPathShare;
      if (index[node.parent] < 0 || small) {
        ++dropped;
        continue;
      }
    }
    index[i] = static_cast<int64_t>(parent.size());
    parent.push_back(i == 0 ? -1 : index[node.parent]);
    proc.push_back(node.procedure == SIZE_MAX ? -1 : static_cast<int64_t>(node.procedure));
    calls.push_back(static_cast<int64_t>(node.calls));
    total.push_back(node.total);
    self.push_back(node.self);
    depth.push_back(static_cast<int64_t>(node.depth));
    nested.push_back(node.nested ? 1 : 0);
  }
  return Json{{"parent", parent}, {"proc", proc}, {"calls", calls}, {"total", total}, {"self", self}, {"depth", depth},
              {"nested", nested}};
}

// Each procedure's lines with its source span, and the files they come from.
void AddSources(const ReportModel& model, const SourceIndex& sources, Json& data) {
  std::map<size_t, std::vector<const LineStats*>> byProcedure;
  for (const LineStats& l : model.lines) byProcedure[l.procedure].push_back(&l);
  std::map<const SourceFile*, size_t> fileIndex;
  Json files = Json::array();
  Json spans = Json::object();
  for (auto& [p, lines] : byProcedure) {
    const ProcedureStats& stats = model.procedures[p];
    if (!stats.fileLines) continue;
    const SourceFile* file = sources.Find(stats.module);
    if (file == nullptr || file->lines.empty()) continue;
    auto [it, added] = fileIndex.emplace(file, files.size());
    if (added) files.push_back({{"path", file->path}, {"lines", file->lines}});
    int32_t lowest = lines.front()->line;
    for (const LineStats* l : lines) lowest = std::min(lowest, l->line);
    const auto [first, last] = SourceIndex::ProcedureSpan(*file, lowest);
    Json entries = Json::array();
    for (const LineStats* l : lines) entries.push_back({{"line", l->line}, {"hits", l->hits}, {"total", l->total}});
    spans[std::to_string(p)] = {{"file", it->second}, {"first", first}, {"last", last}, {"lines", std::move(entries)}};
  }
  data["files"] = std::move(files);
  data["sources"] = std::move(spans);
}

}  // namespace

std::string RenderReportHtml(const ReportModel& model, const SourceIndex* sources, const std::string& title) {
  Json data;
  data["frequency"] = model.frequency;
  data["totalTime"] = model.totalTime;
  data["calls"] = model.callCount;
  data["openCalls"] = model.openCalls;
  data["messages"] = model.messages;
  Json procedures = Json::array();
  for (const ProcedureStats& p : model.procedures)
    procedures.push_back({{"name", p.name}, {"module", p.module}, {"calls", p.calls}, {"inclusive", p.inclusive},
                          {"exclusive", p.exclusive}});
  data["procedures"] = std::move(procedures);
  const std::vector<size_t> byExclusive = ProceduresBy(model, &ProcedureStats::exclusive);
  data["hottest"] = byExclusive.empty() ? 0 : byExclusive.front();
  Json lines = Json::array();
  for (size_t i = 0; i < std::min(model.lines.size(), kPageLines); ++i) {
    const LineStats& l = model.lines[i];
    lines.push_back({{"proc", l.procedure}, {"line", l.line}, {"hits", l.hits}, {"total", l.total}});
  }
  data["lines"] = std::move(lines);
  size_t dropped = 0;
  data["tree"] = TreeArrays(model, dropped);
  data["droppedPaths"] = dropped;
  data["sourcesGiven"] = sources != nullptr && !sources->Empty();
  data["files"] = Json::array();
  data["sources"] = Json::object();
  if (sources != nullptr) AddSources(model, *sources, data);
  // Invalid UTF-8 in a name is replaced rather than refused.
  return ReportPage("quillet report " + title, data.dump(-1, ' ', false, Json::error_handler_t::replace));
}

}  // namespace quillet::tool
