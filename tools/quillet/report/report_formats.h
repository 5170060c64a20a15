// The report views for people and for other tools: an HTML page, pprof's
// profile and callgrind's format.
#pragma once

#include <string>

#include "tools/quillet/report/source_index.h"
#include "tools/quillet/report_model.h"

namespace quillet::tool {

// One self-contained page: summary, procedures, hottest lines, call tree,
// callers and callees, flame graph and, with `sources`, annotated source.
std::string RenderReportHtml(const ReportModel& model, const SourceIndex* sources, const std::string& title);

// A gzip-compressed pprof profile: samples of calls/count and time/nanoseconds
// over the merged call paths, with a location per procedure and per line.
// False with a reason when compression fails.
bool RenderPprof(const ReportModel& model, std::string& out, std::string& error);

// The callgrind format: per procedure its exclusive time and line hits, and
// its calls with their inclusive time.
std::string RenderCallgrind(const ReportModel& model, const std::string& title);

// Nanoseconds of `ticks`; the ticks themselves when the frequency is unusable.
int64_t ToNanoseconds(int64_t ticks, int64_t frequency);

}  // namespace quillet::tool
