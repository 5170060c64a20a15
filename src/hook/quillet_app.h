// CQuilletApp: the process's application object. The base of the server
// object and, as it stands, the Notes client's object: the profile-context
// stacks, the lock, and the client's controller queue and poll threads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "config/notes_api.h"
#include "platform/platform.h"
#include "timing/profile_app.h"

namespace quillet {

inline constexpr int32_t kClientInstrumentFlags = 0x50;
inline constexpr int32_t kServerInstrumentFlags = 0x54;
// The library the rewritten LotusScript declares the timer entries from.
inline constexpr std::string_view kModuleName = "nquillet";
inline constexpr size_t kServerNameMax = 256;  // ServerName holds at most this many bytes

inline constexpr std::u16string_view kRunningMutexName = u"BCPROFILER_MUTEX";
inline constexpr std::u16string_view kRunningEventName = u"PROFILER_RUNNING";
inline constexpr uint32_t kPollIntervalMs = 100;

// A profile context is shared: the stack owns it, and a hook or timer entry
// that is using it keeps it alive even when the poll thread pops it meanwhile.
// Its operations still REQUIRE the application's Lock.
using ProfileRef = std::shared_ptr<CLSProfileApp>;

class CQuilletApp {
 public:
  explicit CQuilletApp(int32_t instrumentFlags = kClientInstrumentFlags);
  // Stops the poll threads, then destroys every profile context, closes the
  // saved view notes, the running mutex and the message queue.
  virtual ~CQuilletApp();
  CQuilletApp(const CQuilletApp&) = delete;
  CQuilletApp& operator=(const CQuilletApp&) = delete;

  // Virtual operations, in slot order after the destructor.
  // The key of the profile-context stack the calling thread uses; 0 in the client.
  virtual uint32_t RunKey() const;
  // Client: switches profiling on (named mutex, a poll thread, the context
  // reset) or off (context popped, poll threads told to stop, mutex closed).
  virtual void Enable(bool on, bool clear, int32_t value);
  // Client: the running mutex is held. Takes no lock.
  virtual bool IsEnabled() const;
  virtual bool IsServer() const;
  // Client: performs the waiting controller messages.
  virtual void PollMessages();
  // Server only; the client ignores it.
  virtual void FinalizeAgentRun(NoteId noteId);

  // The library's one lock: recursive, guards Profiles and every context.
  platform::RecursiveLock& Lock() { return lock_; }

  // Profile-context stack of RunKey(). Each takes Lock itself, so a caller
  // without Lock still gets a context that stays alive while it holds it.
  ProfileRef CurrentProfile();  // the top context, or null
  // The top context without taking Lock or a reference: the timer entries'
  // path. REQUIRES: Lock, held for as long as the context is used.
  CLSProfileApp* LockedCurrentProfile();
  ProfileRef PushProfile();     // a new context on top
  void PopProfile();            // drops the top context (the entry goes with the last)
  size_t ProfileDepth();        // contexts on RunKey()'s stack

  // Keeps an in-memory copy of a view or folder note before it is rewritten;
  // the first copy of a universal ID stays. A failed copy stores nothing.
  void RememberViewNote(NoteHandle note);
  // The stored copy for `unid`, or an invalid handle.
  NoteHandle SavedViewNote(const Unid& unid);
  // Puts the stored copy's script items back into a view or folder note that
  // is about to be saved, so the database never receives rewritten code
  // (view_restore.cpp). 0, changing nothing, when the note is no view or no
  // copy is stored for it; otherwise the first failing host status.
  [[nodiscard]] STATUS RestoreViewNote(NoteHandle note);

  // Rewrites every compiled-LotusScript item of `note`, the host's own open
  // note, in memory before the host goes on opening it: each distinct script
  // item in ascending order goes to the current profile context with `flags`
  // OR InstrumentFlags(). The client object first keeps a copy of a view
  // note. A failed item scan, or no current context, leaves the note as it
  // was. Holds Lock while the context is used. Never throws.
  void InstrumentNote(NoteHandle note, int32_t flags);

