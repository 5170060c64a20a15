// Report files: the reader, and every view of what it accepts; the JSON views
// must serialise whatever bytes the report's texts hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "timing/report_reader.h"
#include "tools/quillet/report_views.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillet::Report report;
  quillet::ReportError error;
  if (!quillet::ReadReport(std::span<const uint8_t>(data, size), report, error)) return 0;
  using quillet::tool::ReportModel;
  const ReportModel model = quillet::tool::BuildReportModel(report);
  constexpr auto kReplace = nlohmann::ordered_json::error_handler_t::replace;
  static_cast<void>(quillet::tool::RenderReportText(model, "fuzz.zvk", 20));
  static_cast<void>(quillet::tool::RenderReportText(model, "fuzz.zvk", 0));
  static_cast<void>(quillet::tool::RenderReportJson(model, 0).dump(2, ' ', false, kReplace));
  static_cast<void>(quillet::tool::RenderFolded(model));
  static_cast<void>(quillet::tool::RenderSpeedscope(report, model, "fuzz\xff.zvk"));
  return 0;
}
