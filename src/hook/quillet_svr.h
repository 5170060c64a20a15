// CQuilletSvr: the application object of a watched server task.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "hook/quillet_app.h"
#include "hook/server_paths.h"

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
  // NOT YET BUILT: arrives with the server note hook and the pending runs;
  // does nothing until then.
  void FinalizeAgentRun(NoteId noteId) override;

  // The report file's full path: data directory, "/", the setting or default.
  const std::string& ReportPath() const { return reportPath_; }
  CQuilletLog& Log() { return log_; }

 private:
  std::atomic<bool> enabled_{false};  // shared by all threads
  std::string reportPath_;
  CQuilletLog log_;
};

}  // namespace quillet
