// Folds a report's call tree into per-procedure, per-line and per-path figures.
#include "tools/quillet/report_model.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace quillet::tool {
namespace {

// The file line of a recorded line: a damaged report may record any line,
// and the sum is held to the 32-bit range rather than wrap.
int32_t FileLine(int32_t recorded, int32_t offset) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{recorded} + offset, INT32_MIN, INT32_MAX));
}

const std::string kDeeperFrames = "[deeper frames]";
const std::string kImplausibleTimes =
    "the report's times are implausible: their sums pass the counter's range and are shown capped";

// Adds to a running sum of ticks, stopping at the int64 limits; `capped`
// records that a sum was cut, which only a damaged report can cause.
void AddTicks(int64_t& sum, int64_t value, bool& capped) {
  if (__builtin_add_overflow(sum, value, &sum)) {
    sum = value > 0 ? INT64_MAX : INT64_MIN;
    capped = true;
  }
}

std::string UndescribedName(uint32_t key, uint32_t handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%08" PRIX32 ":%04" PRIX32, key, handle);
  return text;
}

// Registers every described procedure, then names them: the full name, with
// the module in front when several modules have a procedure of that name.
void AddDescribed(const Report& report, const SourceIndex* sources, const ModuleLines* modules, ReportModel& model,
                  std::map<std::pair<uint32_t, uint32_t>, size_t>& index) {
  std::map<std::string, std::vector<uint32_t>> keysByName;
  for (const ReportProcedure& p : report.Procedures) {
    const auto id = std::make_pair(p.Key, p.ProcedureId);
    if (index.count(id) != 0) continue;  // a repeated record: the first one stands
    ProcedureStats stats;
    stats.key = p.Key;
    stats.handle = p.ProcedureId;
    stats.description = &p;
    stats.module = !p.Title.empty() ? p.Title : p.ModuleDisplayName;
    index[id] = model.procedures.size();
    model.procedures.push_back(std::move(stats));
    if (!p.FullName.empty()) {
      auto& keys = keysByName[p.FullName];
      if (std::find(keys.begin(), keys.end(), p.Key) == keys.end()) keys.push_back(p.Key);
    }
  }
  for (ProcedureStats& stats : model.procedures) {
    const std::string& full = stats.description->FullName;
    if (full.empty()) {
      stats.name = UndescribedName(stats.key, stats.handle);
    } else if (keysByName[full].size() > 1) {
      const std::string qualifier =
          stats.module.empty() ? UndescribedName(stats.key, stats.handle).substr(0, 8) : stats.module;
      stats.name = qualifier + "/" + full;
    } else {
      stats.name = full;
    }
    if (modules != nullptr) stats.fileLines = modules->LineOffset(stats.key, stats.handle, stats.lineOffset);
    if (sources != nullptr && !full.empty()) {
      if (!stats.fileLines) stats.fileLines = sources->LineOffset(stats.module, full, stats.lineOffset);
      if (const SourceFile* file = sources->Find(stats.module)) stats.sourcePath = file->path;
    }
  }
}

// Ticks of a call's finished line passes (each line time is at least 0).
int64_t FinishedLineTime(const ReportCall& call, bool& capped) {
  int64_t sum = 0;
  for (const LineEntry& e : call.Lines) AddTicks(sum, std::max<int64_t>(e.Total, 0), capped);
  return sum;
}

size_t ProcedureOf(const ReportCall& call, const ModuleLines* modules, ReportModel& model,
                   std::map<std::pair<uint32_t, uint32_t>, size_t>& index) {
  const auto id = std::make_pair(call.Key, call.ProcedureId);
  auto it = index.find(id);
  if (it != index.end()) return it->second;
  ProcedureStats stats;
  stats.key = call.Key;
  stats.handle = call.ProcedureId;
  stats.name = UndescribedName(call.Key, call.ProcedureId);
  if (modules != nullptr) stats.fileLines = modules->LineOffset(stats.key, stats.handle, stats.lineOffset);
  index[id] = model.procedures.size();
  model.procedures.push_back(std::move(stats));
  return model.procedures.size() - 1;
}

