// pprof's profile of a report, built with the protobuf library and
// compressed with zlib.
#include <zlib.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/quillet/report/profile.pb.h"  // generated from profile.proto
#include "tools/quillet/report/report_formats.h"

namespace quillet::tool {
namespace {

namespace pb = perftools::profiles;

class StringTable {
 public:
  explicit StringTable(pb::Profile& profile) : profile_(profile) { Index(""); }
  int64_t Index(const std::string& text) {
    auto [it, added] = index_.emplace(text, static_cast<int64_t>(index_.size()));
    if (added) profile_.add_string_table(text);
    return it->second;
  }

 private:
  pb::Profile& profile_;
  std::unordered_map<std::string, int64_t> index_;
};

bool Gzip(const std::string& data, std::string& out, std::string& error) {
  z_stream stream{};
  // 15 window bits plus 16: a gzip header and trailer around the deflate data.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    error = "cannot start compression";
    return false;
  }
  out.resize(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) {
    error = "compression failed";
    return false;
  }
  return true;
}

}  // namespace

int64_t ToNanoseconds(int64_t ticks, int64_t frequency) {
  if (frequency <= 0) return ticks;
  const long double ns = static_cast<long double>(ticks) * 1e9L / static_cast<long double>(frequency) + 0.5L;
  // Only a damaged report's sums come near the limits: they are held there.
  if (ns >= 9223372036854775807.0L) return INT64_MAX;
  if (ns <= -9223372036854775807.0L) return INT64_MIN;
  return static_cast<int64_t>(ns);
}

bool RenderPprof(const ReportModel& model, std::string& out, std::string& error) {
  if (model.paths.size() > UINT32_MAX) {
    error = "too many call paths for one profile";
    return false;
  }
  pb::Profile profile;
  StringTable strings(profile);
  auto* calls = profile.add_sample_type();
  calls->set_type(strings.Index("calls"));
  calls->set_unit(strings.Index("count"));
  auto* time = profile.add_sample_type();
  time->set_type(strings.Index("time"));
  time->set_unit(strings.Index(model.frequency > 0 ? "nanoseconds" : "ticks"));
  // Appended after the first two, so that readers of their indexes still
  // find them: the line hits alone (calls holds the paths' calls and the
  // line hits together).
  auto* hits = profile.add_sample_type();
  hits->set_type(strings.Index("hits"));
  hits->set_unit(strings.Index("count"));
  profile.mutable_period_type()->set_type(time->type());
  profile.mutable_period_type()->set_unit(time->unit());
  profile.set_period(1);
  profile.set_default_sample_type(time->type());
  profile.set_duration_nanos(ToNanoseconds(model.totalTime, model.frequency));

  // The lowest line of each procedure stands for the procedure itself.
  const size_t procedures = model.procedures.size();
  const std::vector<int32_t> firstLine = LowestLines(model);

  // Function and location p + 1 are procedure p; one more for the folded frames.
  const uint64_t deeper = procedures + 1;
  for (uint64_t id = 1; id <= deeper; ++id) {
    const bool folded = id == deeper;
    const ProcedureStats* p = folded ? nullptr : &model.procedures[id - 1];
    auto* function = profile.add_function();
    function->set_id(id);
    function->set_name(strings.Index(folded ? "[deeper frames]" : p->name));
    function->set_system_name(function->name());
    if (!folded) function->set_filename(strings.Index(p->sourcePath.empty() ? p->module : p->sourcePath));
    if (!folded) function->set_start_line(firstLine[id - 1]);
    auto* location = profile.add_location();
    location->set_id(id);
    auto* line = location->add_line();
    line->set_function_id(id);
    if (!folded) line->set_line(firstLine[id - 1]);
  }
  // A location per line of a procedure.
  uint64_t nextLocation = deeper + 1;
  std::map<std::pair<size_t, int32_t>, uint64_t> lineLocation;
  for (const LineStats& l : model.lines) {
    auto* location = profile.add_location();
    location->set_id(nextLocation);
    auto* line = location->add_line();
    line->set_function_id(l.procedure + 1);
    line->set_line(l.line);
    lineLocation[{l.procedure, l.line}] = nextLocation++;
  }
  // Per merged call path: a sample labelled kind=line for each line of its
  // procedure, with the line's hits as its calls and hits and the line's own time
  // (from the calls that called nothing), then a sample at the procedure's
  // location with the path's calls and the rest of its self time. Line and
  // procedure times of a path add up to its self time, the self times to
  // the report's total.
  const int64_t kindKey = strings.Index("kind");
  const int64_t lineKind = strings.Index("line");
  std::vector<uint64_t> callers;
  for (size_t i = 1; i < model.paths.size(); ++i) {
    const PathNode& node = model.paths[i];
    callers.clear();
    for (size_t n = node.parent; n != 0 && n != SIZE_MAX; n = model.paths[n].parent) {
      const size_t procedure = model.paths[n].procedure;
      callers.push_back(procedure == SIZE_MAX ? deeper : procedure + 1);
    }
    // Ticks are converted as running sums, so that the parts' nanoseconds
    // add up to exactly the nanoseconds of the whole.
    int64_t placed = 0;
    int64_t placedNs = 0;
    for (const auto& [number, at] : node.lines) {
      const int64_t part = std::clamp<int64_t>(at.self, 0, std::max<int64_t>(node.self, 0) - placed);
      placed += part;
      const int64_t ns = ToNanoseconds(placed, model.frequency) - placedNs;
      placedNs += ns;
      auto* sample = profile.add_sample();
      sample->add_location_id(lineLocation.at({node.procedure, number}));
      for (uint64_t id : callers) sample->add_location_id(id);
      sample->add_value(at.hits);
      sample->add_value(ns);
      sample->add_value(at.hits);
      auto* label = sample->add_label();
      label->set_key(kindKey);
      label->set_str(lineKind);
    }
    auto* sample = profile.add_sample();
    sample->add_location_id(node.procedure == SIZE_MAX ? deeper : node.procedure + 1);
    for (uint64_t id : callers) sample->add_location_id(id);
    sample->add_value(static_cast<int64_t>(node.calls));
    sample->add_value(ToNanoseconds(node.self, model.frequency) - placedNs);
    sample->add_value(0);
  }
  std::string bytes;
  if (!profile.SerializeToString(&bytes)) {
    error = "cannot encode the profile";
    return false;
  }
  return Gzip(bytes, out, error);
}

}  // namespace quillet::tool
