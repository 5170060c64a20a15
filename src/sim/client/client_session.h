// The Notes client, simulated: the library started as the client process
// through its entry point and hook vector, and a user's session in it that
// opens databases and design elements (each open passing the note-open hook,
// as the host's does), runs their LotusScript in the runner and saves notes
// through the note-update hook.
#pragma once

#include <string>
#include <string_view>

#include "hook/hook_vector.h"
#include "sim/client/note_scripts.h"
#include "sim/lsrun/runner.h"
#include "sim/sim_host.h"

namespace quillet::sim {

inline constexpr std::u16string_view kClientExecutable = u"C:\\Notes\\nlnotes.exe";

class ClientSession {
 public:
  // REQUIRES: `host` is the installed Notes API for the session's life.
  explicit ClientSession(SimHost& host);
  // Ends the library (Stop) when the session started it.
  ~ClientSession();
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  // Makes the process the Notes client of a client installation and calls
  // MainEntryPoint with the session's hook vector. False when the library
  // did not hook note opens (another client owns the controller queue).
  bool Start();
  // Calls the termination hook once; later opens and saves reach no hook.
  void Stop();
  const HookVector& Vector() const { return vector_; }

  [[nodiscard]] STATUS OpenDatabase(std::string_view path, DbHandle& db);
  [[nodiscard]] STATUS CloseDatabase(DbHandle db);
  // The host's open, then the note-open hook on the open note. The hook
  // never refuses an open.
  [[nodiscard]] STATUS OpenNote(DbHandle db, NoteId id, NoteHandle& note);
  // The note ID of the design element of `noteClass` titled `title` (any case).
  [[nodiscard]] STATUS FindDesign(DbHandle db, uint16_t noteClass, std::string_view title, NoteId& id);
  // FindDesign, then OpenNote.
  [[nodiscard]] STATUS OpenDesign(DbHandle db, uint16_t noteClass, std::string_view title, NoteHandle& note);
  // The note-update hook first: its refusal is returned and nothing is
  // stored; otherwise the host's update.
  [[nodiscard]] STATUS SaveNote(NoteHandle note, uint16_t updateFlags);
  [[nodiscard]] STATUS CloseNote(NoteHandle note);

  // Runs every module of the open note (ReadNoteScripts order) with
  // `options`, the library's timer entries answering the rewritten
  // declarations. ok only when every module ran; output of all of them.
  RunResult RunNote(NoteHandle note, RunOptions options);

 private:
  SimHost& host_;
  int hostModule_ = 0;
  int hostInit_ = 0;
  HookVector vector_{&hostModule_, &hostInit_, nullptr, nullptr, nullptr, nullptr};
  bool started_ = false;
};

}  // namespace quillet::sim