// A child index the walk may follow: inside the calls and after its parent
// (the reader stores calls depth first), so no walk can loop.
bool IsChild(const Report& report, size_t parent, uint32_t child) {
  return child > parent && child < report.Calls.size();
}

size_t PathChild(ReportModel& model, size_t parent, size_t procedure) {
  auto found = model.paths[parent].children.find(procedure);
  if (found != model.paths[parent].children.end()) return found->second;
  PathNode node;
  node.procedure = procedure;
  node.parent = parent;
  node.depth = model.paths[parent].depth + 1;
  model.paths.push_back(std::move(node));
  const size_t added = model.paths.size() - 1;
  model.paths[parent].children[procedure] = added;
  return added;
}

}  // namespace

ReportModel BuildReportModel(const Report& report, const SourceIndex* sources, const ModuleLines* modules) {
  ReportModel model;
  model.frequency = report.Frequency;
  model.messages = report.Messages;
  std::map<std::pair<uint32_t, uint32_t>, size_t> index;
  AddDescribed(report, sources, modules, model, index);
  bool capped = false;

  const size_t n = report.Calls.size();
  model.callCount = n;
  model.duration.assign(n, 0);
  model.callProcedure.assign(n, 0);
  // Children come after their parent, so one backward pass sees every child
  // before its parent.
  for (size_t i = n; i-- > 0;) {
    const ReportCall& call = report.Calls[i];
    int64_t children = 0;
    for (uint32_t c : call.Children)
      if (IsChild(report, i, c)) AddTicks(children, model.duration[c], capped);
    model.duration[i] = std::max(std::max<int64_t>(call.Elapsed, 0), children);
    if (call.Elapsed == 0) {
      ++model.openCalls;
      // A run stopped inside the call (an endless loop cut off) has no exit
      // time, but the line passes it finished ran inside it too, and a
      // callee the run stopped in ran after them, in the unfinished line.
      int64_t bound = FinishedLineTime(call, capped);
      if (!call.Children.empty()) {
        const uint32_t last = call.Children.back();
        if (IsChild(report, i, last) && report.Calls[last].Elapsed == 0)
          AddTicks(bound, model.duration[last], capped);
      }
      model.duration[i] = std::max(model.duration[i], bound);
    }
  }
  for (size_t i = 0; i < n; ++i) model.callProcedure[i] = ProcedureOf(report.Calls[i], modules, model, index);

  std::map<std::pair<size_t, int32_t>, LineStats> lines;
  std::vector<uint32_t> active(model.procedures.size(), 0);
  model.paths.emplace_back();  // the synthetic root

  struct Frame {
    size_t call;
    size_t next;  // next child position
    size_t path;
  };
  std::vector<Frame> stack;
  auto enter = [&](size_t call, size_t parentPath) {
    const ReportCall& c = report.Calls[call];
    const size_t p = model.callProcedure[call];
    ProcedureStats& stats = model.procedures[p];
    ++stats.calls;
    const bool outermost = active[p]++ == 0;
    if (outermost) AddTicks(stats.inclusive, model.duration[call], capped);
    int64_t children = 0;
    for (uint32_t child : c.Children)
      if (IsChild(report, call, child)) AddTicks(children, model.duration[child], capped);
    const int64_t self = model.duration[call] - children;  // duration is at least children
    AddTicks(stats.exclusive, self, capped);
    // Without callees a call's line times are its own, an open call's too.
    const bool leaf = children == 0;
    // Below the depth limit every further frame goes into one frame.
    size_t path;
    if (model.paths[parentPath].depth >= kMaxPathDepth)
      path = model.paths[parentPath].procedure == SIZE_MAX ? parentPath : PathChild(model, parentPath, SIZE_MAX);
    else
      path = PathChild(model, parentPath, p);
    PathNode& node = model.paths[path];
    // A path below the depth limit is the whole stack, so every call on it
    // is nested or none is.
    if (node.procedure != SIZE_MAX) node.nested = !outermost;
    const bool folded = node.procedure == SIZE_MAX;
    for (const LineEntry& e : c.Lines) {
      const int32_t fileLine = FileLine(e.Line, stats.lineOffset);
      LineStats& line = lines[{p, fileLine}];
      line.procedure = p;
      line.line = fileLine;
      AddTicks(line.hits, e.Count, capped);
      if (outermost) AddTicks(line.total, e.Total, capped);
      if (leaf) AddTicks(line.self, e.Total, capped);
      if (folded) continue;
      PathLine& at = node.lines[fileLine];
      AddTicks(at.hits, e.Count, capped);
      if (leaf) AddTicks(at.self, e.Total, capped);
    }
    AddTicks(node.self, self, capped);
    if (path != parentPath) {
      node.calls += 1;
      AddTicks(node.total, model.duration[call], capped);
    }
    stack.push_back({call, 0, path});
  };

  for (uint32_t root : report.Roots) {
    if (root >= n) continue;
    AddTicks(model.totalTime, model.duration[root], capped);
    enter(root, 0);
    while (!stack.empty()) {
      Frame& top = stack.back();
      const ReportCall& c = report.Calls[top.call];
      if (top.next < c.Children.size()) {
        const uint32_t child = c.Children[top.next++];
        if (IsChild(report, top.call, child)) enter(child, top.path);
        continue;
      }
      --active[model.callProcedure[top.call]];
      stack.pop_back();
    }
  }
  model.paths[0].total = model.totalTime;
  if (capped) {
    model.implausible = true;
    model.messages.push_back(kImplausibleTimes);
  }

  for (auto& [id, stats] : lines) model.lines.push_back(stats);
  std::stable_sort(model.lines.begin(), model.lines.end(),
                   [](const LineStats& a, const LineStats& b) { return a.total > b.total; });
  return model;
}

