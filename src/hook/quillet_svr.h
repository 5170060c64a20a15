// CQuilletSvr: the application object of a watched server task. Selected
// agents get a pending run on their thread; the end of the run writes the
// report and the log document.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "config/quillet_config.h"
#include "config/quillet_log.h"
#include "hook/agent_run.h"
#include "hook/quillet_app.h"

namespace quillet {

inline constexpr std::string_view kDefaultReportPath = "Brindlecot/quilletreport.zvk";

class CQuilletSvr : public CQuilletApp, public CQuilletConfig {
 public:
  // Reads "ProfileDebug_EnableServerLogging" and "ReportPath" and takes the
  // name of the ID the process runs under.
  CQuilletSvr();
  ~CQuilletSvr() override;

  // The calling thread's ID: each server thread has its own contexts.
  uint32_t RunKey() const override;
  // Sets the shared enabled flag; on: resets the thread's context (pushing
  // one when it has none); off: pops the thread's context.
  void Enable(bool on, bool clear, int32_t value) override;
  bool IsEnabled() const override;
  bool IsServer() const override;
  void PollMessages() override;
  // The end of the run of `noteId` on this thread: stale runs above it are
  // dropped, the report is written and attached to a log document, and the
  // run leaves the stack, counting one run of its agent. A report
  // or log document that cannot be written is said on the console and, where
  // the log database opens, in an error document. REQUIRES: Lock.
  void FinalizeAgentRun(NoteId noteId) override;

  // The note-open hook's work for an opened note (see note_open_server.cpp).
  void NoteOpened(std::string_view userName, DbHandle db, NoteId noteId, NoteHandle note, uint16_t openFlags);

  // The calling thread's pending runs. REQUIRE: Lock.
  // Pushes `run` unless it is a web service or its agent is on top already;
  // a thread without a stack gets one.
  void PushRun(const AgentRun& run);
  AgentRun* TopRun();
  size_t RunDepth();
  // Drops records from the top while they belong to `noteId`, and counts a
  // run of the dropped agent as used in the configuration.
  void PopRun(NoteId noteId);

  // The report file's full path: data directory, "/", the setting or default.
  const std::string& ReportPath() const { return reportPath_; }
  CQuilletLog& Log() { return log_; }

 private:
  // A log error document for a refused or failed run; when that cannot be
  // written either, a console line says so.
  void RecordFailure(const ConfigEntry* entry, std::string_view userName, Status32 status);
  // What the note-open hook knows of the note being opened.
  struct OpenedNote {
    std::string title;
    std::string databasePath;
    std::string userName;
    NoteId noteId = 0;
    NoteHandle note;
    uint16_t openFlags = 0;
  };
  // Instruments the opened note with `flags` for the pending run `run` and
  // signs it again, under the run's signer ID when its document has one.
  void ProfileOpenedNote(const AgentRun& run, int32_t flags, const OpenedNote& opened);
  // A console line when ServerLogging is set.
  void Trace(const std::string& line);

  std::atomic<bool> enabled_{false};  // shared by all threads
  std::string reportPath_;
  CQuilletLog log_;
  std::map<uint32_t, std::deque<AgentRun>> pendingRuns_;  // thread ID -> runs, newest at the back
};

}  // namespace quillet
