// The views of a report: text, JSON, folded stacks and speedscope.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/quillet/report_model.h"

namespace quillet::tool {

// `top` limits the procedure and line lists; 0 shows everything.
std::string RenderReportText(const ReportModel& model, const std::string& title, size_t top);
nlohmann::ordered_json RenderReportJson(const ReportModel& model, size_t top);
// One line per distinct stack, "A;B;C <self microseconds>" (ticks when the
// frequency is unusable), in path order; stacks without self time are left out.
std::string RenderFolded(const ReportModel& model);
// A speedscope file with one evented profile laid out from the call tree:
// each call opens where its previous sibling closed. Ends with a newline.
std::string RenderSpeedscope(const Report& report, const ReportModel& model, const std::string& name);

}  // namespace quillet::tool
