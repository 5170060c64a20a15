// The text and folded-stack views of a report.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/quillet/report_views.h"
#include "tools/quillet/text_format.h"

namespace quillet::tool {
namespace {

// The call tree in text stops at this depth and after this many rows, so a
// deep or wide tree stays readable; the folded view has everything.
constexpr size_t kTreeDepth = 24;
constexpr size_t kTreeRows = 200;

size_t Limit(size_t size, size_t top) { return top == 0 ? size : std::min(size, top); }

void ProcedureTable(std::string& out, const ReportModel& model, const std::vector<size_t>& order, size_t top) {
  Append(out, "  %12s %12s %9s %12s  %s\n", "inclusive", "exclusive", "calls", "incl/call", "procedure");
  for (size_t i = 0; i < Limit(order.size(), top); ++i) {
    const ProcedureStats& p = model.procedures[order[i]];
    // A procedure the report records but never called has no time per call.
    const std::string perCall =
        p.calls == 0 ? "-" : FormatDuration(p.inclusive / static_cast<int64_t>(p.calls), model.frequency);
    std::string name = p.name;
    if (!p.module.empty()) name += "  (" + p.module + ")";
    Append(out, "  %12s %12s %9" PRIu64 " %12s  %s\n", FormatDuration(p.inclusive, model.frequency).c_str(),
           FormatDuration(p.exclusive, model.frequency).c_str(), p.calls, perCall.c_str(), name.c_str());
  }
}

void LineTable(std::string& out, const ReportModel& model, size_t top) {
  Append(out, "  %-32s %7s %9s %12s %8s\n", "procedure", "line", "hits", "total", "% proc");
  for (size_t i = 0; i < Limit(model.lines.size(), top); ++i) {
    const LineStats& l = model.lines[i];
    const ProcedureStats& p = model.procedures[l.procedure];
    const double percent = p.inclusive > 0 ? 100.0 * static_cast<double>(l.total) / static_cast<double>(p.inclusive) : 0.0;
    Append(out, "  %-32s %7" PRId32 " %9" PRId64 " %12s %7.1f%%\n", p.name.c_str(), l.line, l.hits,
           FormatDuration(l.total, model.frequency).c_str(), percent);
  }
}

// Children of a path node, largest total first.
std::vector<size_t> SortedChildren(const ReportModel& model, size_t node) {
  std::vector<size_t> children;
  for (const auto& entry : model.paths[node].children) children.push_back(entry.second);
  std::stable_sort(children.begin(), children.end(),
                   [&](size_t a, size_t b) { return model.paths[a].total > model.paths[b].total; });
  return children;
}

void CallTree(std::string& out, const ReportModel& model) {
  size_t rows = 0;
  size_t hidden = 0;
  std::vector<size_t> pending;  // nodes still to print, next at the back
  std::vector<size_t> roots = SortedChildren(model, 0);
  pending.assign(roots.rbegin(), roots.rend());
  while (!pending.empty()) {
    const size_t id = pending.back();
    pending.pop_back();
    const PathNode& node = model.paths[id];
    if (rows >= kTreeRows || node.depth > kTreeDepth) {
      ++hidden;
      continue;
    }
    ++rows;
    std::string indent(2 * node.depth, ' ');
    Append(out, "%s%s  %s total, %s self, %" PRIu64 " call%s\n", indent.c_str(), FrameName(model, node).c_str(),
           FormatDuration(node.total, model.frequency).c_str(), FormatDuration(node.self, model.frequency).c_str(),
           node.calls, node.calls == 1 ? "" : "s");
    if (node.depth == kTreeDepth) {
      // Count what lies below instead of walking it.
      hidden += node.children.size();
      continue;
    }
    std::vector<size_t> children = SortedChildren(model, id);
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
  if (hidden > 0) Append(out, "  ... %zu more path%s not shown (see --format folded)\n", hidden, hidden == 1 ? "" : "s");
}

}  // namespace

std::string RenderReportText(const ReportModel& model, const std::string& title, size_t top) {
  std::string out;
  Append(out, "Report %s\n", title.c_str());
  Append(out, "  counter frequency %" PRId64 " counts/s; %" PRIu64 " calls of %zu procedures; total time %s\n",
         model.frequency, model.callCount, model.procedures.size(), FormatDuration(model.totalTime, model.frequency).c_str());
  if (model.frequency <= 0) out += "  the counter frequency is unusable: times are shown in counter ticks\n";
  if (model.openCalls > 0)
    Append(out,
           "  %" PRIu64 " call%s had not ended when the report was written"
           " (timed by their callees or finished lines)\n",
           model.openCalls, model.openCalls == 1 ? "" : "s");

  out += "\nProcedures by inclusive time\n";
  ProcedureTable(out, model, ProceduresBy(model, &ProcedureStats::inclusive), top);
  out += "\nProcedures by exclusive time\n";
  ProcedureTable(out, model, ProceduresBy(model, &ProcedureStats::exclusive), top);
  out += "\nHottest lines\n";
  if (model.lines.empty())
    out += "  (no line timings)\n";
  else
    LineTable(out, model, top);
  out += "\nCall tree\n";
  if (model.paths.size() <= 1)
    out += "  (no calls)\n";
  else
    CallTree(out, model);
  out += "\nWarnings\n";
  if (model.messages.empty()) out += "  (none)\n";
  for (const std::string& m : model.messages) out += "  " + m + "\n";
  return out;
}

std::string RenderFolded(const ReportModel& model) {
  std::string out;
  std::vector<std::string> names;  // frame names with the stack separator replaced
  names.reserve(model.procedures.size());
  for (const ProcedureStats& p : model.procedures) {
    std::string name = p.name;
    std::replace(name.begin(), name.end(), ';', ',');
    names.push_back(std::move(name));
  }
  // Depth-first over the path tree, keeping the current stack as one string.
  std::string stack;
  std::vector<size_t> lengths;  // stack length before each open frame
  struct Item {
    size_t node;
    bool leave;
  };
  std::vector<Item> pending;
  for (auto it = model.paths[0].children.rbegin(); it != model.paths[0].children.rend(); ++it)
    pending.push_back({it->second, false});
  while (!pending.empty()) {
    const Item item = pending.back();
    pending.pop_back();
    if (item.leave) {
      stack.resize(lengths.back());
      lengths.pop_back();
      continue;
    }
    const PathNode& node = model.paths[item.node];
    lengths.push_back(stack.size());
    if (!stack.empty()) stack += ';';
    stack += node.procedure == SIZE_MAX ? FrameName(model, node) : names[node.procedure];
    const double self = model.frequency > 0 ? ToMicroseconds(node.self, model.frequency) : static_cast<double>(node.self);
    const int64_t value = RoundToTicks(self + 0.5);
    if (value > 0) {
      out += stack;
      out += ' ';
      out += std::to_string(value);
      out += '\n';
    }
    pending.push_back({item.node, true});
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) pending.push_back({it->second, false});
  }
  return out;
}

}  // namespace quillet::tool
