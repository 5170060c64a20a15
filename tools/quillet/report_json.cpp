// The JSON and speedscope views of a report.
#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

#include "tools/quillet/report_views.h"

namespace quillet::tool {
namespace {

using Json = nlohmann::ordered_json;

// Seconds, or null when the frequency cannot convert ticks.
Json Seconds(int64_t ticks, int64_t frequency) {
  if (frequency <= 0) return nullptr;
  return static_cast<double>(ticks) / static_cast<double>(frequency);
}

size_t Limit(size_t size, size_t top) { return top == 0 ? size : std::min(size, top); }

}  // namespace

Json RenderReportJson(const ReportModel& model, size_t top) {
  Json out;
  out["frequency"] = model.frequency;
  out["calls"] = model.callCount;
  out["open_calls"] = model.openCalls;
  out["total_ticks"] = model.totalTime;
  out["total_seconds"] = Seconds(model.totalTime, model.frequency);

  Json procedures = Json::array();
  const std::vector<size_t> order = ProceduresBy(model, &ProcedureStats::inclusive);
  for (size_t i = 0; i < Limit(order.size(), top); ++i) {
    const ProcedureStats& p = model.procedures[order[i]];
    Json entry;
    entry["name"] = p.name;
    entry["module"] = p.module;
    entry["key"] = p.key;
    entry["handle"] = p.handle;
    entry["described"] = p.description != nullptr;
    if (p.description != nullptr) {
      entry["database"] = p.description->DatabasePath;
      entry["note_id"] = p.description->NoteId;
      entry["item"] = p.description->ItemName;
      entry["title"] = p.description->Title;
      entry["full_name"] = p.description->FullName;
      entry["symbol_flags"] = p.description->SymbolFlags;
    }
    entry["calls"] = p.calls;
    entry["inclusive_ticks"] = p.inclusive;
    entry["exclusive_ticks"] = p.exclusive;
    entry["inclusive_seconds"] = Seconds(p.inclusive, model.frequency);
    entry["exclusive_seconds"] = Seconds(p.exclusive, model.frequency);
    procedures.push_back(std::move(entry));
  }
  out["procedures"] = std::move(procedures);

  Json lines = Json::array();
  for (size_t i = 0; i < Limit(model.lines.size(), top); ++i) {
    const LineStats& l = model.lines[i];
    const ProcedureStats& p = model.procedures[l.procedure];
    Json entry;
    entry["procedure"] = p.name;
    entry["line"] = l.line;
    entry["hits"] = l.hits;
    entry["total_ticks"] = l.total;
    entry["total_seconds"] = Seconds(l.total, model.frequency);
    entry["percent_of_procedure"] =
        p.inclusive > 0 ? 100.0 * static_cast<double>(l.total) / static_cast<double>(p.inclusive) : 0.0;
    lines.push_back(std::move(entry));
  }
  out["lines"] = std::move(lines);
  out["messages"] = model.messages;
  return out;
}

std::string RenderSpeedscope(const Report& report, const ReportModel& model, const std::string& name) {
  Json frames = Json::array();
  for (const ProcedureStats& p : model.procedures) {
    Json frame;
    frame["name"] = p.name;
    if (!p.module.empty()) frame["file"] = p.module;
    frames.push_back(std::move(frame));
  }
  // Microseconds when the frequency converts, else raw ticks.
  const bool convert = model.frequency > 0;
  auto at = [&](int64_t ticks) -> double {
    return convert ? ToMicroseconds(ticks, model.frequency) : static_cast<double>(ticks);
  };
  const auto dump = [](const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); };

  // The events are written as text: a million calls make two million of them.
  std::string events;
  bool first = true;
  auto event = [&](char type, size_t call, int64_t ticks) {
    char number[64];
    const auto end = std::to_chars(number, number + sizeof number, at(ticks)).ptr;
    events += first ? "{\"type\":\"" : ",{\"type\":\"";
    first = false;
    events += type;
    events += "\",\"frame\":";
    events += std::to_string(model.callProcedure[call]);
    events += ",\"at\":";
    events.append(number, end);
    events += '}';
  };
  struct Frame {
    size_t call;
    size_t next;     // next child position
    int64_t cursor;  // where the next child opens
    int64_t start;
  };
  std::vector<Frame> stack;
  int64_t clock = 0;
  auto open = [&](size_t call, int64_t start) {
    event('O', call, start);
    stack.push_back({call, 0, start, start});
  };
  for (uint32_t root : report.Roots) {
    if (root >= report.Calls.size()) continue;
    open(root, clock);
    while (!stack.empty()) {
      Frame& top = stack.back();
      const ReportCall& c = report.Calls[top.call];
      if (top.next < c.Children.size()) {
        const uint32_t child = c.Children[top.next++];
        if (child <= top.call || child >= report.Calls.size()) continue;
        const int64_t start = top.cursor;
        top.cursor = CappedSum(top.cursor, model.duration[child]);
        open(child, start);
        continue;
      }
      event('C', top.call, CappedSum(top.start, model.duration[top.call]));
      stack.pop_back();
    }
    clock = CappedSum(clock, model.duration[root]);
  }

  const std::string title = dump(Json(name));
  std::string out = "{\"$schema\":\"https://www.speedscope.app/file-format-schema.json\",\"shared\":{\"frames\":";
  out += dump(frames);
  out += "},\"profiles\":[{\"type\":\"evented\",\"name\":" + title + ",\"unit\":\"";
  out += convert ? "microseconds" : "none";
  out += "\",\"startValue\":0,\"endValue\":" + dump(Json(at(clock))) + ",\"events\":[";
  out += events;
  out += "]}],\"name\":" + title + ",\"activeProfileIndex\":0,\"exporter\":\"quillet\"}\n";
  return out;
}

}  // namespace quillet::tool
