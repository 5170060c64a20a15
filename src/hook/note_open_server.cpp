// HookNoteOpen_Server: a watched server task opens a note. An agent that the
// configuration selects gets a pending run on the opening thread; agent-class
// notes opened while a run is pending are rewritten and re-signed, under the
// configuration document's signer ID when it carries one.
#include <cstdio>

#include "config/notes_services.h"
#include "hook/agent_instrument.h"
#include "hook/hooks.h"
#include "hook/log_error.h"
#include "hook/quillet_svr.h"
#include "instrument/design_title.h"
#include "lsobject/design_kind.h"
#include "platform/platform.h"

namespace quillet {
namespace {

inline constexpr Status32 kErrDesignHidden = 0x10B14;  // "The database design is hidden"
inline constexpr int32_t kEndRunAtInitialize = 0x0020;
inline constexpr int32_t kEndRunAtTerminate = 0x0100;
inline constexpr uint16_t kTitleBuffer = 256;

std::string Hex4(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%.4X", value);
  return text;
}

}  // namespace

void CQuilletSvr::NoteOpened(std::string_view userName, DbHandle db, NoteId noteId, NoteHandle note,
                             uint16_t openFlags) {
  NotesApi& notes = Notes();
  if ((notes.NoteClass(note) & kNoteClassFilter) == 0) return;
  std::string databasePath;
  (void)notes.DbCanonicalPath(db, databasePath);
  std::string title;
  (void)notes.ItemText(note, "$TITLE", title, kTitleBuffer);
  const std::string user(userName);
  Trace("QUILLET: Agent '" + title + "' (0x" + Hex4(noteId) + ") in Opened By: " +
        platform::Utf16ToUtf8(platform::ExecutablePath()) + "\nDB: " + databasePath + "\nUser: " + user +
        "\nFlags " + Hex4(openFlags) + "\n");

  platform::LockHolder hold(Lock());
  (void)Refresh();  // a configuration that cannot be read leaves the previous one in force
  const int32_t kind = GetDesignKind(note);
  if (IsTargeted(databasePath, noteId, user)) {
    uint16_t replication = 0;
    if (notes.DbReplicationFlags(db, replication) != kNoError || (replication & kReplFlagDesignHidden) != 0) {
      RecordFailure(FindEntry(databasePath, noteId), user, kErrDesignHidden);
    } else {
      if (RunDepth() == 0) Enable(true, true, kKeepContextFlags);
      if (ProfileRef context = CurrentProfile()) {
        context->ClearDatabases();
        context->AddDatabase(databasePath);
      }
      std::string displayName;
      GetDesignTitle(note, displayName);
      PushRun(AgentRun{databasePath, user, kind, noteId, displayName});
    }
  }
  if (!IsEnabled()) return;
  AgentRun* top = TopRun();
  if (top == nullptr) return;
  const AgentRun run = *top;
  const ConfigEntry* entry = FindEntry(run.DatabasePath, run.NoteId);
  if (entry == nullptr) return;
  int32_t flags = entry->AgentProfileFlags;
  if (kind == kDesignKindAgent || kind == kDesignKindWebService) {
    if (!IsTargeted(databasePath, noteId, user)) return;
    flags |= kind == kDesignKindWebService ? kEndRunAtTerminate : kEndRunAtInitialize;
    top->UserName = user;
  }
  ProfileOpenedNote(run, flags, OpenedNote{title, databasePath, user, noteId, note, openFlags});
}

void CQuilletSvr::ProfileOpenedNote(const AgentRun& run, int32_t flags, const OpenedNote& opened) {
  NotesApi& notes = Notes();
  const ConfigEntry* entry = FindEntry(run.DatabasePath, run.NoteId);
  if (entry == nullptr) return;
  const std::string thread = Hex4(platform::CurrentThreadId());
  Trace("QUILLET(" + thread + "): Profiling '" + opened.title + "' (0x" + Hex4(opened.noteId) + ") in DB: " +
        opened.databasePath + "\nUser: " + opened.userName + "\nFlags " + Hex4(opened.openFlags) + "\n");

  const bool signer = entry->HasSignerId;
  SignerSwitch switched;
  if (signer) {
    if (Status32 status = SwitchToSignerId(run.DatabasePath, run.NoteId, switched); status != kNoError) {
      RecordFailure(entry, opened.userName, status);
      Enable(false, false, kKeepContextFlags);
      if (ConfigEntry* own = FindEntry(run.DatabasePath, run.NoteId)) own->AgentRunCount = 0;
      PopRun(run.NoteId);
      return;
    }
  }
  Status32 instrumented = kNoError;
  Status32 signedAgain = kNoError;
  try {
    InstrumentNote(opened.note, flags);
    instrumented = CheckAgentInstrumented(opened.note);
    signedAgain = ResignNote(opened.note);
  } catch (...) {
    // The server must not stay under the signer's ID, nor its extracted ID
    // file stay on disk, whatever failed while it was in use.
    if (signer) (void)SwitchBack(switched);
    throw;
  }
  if (signer) {
    if (Status32 back = SwitchBack(switched); back != kNoError) RecordFailure(entry, opened.userName, back);
  }
  if (instrumented != kNoError) {
    // The run's own agent could not be rewritten: no end of run will come.
    RecordFailure(entry, opened.userName, instrumented);
    if (opened.noteId == run.NoteId) PopRun(run.NoteId);
  } else if (signedAgain != kNoError && ServerLogging()) {
    LogError(signedAgain, "'%s' could not be signed again", opened.title.c_str());
  }
  std::string signerName;
  std::string certifier;
  (void)notes.NoteSigner(opened.note, signerName, certifier);
  Trace("QUILLET(" + thread + "): '" + opened.title + "' (0x" + Hex4(opened.noteId) + ") signed by " + signerName +
        " / " + certifier + "\n");
}

HookStatus QUILLET_HOOKAPI HookNoteOpen_Server(HookVector*, const char* userName, void*, uint32_t db, NoteId noteId,
                                               uint32_t note, uint16_t openFlags) noexcept {
  const AppUse app;
  if (!app) return kNoError;
  try {
    if (auto* server = dynamic_cast<CQuilletSvr*>(&*app)) {
      server->NoteOpened(userName != nullptr ? userName : "", DbHandle{db}, noteId, NoteHandle{note}, openFlags);
    }
  } catch (...) {
    // The host opens the note, rewritten or not.
  }
  return kNoError;
}

}  // namespace quillet
