// CQuilletLog: the run and error documents of the profile log database.
#include "config/quillet_log.h"

#include <cstdio>

#include "config/message_catalog.h"
#include "config/notes_services.h"
#include "config/olm_handle.h"
#include "config/settings.h"

namespace quillet {
namespace {

// The file name and extension of a path, without its directory.
std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Keeps the first non-zero status of a sequence of steps.
class FirstFailure {
 public:
  void Take(Status32 status) {
    if (status_ == kNoError) status_ = status;
  }
  Status32 Get() const { return status_; }

 private:
  Status32 status_ = kNoError;
};

}  // namespace

CQuilletLog::CQuilletLog() {
  if (!ReadSetting("LogPath", LogPath_)) LogPath_ = kDefaultLogPath;
}

Status32 CQuilletLog::OpenLogDatabase(DbHandle& db) {
  Status32 status = Notes().DbOpen(LogPath_, db);
  if (StatusCode(status) == StatusCode(kErrFileNotFound)) status = CreateLogDatabase(LogPath_, db);
  if (status != kNoError && db) {
    (void)Notes().DbClose(db);  // created, but its access list is not the template's
    db = DbHandle{};
  }
  if (status != kNoError && errorLine_) {
    const std::string format = MessageText(kMsgErrorOpeningLog);
    char line[kLogAgentErrorTextMax + 1];
    std::snprintf(line, sizeof line, format.c_str(), LogPath_.c_str());
    errorLine_(status, line);
  }
  return status;
}

Status32 CQuilletLog::WriteCommonItems(NoteHandle note, const ConfigEntry& entry, std::string_view userName,
                                       Status32 error) {
  NotesApi& notes = Notes();
  FirstFailure failure;
  failure.Take(WriteTextItem(note, "Form", kLogForm));
  failure.Take(WriteTextItem(note, "ProfLog_DatabaseServer", notes.CurrentUserName()));
  failure.Take(WriteTextItem(note, "ProfLog_DatabasePath", entry.DatabasePath));
  failure.Take(WriteTextItem(note, "ProfLog_DatabaseTitle", entry.DatabaseTitle));
  failure.Take(notes.ItemSetTime(note, "ProfLog_StartTime", notes.CurrentTime()));
  failure.Take(WriteTextItem(note, "ProfLog_AgentTitle", entry.AgentTitle));
  failure.Take(WriteTextItem(note, "ProfLog_AgentUNID", FormatUNID(entry.AgentUNID.bytes)));
  failure.Take(notes.ItemSetNumber(note, "ProfLog_AgentId", static_cast<double>(entry.AgentId)));
  failure.Take(WriteTextItem(note, "ProfLog_AgentUser", userName));
  failure.Take(notes.ItemSetNumber(note, "ProfLog_AgentError", static_cast<double>(static_cast<uint32_t>(error))));
  return failure.Get();
}

Status32 CQuilletLog::WriteDocument(const ConfigEntry& entry, std::string_view userName, Status32 error,
                                    const std::function<Status32(NoteHandle note)>& finish) {
  DbHandle db;
  if (Status32 opened = OpenLogDatabase(db); opened != kNoError) return opened;
  COlmDbHandle database(db);
  NoteHandle note;
  if (STATUS created = Notes().NoteCreate(db, note); created != kNoError) return created;
  FirstFailure failure;
  failure.Take(WriteCommonItems(note, entry, userName, error));
  // A document missing one of its items is not saved: the caller reports the
  // failure as "no log document", and that must hold.
  if (failure.Get() == kNoError) failure.Take(finish(note));
  failure.Take(Notes().NoteClose(note));
  return failure.Get();
}

Status32 CQuilletLog::WriteRun(const ConfigEntry& entry, std::string_view userName, std::string_view reportPath) {
  return WriteDocument(entry, userName, kNoError, [&](NoteHandle note) -> Status32 {
    if (STATUS attached = Notes().AttachFile(note, reportPath, FileNameOf(reportPath)); attached != kNoError) {
      return attached;  // a document without its report is not kept
    }
    return Notes().NoteUpdate(note, 0);
  });
}

Status32 CQuilletLog::WriteError(const ConfigEntry& entry, std::string_view userName, Status32 status) {
  return WriteDocument(entry, userName, status, [&](NoteHandle note) -> Status32 {
    char text[kLogAgentErrorTextMax + 1] = {};
    (void)GetMessageText(status, text, sizeof text);  // a status without a text leaves it empty
    if (Status32 written = WriteTextItem(note, "ProfLog_AgentErrorText", text); written != kNoError) return written;
    return Notes().NoteUpdate(note, 0);
  });
}

Status32 CQuilletLog::CreateLogDatabase(std::string_view path, DbHandle& db) {
  NotesApi& notes = Notes();
  DbHandle created;
  if (STATUS copied = notes.DbCreateAndCopy(kLogTemplateName, path, kNoteClassAllNonData, 0, 0x20, created);
      copied != kNoError) {
    return copied;
  }
  std::string info;
  if (notes.DbInfoRead(created, info) == kNoError) {
    info = notes.DbInfoWithTitle(info, kLogTitle);
    (void)notes.DbInfoWrite(created, info);
  }
  (void)notes.DbClose(created);
  DbHandle reopened;
  if (STATUS opened = notes.DbOpen(path, reopened); opened != kNoError) return opened;

  // The icon keeps the new title: no refresh from the template.
  NoteId iconId = 0;
  NoteHandle icon;
  if (notes.DbSpecialNoteId(reopened, kSpecialNoteIcon, iconId) == kNoError &&
      notes.NoteOpen(reopened, iconId, 0, icon) == kNoError) {
    std::string flags;
    (void)ReadTextItem(icon, "$Flags", flags);
    std::erase(flags, 'R');
    (void)WriteTextItem(icon, "$Flags", flags);
    (void)WriteTextItem(icon, "$TITLE", info);
    (void)DeleteItems(icon, "$FlagsNoRefresh");
    (void)notes.NoteUpdate(icon, 0);
    (void)notes.NoteClose(icon);
  }

  constexpr uint16_t kDefaultAccessLevel = 6;
  DbHandle templ;
  Status32 status = notes.DbOpen(kLogTemplateName, templ);
  if (status == kNoError) {
    status = notes.DbCopyAcl(templ, reopened, kDefaultAccessLevel);
    (void)notes.DbClose(templ);
  }
  db = reopened;
  return status;
}

}  // namespace quillet
