// The client's controller: switching profiling on and off, the poll threads
// and the handlers of the controller messages.
#include "hook/controller_message.h"
#include "hook/quillet_app.h"

namespace quillet {

STATUS CQuilletApp::OpenMessageQueue() {
  NotesApi& notes = Notes();
  // Creating fails when another client process owns the queue already.
  if (STATUS status = notes.QueueCreate(kControllerQueueName, 0); status != kNoError) return status;
  return notes.QueueOpen(kControllerQueueName, messageQueue_);
}

void CQuilletApp::ClientEnable(bool on, bool clear, int32_t value) {
  platform::LockHolder hold(lock_);
  if (on) {
    // A repeated switch-on replaces the kept handle; the previous one is
    // closed so the named mutex vanishes with the next switch-off.
    const platform::Handle previous = runningMutex_.exchange(platform::CreateNamedMutex(kRunningMutexName));
    if (previous != 0) platform::CloseHandle(previous);
    // A stop signal left from the last switch-off must not end the new poll
    // thread at once.
    if (platform::Handle event = platform::OpenNamedEvent(kRunningEventName)) {
      platform::ResetEvent(event);
      platform::CloseHandle(event);
    }
    StartPollThread();
    ProfileRef context = CurrentProfile();
    if (!context) context = PushProfile();
    context->ResetContext(on, clear, value);
    return;
  }
  if (CurrentProfile()) PopProfile();
  // The period's poll threads end even when the next switch-on resets the
  // event before they see it signalled.
  pollPeriod_.fetch_add(1, std::memory_order_acq_rel);
  if (platform::Handle event = platform::OpenNamedEvent(kRunningEventName)) {
    platform::SetEvent(event);
    platform::CloseHandle(event);
  }
  if (platform::Handle mutex = runningMutex_.exchange(0)) platform::CloseHandle(mutex);
}

void CQuilletApp::PollQueue() {
  platform::LockHolder hold(lock_);
  if (!messageQueue_) return;
  static_cast<void>(Notes().QueueScan(messageQueue_, kControllerMessageMax,
                                      [this](std::span<const uint8_t> message) { return HandleMessage(message); }));
}

STATUS CQuilletApp::HandleMessage(std::span<const uint8_t> message) {
  try {
    const ControllerCommand command = ParseControllerMessage(message);
    switch (command.kind) {
      case ControllerCommandKind::kEnable:
        HandleEnable(command.on, command.clear, command.value);
        break;
      case ControllerCommandKind::kSetFilter:
        HandleSetFilter(command.path);
        break;
      case ControllerCommandKind::kFinalizeRun:
        HandleFinalize(command.path);
        break;
      case ControllerCommandKind::kIgnored:
        break;
    }
  } catch (...) {
    // A message that cannot be performed is still taken off the queue.
  }
  return kErrRemoveMessage;
}

void CQuilletApp::HandleEnable(bool on, bool clear, int32_t value) {
  platform::LockHolder hold(lock_);
  // The clear field decides: a controller that re-enables mid-session with
  // clear 0 keeps what was collected so far.
  ClientEnable(on, clear, value);
  if (!clear) return;
  if (ProfileRef context = CurrentProfile()) {
    context->Data.Clear();
    context->Messages.clear();
  }
}

void CQuilletApp::HandleSetFilter(std::string_view databasePath) {
  platform::LockHolder hold(lock_);
  if (ProfileRef context = CurrentProfile()) {
    context->ClearDatabases();
    context->AddDatabase(databasePath);
  }
}

void CQuilletApp::HandleFinalize(std::string_view reportPath) {
  platform::LockHolder hold(lock_);
  // A report that cannot be written still ends the profiling period.
  if (ProfileRef context = CurrentProfile()) {
    const std::string path(reportPath);
    static_cast<void>(context->WriteReport(path.c_str(), false));
  }
  ClientEnable(false, false, kKeepContextFlags);
}

void CQuilletApp::StartPollThread() {
  {
    std::lock_guard<std::mutex> guard(pollMutex_);
    ++pollThreads_;
  }
  const uint32_t period = pollPeriod_.load(std::memory_order_acquire);
  if (!platform::StartThread([this, period] { PollThreadBody(period); })) {
    std::lock_guard<std::mutex> guard(pollMutex_);
    --pollThreads_;
    pollDone_.notify_all();
  }
}

void CQuilletApp::PollThreadBody(uint32_t period) {
  // However the body ends, even by an exception from the host, the thread
  // counts itself out: the destructor waits for the count to reach zero.
  const PollThreadExit countOut(*this);
  NotesApi& notes = Notes();
  const bool registered = notes.ThreadInit() == kNoError;
  if (registered) {
    const platform::Handle event = platform::CreateNamedEvent(kRunningEventName, true, false);
    while (!stopping_.load(std::memory_order_acquire)) {
      platform::WaitResult result = platform::WaitResult::kFailed;
      if (event != 0) result = platform::WaitForSingleObject(event, kPollIntervalMs);
      if (result == platform::WaitResult::kSignaled) break;
      if (result == platform::WaitResult::kFailed) platform::SleepMilliseconds(kPollIntervalMs);
      if (stopping_.load(std::memory_order_acquire) || !RunningMutexHeld()) break;
      if (pollPeriod_.load(std::memory_order_acquire) != period) break;
      try {
        PollQueue();
      } catch (...) {
        // The host's queue misbehaved; try again at the next interval.
      }
    }
    if (event != 0) platform::CloseHandle(event);
    notes.ThreadTerm();
  }
}

CQuilletApp::PollThreadExit::~PollThreadExit() {
  // Last touch of the object: the destructor may run as soon as this is seen.
  std::lock_guard<std::mutex> guard(app_.pollMutex_);
  --app_.pollThreads_;
  app_.pollDone_.notify_all();
}

void CQuilletApp::StopPollThreads() {
  stopping_.store(true, std::memory_order_release);
  std::unique_lock<std::mutex> lock(pollMutex_);
  pollDone_.wait(lock, [this] { return pollThreads_ == 0; });
}

int CQuilletApp::PollThreadCount() {
  std::lock_guard<std::mutex> guard(pollMutex_);
  return pollThreads_;
}

}  // namespace quillet