  // --- Client controller queue ---------------------------------------------
  // Creates and then opens the controller queue; fails when another process
  // created it first.
  [[nodiscard]] STATUS OpenMessageQueue();
  QueueHandle MessageQueue() const { return messageQueue_; }
  // Performs one queue message; always kErrRemoveMessage so the message is
  // taken off the queue whether or not it was understood.
  STATUS HandleMessage(std::span<const uint8_t> message);
  void HandleEnable(bool on, bool clear, int32_t value);
  void HandleSetFilter(std::string_view databasePath);
  void HandleFinalize(std::string_view reportPath);
  // Poll threads started and not yet ended.
  int PollThreadCount();

  int32_t InstrumentFlags() const { return instrumentFlags_; }
  const std::string& ModuleName() const { return moduleName_; }
  const std::string& ServerName() const { return serverName_; }
  bool ServerLogging() const { return serverLogging_; }

 protected:
  void SetServerName(std::string_view name);
  void SetServerLogging(bool on) { serverLogging_ = on; }

 private:
  // The client's behaviour of Enable, IsEnabled and PollMessages, called
  // directly by the poll threads and message handlers so that they never
  // dispatch through the object while it is being destroyed.
  void ClientEnable(bool on, bool clear, int32_t value);
  bool RunningMutexHeld() const { return runningMutex_.load(std::memory_order_acquire) != 0; }
  void PollQueue();
  void StartPollThread();
  // Polls until stopped, switched off, or the switch-on period `period` ends.
  void PollThreadBody(uint32_t period);
  void StopPollThreads();

  // Counts a poll thread out when its body ends, by return or by exception.
  class PollThreadExit {
   public:
    explicit PollThreadExit(CQuilletApp& app) : app_(app) {}
    ~PollThreadExit();
    PollThreadExit(const PollThreadExit&) = delete;
    PollThreadExit& operator=(const PollThreadExit&) = delete;

   private:
    CQuilletApp& app_;
  };

  int32_t instrumentFlags_;
  std::string moduleName_{kModuleName};
  std::string serverName_;
  bool serverLogging_ = false;
  platform::RecursiveLock lock_;
  std::atomic<platform::Handle> runningMutex_{0};
  std::map<uint32_t, std::deque<ProfileRef>> profiles_;
  QueueHandle messageQueue_;
  uint32_t clientRunKey_ = 0;  // never assigned: the client's single stack
  std::map<Unid, NoteHandle> savedViewNotes_;

  // Poll-thread bookkeeping, so that destruction waits for them to end.
  std::mutex pollMutex_;
  std::condition_variable pollDone_;
  int pollThreads_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<uint32_t> pollPeriod_{0};  // switch-offs so far; a poll thread lives within one
};

// Holds the process's application object: filled by MainEntryPoint before
// any hook can run, emptied by Term. Hooks and timer entries run on host
// threads while Term may be running, so they reach the object only through
// an AppUse, and Term deletes it only once no use is left.
class ApplicationSlot {
 public:
  CQuilletApp* load() const noexcept { return app_.load(); }
  operator CQuilletApp*() const noexcept { return load(); }
  CQuilletApp* operator->() const noexcept { return load(); }
  ApplicationSlot& operator=(CQuilletApp* app) noexcept {
    app_.store(app);
    return *this;
  }
  // Empties the slot, waits until every AppUse that found the object has
  // ended, and hands the object to the caller. REQUIRES: the calling thread
  // holds no AppUse.
  CQuilletApp* Take() noexcept;

 private:
  friend class AppUse;
  std::atomic<CQuilletApp*> app_{nullptr};
  std::atomic<int> uses_{0};  // AppUse objects between finding and releasing the object
};

extern ApplicationSlot gProfilerApp;

// One hook or timer call's use of the application object: null when there is
// none, else an object that Term does not delete before this use ends.
class AppUse {
 public:
  AppUse() noexcept;
  ~AppUse();
  AppUse(const AppUse&) = delete;
  AppUse& operator=(const AppUse&) = delete;

  explicit operator bool() const { return app_ != nullptr; }
  CQuilletApp* operator->() const { return app_; }
  CQuilletApp& operator*() const { return *app_; }

 private:
  CQuilletApp* app_ = nullptr;
};

}  // namespace quillet
