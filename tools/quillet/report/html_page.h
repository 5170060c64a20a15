// The page the HTML views fill in: styles and script in one self-contained file.
#pragma once

#include <string>
#include <string_view>

namespace quillet::tool {

// The report page around `dataJson` (the figures, as built by RenderReportHtml).
std::string ReportPage(std::string_view title, std::string_view dataJson);
// A page with the shared styles around ready-made `body` HTML (the diff view).
std::string StaticPage(std::string_view title, std::string_view body);
// `text` with &, <, >, " and ' escaped for HTML text and attribute values.
std::string EscapeHtml(std::string_view text);

}  // namespace quillet::tool
