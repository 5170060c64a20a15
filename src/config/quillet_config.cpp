// CQuilletConfig: construction, the incremental refresh, document reading
// and the agent selection.
#include "config/quillet_config.h"

#include <cstdio>
#include <optional>

#include "config/config_entry.h"
#include "config/host_text.h"
#include "config/message_catalog.h"
#include "config/notes_services.h"
#include "config/olm_handle.h"
#include "config/settings.h"

namespace quillet {
namespace {

// A text item cut as the host's 256-byte buffers cut it; absent or not text
// reads as empty.
std::string ConfigText(NoteHandle note, std::string_view name) {
  std::string text;
  if (ReadTextItem(note, name, text) != kNoError) return {};
  if (text.size() > kConfigTextMax) text.resize(kConfigTextMax);
  return text;
}

bool HasItem(NoteHandle note, std::string_view name) {
  ItemInfo info;
  return Notes().ItemFind(note, name, info) == kNoError;
}

// Closes a note when it goes.
class OpenNote {
 public:
  explicit OpenNote(NoteHandle note) : note_(note) {}
  ~OpenNote() {
    if (note_) (void)Notes().NoteClose(note_);
  }
  OpenNote(const OpenNote&) = delete;
  OpenNote& operator=(const OpenNote&) = delete;

 private:
  NoteHandle note_;
};

}  // namespace

CQuilletConfig::CQuilletConfig() {
  if (!ReadSetting("ProfileServerConfig", ConfigPath_)) ConfigPath_ = kDefaultConfigPath;
  if (!ReadSetting("ProfileServerWorkingDir", WorkingDir_)) {
    WorkingDir_ = Notes().DataDirectory() + "/" + std::string(kDefaultWorkingDirName);
  }
  Since_ = Notes().MinimumTime();
}

void CQuilletConfig::ReportError(Status32 status, const std::string& text) const {
  if (errorLine_) errorLine_(status, text);
}

void CQuilletConfig::ReportOpenError(Status32 status) const {
  std::string text = MessageText(kMsgErrorOpeningConfig);
  char line[kConfigTextMax + 1];
  std::snprintf(line, sizeof line, text.c_str(), ConfigPath_.c_str());
  ReportError(status, line);
}

void CQuilletConfig::Notice(const std::string& text) const {
  if (noticeLine_) noticeLine_(text);
}

Status32 CQuilletConfig::Refresh() {
  NotesApi& notes = Notes();
  DbHandle db;
  TimeDate modified;
  const STATUS opened = notes.DbOpenModifiedSince(ConfigPath_, Since_, db, modified);
  if (StatusCode(opened) == kErrNoModifiedNotes) return opened;
  if (opened != kNoError) {
    ReportOpenError(opened);
    return opened;
  }
  COlmDbHandle database(db);
  TableHandle table;
  TimeDate until;
  if (notes.DbModifiedNoteTable(db, kNoteClassDocument, Since_, table, until) != kNoError) return kNoError;
  Since_ = until;
  COlmTableHandle ids(table);
  NoteId id = 0;
  for (bool first = true; notes.TableScan(table, first, id); first = false) {
    if ((id & kNoteIdDeletedBit) != 0) {
      ConfigEntries_.erase(id & ~kNoteIdDeletedBit);
      continue;
    }
    ConfigEntries_.erase(id);
    ConfigEntry entry;
    if (ReadConfigDocument(db, id, entry)) ConfigEntries_.emplace(id, std::move(entry));
  }
  return kNoError;
}

bool CQuilletConfig::ReadConfigDocument(DbHandle db, NoteId noteId, ConfigEntry& entry) {
  NotesApi& notes = Notes();
  NoteHandle note;
  if (notes.NoteOpen(db, noteId, 0, note) != kNoError) return false;
  OpenNote closer(note);
  if (!EnabledFrom(ConfigText(note, "Enabled"))) return false;

  ConfigEntry read;
  read.Enabled = true;
  read.DatabasePath = ConfigText(note, "DatabasePath");
  read.DatabaseTitle = ConfigText(note, "DatabaseTitle");
  const std::string agentId = ConfigText(note, "AgentId");
  double runCount = 0;
  read.AgentRunCount = RunCountFrom(notes.ItemNumber(note, "AgentRunCount", runCount)
                                        ? std::optional<double>(runCount)
                                        : std::nullopt);
  read.AgentServerTask = ConfigText(note, "AgentServerTask");
  read.AgentProfileFlags = ProfileFlagsFrom(ConfigText(note, "AgentProfileFlags"));
  read.AgentUser = ConfigText(note, "AgentUser");
  read.AgentTitle = ConfigText(note, "AgentTitle");
  read.HasSignerId = HasItem(note, "$FILE");
  read.AgentSignerPassword = ConfigText(note, "AgentSignerPassword");
  const std::string unid = ConfigText(note, "AgentUNID");

  // A document that cannot name its agent would select nothing or the wrong
  // note: it is left out, and said so, while the others still apply.
  const char* problem = nullptr;
  const std::optional<uint32_t> id = ParseHexNoteId(agentId);
  std::optional<Unid> universal = unid.empty() ? std::optional<Unid>(Unid{}) : ParseUnidText(unid);
  if (read.DatabasePath.empty()) {
    problem = "no DatabasePath";
  } else if (!id) {
    problem = "AgentId is not a hexadecimal note ID";
  } else if (!universal) {
    problem = "AgentUNID is not 32 hexadecimal digits";
  }
  if (problem != nullptr) {
    char line[160];
    std::snprintf(line, sizeof line, "PROFILER: configuration document 0x%X skipped: %s", noteId, problem);
    Notice(line);
    return false;
  }
  read.AgentId = *id;
  read.AgentUNID = *universal;
  entry = std::move(read);
  return true;
}

ConfigEntry* CQuilletConfig::FindEntry(std::string_view databasePath, uint32_t agentId) {
  for (auto& [noteId, entry] : ConfigEntries_) {
    if (entry.AgentId == agentId && HostCompare(entry.DatabasePath, databasePath, kCompareExact) == 0) return &entry;
  }
  return nullptr;
}

bool CQuilletConfig::IsTargeted(std::string_view databasePath, uint32_t agentId, std::string_view userName) {
  const ConfigEntry* entry = FindEntry(databasePath, agentId);
  if (entry == nullptr || entry->AgentRunCount < 1) return false;
  if (entry->AgentUser.empty()) return true;
  return HostCompare(entry->AgentUser, userName, kCompareExact) == 0;
}

}  // namespace quillet
