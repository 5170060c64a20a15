// HookNoteUpdate: while the client profiles, design saves to the watched
// database are refused (rewritten code must never be stored); a view note
// gets its unrewritten script back before it is saved.
#include "config/message_catalog.h"
#include "config/notes_services.h"
#include "hook/hooks.h"
#include "hook/quillet_app.h"
#include "hook/rewrite_marker.h"
#include "platform/platform.h"

namespace quillet {
namespace {

inline constexpr uint16_t kUpdateFlagNoHook = 0x8000;     // the host's own bookkeeping save
inline constexpr uint16_t kUpdateFlagViewSave = 0x0008;   // a view or folder saved by its designer
inline constexpr NoteId kNoteIdByUnid = 0x80000000u;      // the note is named by its universal ID
inline constexpr NoteId kNoteIdNotStored = 0x80000001u;   // a note not stored yet in any database
inline constexpr Status32 kDesignSaveMessage = 0x12C03;
inline constexpr std::u16string_view kWebClientModule = u"NNOTESWS.DLL";
inline constexpr std::string_view kMessageBoxTitle = "Profiler";

// The one place the client says why a design save failed. A process that
// runs as a server and has no web-client module loaded has nobody to show
// the box to; every other process shows it.
void TellDesignSaveRefused(NotesApi& notes) {
  const bool desktop = notes.ProcessQuery(kProcessQueryServer);
  if (desktop && platform::GetModuleHandle(kWebClientModule) == 0) return;
  platform::ShowMessageBox(kMessageBoxTitle, MessageText(kDesignSaveMessage));
}

bool IsWatched(CQuilletApp& app, std::string_view path) {
  if (IsCacheDatabase(path)) return true;
  platform::LockHolder hold(app.Lock());
  const ProfileRef context = app.CurrentProfile();
  return context && context->IsWatchedDatabase(path);
}

// A view whose script could not be put back is not saved half restored.
HookStatus RestoreOrRefuse(CQuilletApp& app, NotesApi& notes, NoteHandle note) {
  if (app.RestoreViewNote(note) == kNoError) return kNoError;
  TellDesignSaveRefused(notes);
  return kErrDesignSaveRefused;
}

HookStatus NoteUpdate(CQuilletApp& app, DbHandle db, NoteId noteId, NoteHandle note, const uint16_t* updateFlags) {
  NotesApi& notes = Notes();
  app.PollMessages();
  const uint16_t flags = updateFlags != nullptr ? *updateFlags : 0;
  if (!app.IsEnabled()) {
    // A note opened while profiling was on still holds rewritten code after
    // the switch-off; it must not reach the database either. A view gets
    // its script back; any other design note is refused.
    if ((flags & kUpdateFlagNoHook) != 0) return kNoError;
    if (app.SavedViewNote(notes.NoteOriginator(note).unid)) return RestoreOrRefuse(app, notes, note);
    if ((notes.NoteClass(note) & kNoteClassDocument) != 0 || !CarriesRewriteMarker(note)) return kNoError;
    TellDesignSaveRefused(notes);
    return kErrDesignSaveRefused;
  }
  // A handle the host does not know: its own update reports that.
  if (!notes.NoteDatabase(note)) return kNoError;
  const uint16_t noteClass = notes.NoteClass(note);
  if ((flags & kUpdateFlagNoHook) != 0) return kNoError;
  if (noteId == 0 || noteId == kNoteIdNotStored) return kNoError;
  if (noteId == kNoteIdByUnid) {
    NoteId found = 0;
    uint16_t foundClass = 0;
    if (notes.DbNoteByUnid(db, notes.NoteOriginator(note).unid, found, foundClass) != kNoError) return kNoError;
  }
  if ((noteClass & kNoteClassDocument) != 0) return kNoError;
  if ((flags & kUpdateFlagViewSave) != 0) return RestoreOrRefuse(app, notes, note);
  std::string path;
  if (notes.DbCanonicalPath(db, path) != kNoError) return kNoError;
  if (!IsWatched(app, path)) return kNoError;
  TellDesignSaveRefused(notes);
  return kErrDesignSaveRefused;
}

// After a failure inside the hook: a design note the rewrite marked is still
// refused, the host's own saves aside. A note that cannot even be asked about
// is let through, as it would be without the profiler.
bool RefusedAfterFailure(NoteHandle note, const uint16_t* updateFlags) {
  try {
    NotesApi& notes = Notes();
    if (updateFlags != nullptr && (*updateFlags & kUpdateFlagNoHook) != 0) return false;
    return (notes.NoteClass(note) & kNoteClassDocument) == 0 && CarriesRewriteMarker(note);
  } catch (...) {
    return false;
  }
}

}  // namespace

HookStatus QUILLET_HOOKAPI HookNoteUpdate(HookVector*, const char*, void*, uint32_t db, NoteId noteId, uint32_t note,
                                          uint16_t* updateFlags) noexcept {
  const AppUse app;
  if (!app) return kNoError;
  try {
    return NoteUpdate(*app, DbHandle{db}, noteId, NoteHandle{note}, updateFlags);
  } catch (...) {
    // Handled below.
  }
  // The host's save goes on as it would without the profiler, unless the note
  // holds rewritten code: that must not be stored whatever failed above.
  if (!RefusedAfterFailure(NoteHandle{note}, updateFlags)) return kNoError;
  try {
    TellDesignSaveRefused(Notes());
  } catch (...) {
    // The refusal stands without its message box.
  }
  return kErrDesignSaveRefused;
}

}  // namespace quillet
