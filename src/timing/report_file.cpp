// Writing the report file: the procedure filter and a buffered file sink.
#include <string_view>

#include "config/host_text.h"
#include "config/notes_api.h"
#include "config/notes_services.h"
#include "platform/platform.h"
#include "timing/profile_data.h"
#include "timing/report_writer.h"

namespace quillet {
namespace {

class FileSink : public ReportSink {
 public:
  explicit FileSink(platform::OutputFile& file) : file_(file) {}
  bool Write(std::span<const uint8_t> bytes) override { return file_.Write(bytes.data(), bytes.size()); }

 private:
  platform::OutputFile& file_;
};

// A description goes into the report when its database is watched, or is the
// client's cache, whose procedures run on behalf of every database.
bool IsReportedDatabase(std::string_view path, const std::vector<std::string>& watchedPaths) {
  for (const std::string& watched : watchedPaths) {
    if (HostCompare(path, watched, kCompareNoCase) == 0) return true;
  }
  return IsCacheDatabase(path);
}

}  // namespace

bool CProfileData::WriteReport(std::u16string_view path, const std::vector<std::string>& watchedPaths,
                               const std::vector<std::string>& messages) const {
  platform::OutputFile file;
  if (!file.Create(path)) return false;
  FileSink sink(file);
  const bool written = WriteReportTo(
      sink, *this, [&](const ProcedureInfo& p) { return IsReportedDatabase(p.DatabasePath, watchedPaths); },
      messages);
  const bool closed = file.Close();
  return written && closed;
}

}  // namespace quillet