const std::string& FrameName(const ReportModel& model, const PathNode& node) {
  return node.procedure == SIZE_MAX ? kDeeperFrames : model.procedures[node.procedure].name;
}

std::string FormatDuration(int64_t ticks, int64_t frequency) {
  char text[48];
  if (frequency <= 0) {
    std::snprintf(text, sizeof text, "%" PRId64 " ticks", ticks);
    return text;
  }
  // Each unit is tried from the smallest up; a value whose rounded figure
  // reaches 1000 (999,999 ns is "1000.00 us" at two decimals) takes the next.
  struct Unit {
    double perSecond;
    const char* name;
    int decimals;
  };
  static constexpr Unit kUnits[] = {{1e9, "ns", 0}, {1e6, "us", 2}, {1e3, "ms", 2}, {1.0, "s", 2}};
  const double seconds = std::fabs(static_cast<double>(ticks) / static_cast<double>(frequency));
  const char* sign = ticks < 0 ? "-" : "";
  for (const Unit& unit : kUnits) {
    char figure[40];
    std::snprintf(figure, sizeof figure, "%.*f", unit.decimals, seconds * unit.perSecond);
    if (std::strtod(figure, nullptr) < 1000.0 || &unit == &kUnits[std::size(kUnits) - 1]) {
      std::snprintf(text, sizeof text, "%s%s %s", sign, figure, unit.name);
      break;
    }
  }
  return text;
}

int64_t CappedSum(int64_t a, int64_t b) {
  bool capped = false;
  AddTicks(a, b, capped);
  return a;
}

double ToMicroseconds(int64_t ticks, int64_t frequency) {
  if (frequency <= 0) return 0.0;
  return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency);
}

int64_t RoundToTicks(double value) {
  // 2^63 is the first double past the int64 range.
  if (!(value < 9223372036854775808.0)) return INT64_MAX;
  if (value < -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(value);
}

std::vector<int32_t> LowestLines(const ReportModel& model) {
  std::vector<int32_t> lowest(model.procedures.size(), 0);
  std::vector<bool> seen(model.procedures.size(), false);
  for (const LineStats& l : model.lines) {
    if (seen[l.procedure] && l.line >= lowest[l.procedure]) continue;
    seen[l.procedure] = true;
    lowest[l.procedure] = l.line;
  }
  return lowest;
}

std::vector<size_t> ProceduresBy(const ReportModel& model, int64_t ProcedureStats::*field) {
  std::vector<size_t> order(model.procedures.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return model.procedures[a].*field > model.procedures[b].*field;
  });
  return order;
}

}  // namespace quillet::tool
