// Writing the report file: the procedure filter and a buffered file sink.
#include <optional>
#include <string>
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
  auto writeTo = [&](std::u16string_view target) {
    platform::OutputFile file;
    if (!file.Create(target)) return false;
    FileSink sink(file);
    const bool written = WriteReportTo(
        sink, *this, [&](const ProcedureInfo& p) { return IsReportedDatabase(p.DatabasePath, watchedPaths); },
        messages);
    return file.Close() && written;
  };
  // A device cannot be replaced: it is written in place.
  const std::optional<platform::FileAttributes> existing = platform::GetFileAttributes(path);
  if (existing && existing->device) return writeTo(path);
  // Otherwise the report goes to a file beside the target that replaces it
  // only when wholly written, so a failed write leaves no partial report.
  const std::u16string temporary = std::u16string(path) + u".tmp";
  if (writeTo(temporary) && platform::MoveFileReplacing(temporary, path)) return true;
  static_cast<void>(platform::DeleteFile(temporary));
  return false;
}

}  // namespace quillet
