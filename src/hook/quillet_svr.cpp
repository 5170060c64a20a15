// CQuilletSvr: construction, the server's application operations, the
// pending runs and the end of a run.
#include "hook/quillet_svr.h"

#include <cstdio>

#include "config/settings.h"
#include "hook/log_error.h"
#include "platform/platform.h"

namespace quillet {

CQuilletSvr::CQuilletSvr() : CQuilletApp(kServerInstrumentFlags) {
  SetServerLogging(ReadSettingInt("ProfileDebug_EnableServerLogging") > 0);
  std::string report;
  if (!ReadSetting("ReportPath", report)) report = kDefaultReportPath;
  NotesApi& notes = Notes();
  reportPath_ = notes.DataDirectory() + "/" + report;
  SetServerName(notes.CurrentUserName());
  const ErrorLineFn errorLine = [this](Status32 status, const std::string& text) {
    if (ServerLogging()) LogError(status, "%s", text.c_str());
  };
  SetErrorLine(errorLine);
  SetNoticeLine([](const std::string& line) { Notes().ConsoleLine(line); });
  log_.SetErrorLine(errorLine);
}

CQuilletSvr::~CQuilletSvr() = default;

uint32_t CQuilletSvr::RunKey() const { return platform::CurrentThreadId(); }

void CQuilletSvr::Enable(bool on, bool clear, int32_t value) {
  platform::LockHolder hold(Lock());
  enabled_.store(on, std::memory_order_release);
  if (on) {
    ProfileRef context = CurrentProfile();
    if (!context) context = PushProfile();
    context->ResetContext(on, clear, value);
  } else if (CurrentProfile()) {
    PopProfile();
  }
}

bool CQuilletSvr::IsEnabled() const { return enabled_.load(std::memory_order_acquire); }

bool CQuilletSvr::IsServer() const { return true; }

void CQuilletSvr::PollMessages() {}

void CQuilletSvr::Trace(const std::string& line) {
  if (ServerLogging()) Notes().ConsoleLine(line);
}

void CQuilletSvr::PushRun(const AgentRun& run) {
  auto stack = pendingRuns_.find(RunKey());
  if (stack == pendingRuns_.end()) {
    pendingRuns_[RunKey()].push_back(run);
    return;
  }
  if (run.DesignKind == kDesignKindWebService) return;
  if (!stack->second.empty() && stack->second.back().NoteId == run.NoteId) return;
  stack->second.push_back(run);
}

AgentRun* CQuilletSvr::TopRun() {
  auto stack = pendingRuns_.find(RunKey());
  if (stack == pendingRuns_.end() || stack->second.empty()) return nullptr;
  return &stack->second.back();
}

size_t CQuilletSvr::RunDepth() {
  auto stack = pendingRuns_.find(RunKey());
  return stack == pendingRuns_.end() ? 0 : stack->second.size();
}

void CQuilletSvr::PopRun(NoteId noteId) {
  auto stack = pendingRuns_.find(RunKey());
  if (stack == pendingRuns_.end() || stack->second.empty()) return;
  const AgentRun top = stack->second.back();
  while (!stack->second.empty() && stack->second.back().NoteId == noteId) stack->second.pop_back();
  if (stack->second.empty()) pendingRuns_.erase(stack);
  // A count the configuration set below 1 meanwhile (down to the 32-bit
  // minimum) has no run left to use up; counting it down would wrap it.
  ConfigEntry* entry = FindEntry(top.DatabasePath, top.NoteId);
  if (entry != nullptr && entry->AgentRunCount > 0) --entry->AgentRunCount;
}

void CQuilletSvr::RecordFailure(const ConfigEntry* entry, std::string_view userName, Status32 status) {
  const ConfigEntry none;
  const Status32 written = log_.WriteError(entry != nullptr ? *entry : none, userName, status);
  if (written != kNoError) {
    // Neither the run nor its failure reached the log: the console keeps it.
    LogError(status, "profiling '%s' for %.80s failed; no log document (0x%X)",
             entry != nullptr ? entry->AgentTitle.c_str() : "", std::string(userName).c_str(),
             static_cast<unsigned>(written));
  }
}

void CQuilletSvr::FinalizeAgentRun(NoteId noteId) {
  AgentRun* top = TopRun();
  if (top == nullptr) return;
  while (top->NoteId != noteId) {
    PopRun(top->NoteId);
    top = TopRun();
    if (top == nullptr) return;
  }
  const AgentRun run = *top;
  char line[1200];
  std::snprintf(line, sizeof line, "QUILLET: FinalizeAgentRun - %s (%X)", run.DisplayName.c_str(), run.NoteId);
  Trace(line);

  ProfileRef context = CurrentProfile();
  if (!context) return;
  // A run whose configuration document went away meanwhile is still logged,
  // under what the run itself knows.
  ConfigEntry fallback;
  fallback.DatabasePath = run.DatabasePath;
  fallback.AgentId = run.NoteId;
  fallback.AgentTitle = run.DisplayName;
  const ConfigEntry* found = FindEntry(run.DatabasePath, run.NoteId);
  const ConfigEntry& entry = found != nullptr ? *found : fallback;

  if (!context->WriteReport(reportPath_.c_str(), RunDepth() != 0)) {
    RecordFailure(&entry, run.UserName, kErrFileWriteFailed);
  } else if (Status32 logged = log_.WriteRun(entry, run.UserName, reportPath_); logged != kNoError) {
    // The next run overwrites the report file: this one is kept beside it.
    char kept[64];
    std::snprintf(kept, sizeof kept, ".%X-%X", platform::CurrentThreadId(), run.NoteId);
    const std::string keptPath = reportPath_ + kept;
    const bool moved = platform::MoveFileReplacing(platform::Utf8ToUtf16(reportPath_), platform::Utf8ToUtf16(keptPath));
    RecordFailure(&entry, run.UserName, logged);
    LogError(logged, "the report of '%s' is kept in %s", run.DisplayName.c_str(),
             moved ? keptPath.c_str() : reportPath_.c_str());
  }
  context->ClearDatabases();
  // The run is over: it leaves the stack and uses up one of its agent's
  // runs, so the next run starts a fresh profile and the configured count
  // holds.
  PopRun(run.NoteId);
}

}  // namespace quillet
