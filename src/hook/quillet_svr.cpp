// CQuilletSvr: construction and the server's application operations.
#include "hook/quillet_svr.h"

#include "config/settings.h"

namespace quillet {

CQuilletSvr::CQuilletSvr() : CQuilletApp(kServerInstrumentFlags) {
  SetServerLogging(ReadSettingInt("ProfileDebug_EnableServerLogging") > 0);
  std::string report;
  if (!ReadSetting("ReportPath", report)) report = kDefaultReportPath;
  NotesApi& notes = Notes();
  reportPath_ = notes.DataDirectory() + "/" + report;
  SetServerName(notes.CurrentUserName());
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

void CQuilletSvr::FinalizeAgentRun(NoteId) {}

}  // namespace quillet
