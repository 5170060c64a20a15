// Figures derived from a report for its views: per-procedure totals, hottest
// lines and the call tree folded by path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "timing/report_reader.h"
#include "tools/quillet/report/module_lines.h"
#include "tools/quillet/report/source_index.h"

namespace quillet::tool {

// Deeper frames than this are folded into one "[deeper frames]" frame in the
// path tree, so that a very deep recursion does not make views quadratic.
inline constexpr size_t kMaxPathDepth = 512;

struct ProcedureStats {
  uint32_t key = 0;
  uint32_t handle = 0;
  std::string name;    // what every view shows; "KKKKKKKK:HHHH" without a description
  std::string module;  // Title, else ModuleDisplayName; empty without a description
  const ReportProcedure* description = nullptr;
  uint64_t calls = 0;
  int64_t inclusive = 0;  // ticks of the outermost activations (recursion counted once)
  int64_t exclusive = 0;  // ticks spent in the procedure itself
  int32_t lineOffset = 0;  // added to recorded line numbers to give file lines
  bool fileLines = false;  // lineOffset is known: lines are the file's
  std::string sourcePath;  // the module's source file, when it was given
};

struct LineStats {
  size_t procedure = 0;  // index into ReportModel::procedures
  int32_t line = 0;
  int64_t hits = 0;  // every execution, nested calls of a recursive procedure too
  // Ticks, including procedures called from the line. A recursive procedure's
  // lines are timed in its outermost calls only: its nested calls run inside
  // one of those lines already.
  int64_t total = 0;
  // Ticks spent on the line itself, known from the calls that called nothing
  // (their line times hold no callees); the rest of the procedure's
  // exclusive time cannot be placed on a line.
  int64_t self = 0;
};

// A line of the procedure at a call path: the hits of every call on that
// path, and the ticks that the path's calls which called nothing spent on
// it (their line times hold no callees, so they are the line's own).
struct PathLine {
  int64_t hits = 0;
  int64_t self = 0;
};

// One node of the call tree with identical paths merged.
struct PathNode {
  size_t procedure = 0;  // index into procedures; SIZE_MAX for the folded-depth frame
  size_t parent = SIZE_MAX;
  size_t depth = 0;
  uint64_t calls = 0;
  int64_t total = 0;  // ticks
  int64_t self = 0;   // ticks
  // The procedure is active above this node already (a recursive call): its
  // total lies inside that outer call's, so sums by procedure leave it out.
  bool nested = false;
  std::map<size_t, size_t> children;  // procedure -> node
  std::map<int32_t, PathLine> lines;  // by line; empty for the folded-depth frame
};

struct ReportModel {
  int64_t frequency = 0;
  std::vector<ProcedureStats> procedures;
  std::vector<LineStats> lines;  // by total, hottest first
  std::vector<PathNode> paths;   // node 0 is the synthetic root above the roots
  // Per call, ticks: max(Elapsed, sum of children); an open call's at least
  // its finished line passes plus the open callee it stopped in.
  std::vector<int64_t> duration;
  std::vector<size_t> callProcedure;  // per call: index into procedures
  uint64_t callCount = 0;
  uint64_t openCalls = 0;  // calls recorded without an exit
  int64_t totalTime = 0;   // ticks of all roots
  bool implausible = false;  // a sum passed the int64 range and was capped (also a message)
  std::vector<std::string> messages;
};

// Builds the model without recursion (call trees may be tens of thousands deep).
// With `modules` or `sources`, line numbers are those of the source files:
// a procedure of a module given takes its offset from the module, any other
// from its source file.
ReportModel BuildReportModel(const Report& report, const SourceIndex* sources = nullptr,
                             const ModuleLines* modules = nullptr);

// Name of a path node's frame.
const std::string& FrameName(const ReportModel& model, const PathNode& node);

// Ticks in human units ("1.50 ms"); "N ticks" when the frequency is unusable.
std::string FormatDuration(int64_t ticks, int64_t frequency);
// a + b held at the int64 limits.
int64_t CappedSum(int64_t a, int64_t b);
// Ticks in microseconds; 0 when the frequency is unusable.
double ToMicroseconds(int64_t ticks, int64_t frequency);
// A double truncated to int64, held at the int64 limits (NaN gives the maximum).
int64_t RoundToTicks(double value);

// Each procedure's lowest timed line (0 for a procedure without lines): the
// line that stands for the procedure itself in the callgrind and pprof views.
std::vector<int32_t> LowestLines(const ReportModel& model);

// Procedure indexes ordered by `field` (inclusive or exclusive), largest first.
std::vector<size_t> ProceduresBy(const ReportModel& model, int64_t ProcedureStats::*field);

}  // namespace quillet::tool
