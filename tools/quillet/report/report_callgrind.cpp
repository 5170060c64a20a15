// The callgrind format of a report, so callgrind's readers open it: each
// procedure's exclusive time on its lines (Time, in nanoseconds or ticks),
// its line hits as a second event, and its calls with their inclusive time
// and hits.
#include <algorithm>
#include <cinttypes>
#include <map>

#include "tools/quillet/report/report_formats.h"
#include "tools/quillet/text_format.h"

namespace quillet::tool {
namespace {

struct CallCost {
  uint64_t calls = 0;
  int64_t time = 0;  // ticks
  int64_t hits = 0;  // line hits inside the calls
};

// Names go on one line each: line breaks inside them would end the record.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string RenderCallgrind(const ReportModel& model, const std::string& title) {
  const size_t procedures = model.procedures.size();
  const size_t deeper = procedures;  // the folded-depth frame
  auto nameOf = [&](size_t p) { return p == deeper ? std::string("[deeper frames]") : OneLine(model.procedures[p].name); };
  auto fileOf = [&](size_t p) {
    if (p == deeper) return std::string("(unknown)");
    const ProcedureStats& stats = model.procedures[p];
    if (!stats.sourcePath.empty()) return OneLine(stats.sourcePath);
    return stats.module.empty() ? std::string("(unknown)") : OneLine(stats.module);
  };

  std::vector<int32_t> firstLine = LowestLines(model);
  firstLine.push_back(0);  // the folded-depth frame has no lines
  std::vector<std::vector<const LineStats*>> lines(procedures + 1);
  for (const LineStats& l : model.lines) lines[l.procedure].push_back(&l);
  // Line hits of each path with everything below it; a path comes after its
  // parent, so one backward pass adds every path to its parent.
  std::vector<int64_t> hitsBelow(model.paths.size(), 0);
  for (size_t i = model.paths.size(); i-- > 1;) {
    for (const auto& [number, at] : model.paths[i].lines) hitsBelow[i] = CappedSum(hitsBelow[i], at.hits);
    hitsBelow[model.paths[i].parent] = CappedSum(hitsBelow[model.paths[i].parent], hitsBelow[i]);
  }
  std::vector<int64_t> self(procedures + 1, 0);
  std::vector<std::map<size_t, CallCost>> callees(procedures + 1);
  for (size_t i = 1; i < model.paths.size(); ++i) {
    const PathNode& node = model.paths[i];
    const size_t p = node.procedure == SIZE_MAX ? deeper : node.procedure;
    self[p] += node.self;
    if (node.parent == 0) continue;  // a root: nobody called it
    const size_t caller = model.paths[node.parent].procedure == SIZE_MAX ? deeper : model.paths[node.parent].procedure;
    CallCost& cost = callees[caller][p];
    cost.calls += node.calls;
    // A recursive call's time is inside the outer call of the same
    // procedure, which its own arc holds already: adding it again would
    // make a procedure's inclusive time exceed the program's.
    if (node.nested) continue;
    cost.time += node.total;
    cost.hits = CappedSum(cost.hits, hitsBelow[i]);
  }

  std::string out;
  out += "# callgrind format\nversion: 1\ncreator: quillet\n";
  Append(out, "cmd: %s\n", OneLine(title).c_str());
  out += "positions: line\nevents: Time Hits\n";
  int64_t hits = 0;
  for (const LineStats& l : model.lines) hits += l.hits;
  Append(out, "summary: %" PRId64 " %" PRId64 "\n", ToNanoseconds(model.totalTime, model.frequency), hits);

  // Names are given once with their number and referred to by number after.
  std::vector<bool> named(procedures + 1, false);
  std::map<std::string, size_t> files;
  auto fn = [&](const char* field, size_t p) {
    if (named[p]) return Append(out, "%s=(%zu)\n", field, p + 1);
    named[p] = true;
    Append(out, "%s=(%zu) %s\n", field, p + 1, nameOf(p).c_str());
  };
  auto fl = [&](const char* field, size_t p) {
    const std::string file = fileOf(p);
    auto [it, added] = files.emplace(file, files.size() + 1);
    if (added) return Append(out, "%s=(%zu) %s\n", field, it->second, file.c_str());
    Append(out, "%s=(%zu)\n", field, it->second);
  };
  for (size_t p = 0; p <= procedures; ++p) {
    if (p == deeper && self[p] == 0 && callees[p].empty()) continue;
    out += '\n';
    fl("fl", p);
    fn("fn", p);
    // Lines carry the self time known to be theirs; the rest of the
    // procedure's exclusive time goes on its first line.
    int64_t placed = 0;
    for (const LineStats* l : lines[p]) placed += l->self;
    Append(out, "%" PRId32 " %" PRId64 " 0\n", firstLine[p],
           ToNanoseconds(std::max<int64_t>(self[p] - placed, 0), model.frequency));
    for (const LineStats* l : lines[p])
      Append(out, "%" PRId32 " %" PRId64 " %" PRId64 "\n", l->line, ToNanoseconds(l->self, model.frequency), l->hits);
    for (const auto& [callee, cost] : callees[p]) {
      if (fileOf(callee) != fileOf(p)) fl("cfl", callee);
      fn("cfn", callee);
      Append(out, "calls=%" PRIu64 " %" PRId32 "\n", cost.calls, firstLine[callee]);
      Append(out, "%" PRId32 " %" PRId64 " %" PRId64 "\n", firstLine[p], ToNanoseconds(cost.time, model.frequency),
             cost.hits);
    }
  }
  return out;
}

}  // namespace quillet::tool
