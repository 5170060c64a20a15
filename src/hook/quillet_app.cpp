// CQuilletApp: construction, destruction, the profile-context stacks and the
// saved view notes.
#include "hook/quillet_app.h"

#include "config/host_text.h"

namespace quillet {

ApplicationSlot gProfilerApp;

CQuilletApp* ApplicationSlot::Take() noexcept {
  CQuilletApp* app = app_.exchange(nullptr);
  // A use counts itself in before it reads the slot (both sequentially
  // consistent), so one that found the object is counted by now.
  while (uses_.load() != 0) platform::SleepMilliseconds(1);
  return app;
}

AppUse::AppUse() noexcept {
  // Once Term has emptied the slot, calls return without touching the count.
  if (gProfilerApp.app_.load() == nullptr) return;
  gProfilerApp.uses_.fetch_add(1);
  app_ = gProfilerApp.app_.load();
  if (app_ == nullptr) gProfilerApp.uses_.fetch_sub(1);
}

AppUse::~AppUse() {
  if (app_ != nullptr) gProfilerApp.uses_.fetch_sub(1);
}

CQuilletApp::CQuilletApp(int32_t instrumentFlags) : instrumentFlags_(instrumentFlags) {}

CQuilletApp::~CQuilletApp() {
  StopPollThreads();
  profiles_.clear();
  NotesApi* notes = InstalledNotes();
  if (notes != nullptr) {
    for (auto& [unid, copy] : savedViewNotes_) static_cast<void>(notes->NoteClose(copy));
    if (messageQueue_) static_cast<void>(notes->QueueClose(messageQueue_));
  }
  if (platform::Handle mutex = runningMutex_.exchange(0)) platform::CloseHandle(mutex);
}

uint32_t CQuilletApp::RunKey() const { return clientRunKey_; }

void CQuilletApp::Enable(bool on, bool clear, int32_t value) { ClientEnable(on, clear, value); }

bool CQuilletApp::IsEnabled() const { return RunningMutexHeld(); }

bool CQuilletApp::IsServer() const { return false; }

void CQuilletApp::PollMessages() { PollQueue(); }

void CQuilletApp::FinalizeAgentRun(NoteId) {}

ProfileRef CQuilletApp::CurrentProfile() {
  platform::LockHolder hold(lock_);
  auto it = profiles_.find(RunKey());
  if (it == profiles_.end() || it->second.empty()) return nullptr;
  return it->second.back();
}

CLSProfileApp* CQuilletApp::LockedCurrentProfile() {
  auto it = profiles_.find(RunKey());
  if (it == profiles_.end() || it->second.empty()) return nullptr;
  return it->second.back().get();
}

ProfileRef CQuilletApp::PushProfile() {
  auto context = std::make_shared<CLSProfileApp>(moduleName_, serverName_, instrumentFlags_);
  platform::LockHolder hold(lock_);
  profiles_[RunKey()].push_back(context);
  return context;
}

void CQuilletApp::PopProfile() {
  platform::LockHolder hold(lock_);
  auto it = profiles_.find(RunKey());
  if (it == profiles_.end()) return;
  if (!it->second.empty()) it->second.pop_back();
  if (it->second.empty()) profiles_.erase(it);
}

size_t CQuilletApp::ProfileDepth() {
  platform::LockHolder hold(lock_);
  auto it = profiles_.find(RunKey());
  return it == profiles_.end() ? 0 : it->second.size();
}

void CQuilletApp::RememberViewNote(NoteHandle note) {
  NotesApi& notes = Notes();
  if ((notes.NoteClass(note) & kNoteClassView) == 0) return;
  const Unid unid = notes.NoteOriginator(note).unid;
  // Hooks of several host threads may remember notes at once.
  platform::LockHolder hold(lock_);
  if (savedViewNotes_.contains(unid)) return;
  NoteHandle copy;
  if (notes.NoteCopy(note, copy) != kNoError || !copy) return;
  try {
    savedViewNotes_.emplace(unid, copy);
  } catch (...) {
    // The copy is closed here or never; the failure still stops the caller
    // from rewriting a view that has no copy to restore before a save.
    static_cast<void>(notes.NoteClose(copy));
    throw;
  }
}

NoteHandle CQuilletApp::SavedViewNote(const Unid& unid) {
  platform::LockHolder hold(lock_);
  auto it = savedViewNotes_.find(unid);
  return it == savedViewNotes_.end() ? NoteHandle{} : it->second;
}

void CQuilletApp::SetServerName(std::string_view name) {
  serverName_.assign(name.substr(0, HostPieceLength(name, kServerNameMax)));
}

}  // namespace quillet
