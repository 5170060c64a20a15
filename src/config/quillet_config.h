// CQuilletConfig: the server's in-memory table of the enabled documents of
// the configuration database, refreshed incrementally, with the agent
// selection and the temporary switch to a document's signer ID.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "config/notes_api.h"

namespace quillet {

inline constexpr std::string_view kDefaultConfigPath = "Brindlecot/ProfilerConfig.nsf";
inline constexpr std::string_view kDefaultWorkingDirName = "Brindlecot";
inline constexpr Status32 kMsgErrorOpeningConfig = 0x12C01;  // "Error opening configuration file %s"

// Instrumentation flags a document's "AgentProfileFlags" selects.
inline constexpr int32_t kProfileFlagsEntry = 0x80;     // "ENTRY": procedures only, no lines
inline constexpr int32_t kProfileFlagsFuncLine = 3;     // "FUNC_LINE", and any other text
inline constexpr int32_t kProfileFlagsFunc = 1;         // "FUNC"

// Receives the server's error lines: the status and the formatted text.
// The caller decides whether and where they are shown.
using ErrorLineFn = std::function<void(Status32 status, const std::string& text)>;

// One enabled configuration document.
struct ConfigEntry {
  bool Enabled = false;
  uint32_t AgentId = 0;    // the agent's note ID
  Unid AgentUNID;          // the agent's universal ID
  int32_t AgentRunCount = 1;  // runs left; selected only while at least 1
  bool HasSignerId = false;   // the document carries an ID file as "$FILE"
  int32_t AgentProfileFlags = kProfileFlagsFuncLine;
  std::string AgentTitle;
  std::string DatabasePath;   // compared exactly with the opened database's canonical path
  std::string DatabaseTitle;
  std::string AgentSignerPassword;
  std::string AgentUser;      // empty: any user
  std::string AgentServerTask;
};

// What a switch to a signer ID leaves for the switch back.
struct SignerSwitch {
  std::u16string TemporaryIdFile;  // the extracted ID file; deleted by SwitchBack
  std::string PreviousKeyFile;     // the ID file the process ran under
};

class CQuilletConfig {
 public:
  // ConfigPath from the setting "ProfileServerConfig" (even empty), else the
  // default; WorkingDir from "ProfileServerWorkingDir", else the data
  // directory's "Brindlecot"; Since the host's minimum time.
  CQuilletConfig();
  virtual ~CQuilletConfig() = default;

  // Reads the documents changed since the last refresh: a deleted or
  // disabled document loses its entry, a changed one replaces it. Returns
  // kErrNoModifiedNotes when nothing changed, the open status when the
  // database cannot be opened (the table is then unchanged), else 0.
  // REQUIRES: the application's Lock.
  Status32 Refresh();

  // The entry of the lowest configuration note ID for this database path
  // (exact comparison) and agent note ID; null when none.
  ConfigEntry* FindEntry(std::string_view databasePath, uint32_t agentId);
  // Whether an opened agent is selected: an entry exists, has runs left, and
  // names no user or this one (exact comparison).
  bool IsTargeted(std::string_view databasePath, uint32_t agentId, std::string_view userName);

  // Switches the process to the ID file attached to the entry FindEntry
  // gives for the agent. 0 with `done` empty when there is no such entry.
  // The ID file is extracted to an owner-only temporary file that is gone
  // again on every failure; on success SwitchBack removes it.
  Status32 SwitchToSignerId(std::string_view databasePath, uint32_t agentId, SignerSwitch& done);
  // Returns the process to its previous ID file and deletes the temporary
  // file, whatever the switches answer. The status of the return to the root ID.
  Status32 SwitchBack(const SignerSwitch& done);

  // Reads one configuration document into `entry`: false when it cannot be
  // opened, is not enabled, or is malformed (the last with an error line).
  bool ReadConfigDocument(DbHandle db, NoteId noteId, ConfigEntry& entry);

  const std::string& ConfigPath() const { return ConfigPath_; }
  const std::string& WorkingDir() const { return WorkingDir_; }
  const TimeDate& Since() const { return Since_; }
  const std::map<NoteId, ConfigEntry>& ConfigEntries() const { return ConfigEntries_; }

  // Where error lines go (console lines of the server, when it logs).
  void SetErrorLine(ErrorLineFn sink) { errorLine_ = std::move(sink); }
  // Lines that are always shown: a skipped malformed document.
  void SetNoticeLine(std::function<void(const std::string&)> sink) { noticeLine_ = std::move(sink); }

 private:
  void ReportError(Status32 status, const std::string& text) const;
  void ReportOpenError(Status32 status) const;
  void Notice(const std::string& text) const;
  // The switch itself once the configuration note is open.
  Status32 ExtractAndSwitch(NoteHandle note, const ConfigEntry& entry, SignerSwitch& done);

  std::string ConfigPath_;
  std::string WorkingDir_;
  TimeDate Since_;
  std::map<NoteId, ConfigEntry> ConfigEntries_;
  ErrorLineFn errorLine_;
  std::function<void(const std::string&)> noticeLine_;
};

}  // namespace quillet
