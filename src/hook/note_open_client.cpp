// HookNoteOpen_Client: while the client profiles, every note opened from the
// watched database, or from the design cache on its behalf, has its compiled
// LotusScript rewritten in memory before the host goes on with the open.
#include "config/notes_services.h"
#include "hook/hooks.h"
#include "hook/note_source.h"
#include "hook/quillet_app.h"

namespace quillet {
namespace {

void NoteOpen(CQuilletApp& app, DbHandle db, NoteHandle note) {
  app.PollMessages();
  if (!app.IsEnabled()) return;
  std::string path;
  if (!NoteSourcePath(db, note, path)) return;
  {
    platform::LockHolder hold(app.Lock());
    const ProfileRef context = app.CurrentProfile();
    if (!context || !context->IsWatchedDatabase(path)) return;
  }
  app.InstrumentNote(note, 0);
  // The rewritten note carries the current user's signature, as one the
  // user changed would.
  static_cast<void>(ResignNote(note));
}

}  // namespace

HookStatus QUILLET_HOOKAPI HookNoteOpen_Client(HookVector*, const char*, void*, uint32_t db, NoteId, uint32_t note,
                                               uint16_t) noexcept {
  const AppUse app;
  if (!app) return kNoError;
  try {
    NoteOpen(*app, DbHandle{db}, NoteHandle{note});
  } catch (...) {
    // The note opens as it is stored: a failed rewrite never stops the host.
  }
  return kNoError;
}

}  // namespace quillet
