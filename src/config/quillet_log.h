// CQuilletLog: the profile log database of a server, one document per
// finished run (with its report attached) or per failure to profile.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "config/quillet_config.h"

namespace quillet {

inline constexpr std::string_view kDefaultLogPath = "Brindlecot/ProfilerLog.nsf";
inline constexpr std::string_view kLogTemplateName = "kvxlogs.ntf";
inline constexpr std::string_view kLogTitle = "BC Profiler Log";
inline constexpr std::string_view kLogForm = "PROFLOG";
inline constexpr Status32 kMsgErrorOpeningLog = 0x12C02;  // "Error opening log file %s"
inline constexpr size_t kLogAgentErrorTextMax = 255;  // "ProfLog_AgentErrorText" holds at most this

class CQuilletLog {
 public:
  // LogPath from the setting "LogPath", else the default; relative to the
  // host data directory.
  CQuilletLog();
  virtual ~CQuilletLog() = default;

  // A run document with the report at `reportPath` attached as "$FILE"; the
  // document is saved only when the attachment succeeded. The status of the
  // last failing step, 0 when all succeeded.
  Status32 WriteRun(const ConfigEntry& entry, std::string_view userName, std::string_view reportPath);
  // An error document for `status`, saved only when all its items were
  // written. The save status, or the first failure.
  Status32 WriteError(const ConfigEntry& entry, std::string_view userName, Status32 status);

  // Opens the log database, creating it from the template when it does not
  // exist; failures other than success go to the error line.
  Status32 OpenLogDatabase(DbHandle& db);
  // Creates the database at `path` from the template "kvxlogs.ntf", titles
  // it, clears the icon's refresh flags and copies the template's access
  // list. The reopened database is handed back, also when the access list
  // could not be copied (the status says so).
  Status32 CreateLogDatabase(std::string_view path, DbHandle& db);

  const std::string& LogPath() const { return LogPath_; }
  void SetErrorLine(ErrorLineFn sink) { errorLine_ = std::move(sink); }

 private:
  // Writes the items both documents share, in their order, up to and
  // including "ProfLog_AgentError". The first failing write's status.
  Status32 WriteCommonItems(NoteHandle note, const ConfigEntry& entry, std::string_view userName,
                            Status32 error);

  // Opens the log, creates a note with the shared items, lets `finish` add
  // the rest and save (not when a shared item failed), and closes everything.
  // The first failing step's status.
  Status32 WriteDocument(const ConfigEntry& entry, std::string_view userName, Status32 error,
                         const std::function<Status32(NoteHandle note)>& finish);

  std::string LogPath_;
  ErrorLineFn errorLine_;
};

}  // namespace quillet
